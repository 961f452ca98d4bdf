// The settings correction over arbitrary control texts. Whatever is typed, the
// corrected window lies inside the grid, the preset exists, the unit scale is a
// usable number, and correcting the written-back texts changes nothing more.
// For plain ASCII texts the numbers must be those of the C library's wcstol
// and wcstod over the first 14 characters.

#include <cmath>
#include <cstring>
#include <cwchar>
#include <string>

#include "app/settings_correction.h"
#include "fuzz_support.h"

using namespace morvale;
using namespace morvale_fuzz;

namespace {

// Bytes become wide characters; a few high bytes stand for characters a user
// might paste (full-width digits, a non-breaking space, an ideographic space).
wchar_t wideOf(std::uint8_t b) {
    if (b >= 0xF0 && b <= 0xF9) return static_cast<wchar_t>(0xFF10 + (b - 0xF0));
    if (b == 0xFA) return 0x00A0;
    if (b == 0xFB) return 0x3000;
    if (b == 0xFC) return 0x2212;  // minus sign
    return static_cast<wchar_t>(b);
}

// The texts are separated by byte 0xFF.
std::wstring nextText(const std::uint8_t*& p, const std::uint8_t* end) {
    std::wstring text;
    for (; p < end && *p != 0xFF; ++p) text.push_back(wideOf(*p));
    if (p < end) ++p;
    return text;
}

bool isPlainAscii(std::wstring_view text) {
    for (const wchar_t c : text)
        if (c <= 0 || c >= 0x7F) return false;
    return true;
}

std::wstring firstChars(const std::wstring& text) { return text.substr(0, 14); }

std::int32_t referenceInteger(const std::wstring& text) {
    const std::wstring box = firstChars(text);
    const long long value = std::wcstoll(box.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// Only the crop rules themselves, over already parsed numbers.
void referenceCrop(std::int32_t& low, std::int32_t& high, std::int32_t size) {
    if (low <= 0 || low > size || low > high) low = 1;
    if (high > size || high < low) high = size;
}

bool sameSettings(const ConversionSettings& a, const ConversionSettings& b) {
    return a.cropXMin == b.cropXMin && a.cropYMin == b.cropYMin && a.cropXMax == b.cropXMax &&
           a.cropYMax == b.cropYMax && a.presetIndex == b.presetIndex && a.useXllYllOffsets == b.useXllYllOffsets &&
           a.centerZ == b.centerZ && std::memcmp(&a.unitScale, &b.unitScale, sizeof(double)) == 0;
}

SettingsControls fedBack(const SettingsControls& typed, const CorrectedSettings& corrected) {
    SettingsControls again = typed;
    if (corrected.rewriteCrop) {
        again.cropXMinText = corrected.cropXMinText;
        again.cropYMinText = corrected.cropYMinText;
        again.cropXMaxText = corrected.cropXMaxText;
        again.cropYMaxText = corrected.cropYMaxText;
    }
    again.presetSelection = corrected.presetSelection;
    again.presetText = exportPresets[static_cast<std::size_t>(corrected.presetSelection)].displayName;
    again.unitScaleText = corrected.unitScaleText;
    return again;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    // Small grids most of the time, sometimes sizes near the 32-bit limit.
    std::uint32_t raw = 0;
    std::memcpy(&raw, p, 4);
    p += 4;
    const bool small = (raw & 1) == 0;
    const std::int32_t ncols = small ? 1 + static_cast<std::int32_t>((raw >> 1) % 300)
                                     : INT32_MAX - static_cast<std::int32_t>((raw >> 1) % 1000);
    const std::int32_t nrows = small ? 1 + static_cast<std::int32_t>((raw >> 10) % 300)
                                     : INT32_MAX - static_cast<std::int32_t>((raw >> 12) % 1000);
    const std::uint8_t flags = *p++;
    const std::int8_t selection = static_cast<std::int8_t>(*p++);

    SettingsControls typed;
    typed.cropEnabled = (flags & 1) != 0;
    typed.useXllYllOffsets = (flags & 2) != 0;
    typed.centerZ = (flags & 4) != 0;
    typed.presetSelection = selection % 9;
    typed.cropXMinText = nextText(p, end);
    typed.cropYMinText = nextText(p, end);
    typed.cropXMaxText = nextText(p, end);
    typed.cropYMaxText = nextText(p, end);
    typed.presetText = nextText(p, end);
    typed.unitScaleText = nextText(p, end);

    const CorrectedSettings first = correctSettings(typed, ncols, nrows);
    const ConversionSettings& s = first.settings;
    FUZZ_CHECK(1 <= s.cropXMin && s.cropXMin <= s.cropXMax && s.cropXMax <= ncols);
    FUZZ_CHECK(1 <= s.cropYMin && s.cropYMin <= s.cropYMax && s.cropYMax <= nrows);
    if (!typed.cropEnabled)
        FUZZ_CHECK(s.cropXMin == 1 && s.cropYMin == 1 && s.cropXMax == ncols && s.cropYMax == nrows);
    FUZZ_CHECK(s.presetIndex >= 0 && s.presetIndex < static_cast<std::int32_t>(exportPresets.size()));
    FUZZ_CHECK(first.presetSelection == s.presetIndex);
    if (findPresetByName(typed.presetText) < 0 && typed.presetSelection >= 0 && typed.presetSelection < 6)
        FUZZ_CHECK(s.presetIndex == typed.presetSelection);
    FUZZ_CHECK(std::isfinite(s.unitScale) && std::fabs(s.unitScale) >= 0.0000001);
    FUZZ_CHECK(s.useXllYllOffsets == typed.useXllYllOffsets && s.centerZ == typed.centerZ);
    FUZZ_CHECK(!first.unitScaleText.empty() && first.unitScaleText.size() <= 14);

    if (typed.cropEnabled) {
        const std::wstring texts[4] = {typed.cropXMinText, typed.cropYMinText, typed.cropXMaxText, typed.cropYMaxText};
        bool ascii = true;
        for (const std::wstring& t : texts) ascii = ascii && isPlainAscii(firstChars(t));
        if (ascii) {
            std::int32_t xMin = referenceInteger(texts[0]), yMin = referenceInteger(texts[1]);
            std::int32_t xMax = referenceInteger(texts[2]), yMax = referenceInteger(texts[3]);
            referenceCrop(xMin, xMax, ncols);
            referenceCrop(yMin, yMax, nrows);
            FUZZ_CHECK(s.cropXMin == xMin && s.cropXMax == xMax && s.cropYMin == yMin && s.cropYMax == yMax);
        }
    }
    const std::wstring scaleBox = firstChars(typed.unitScaleText);
    // wcstod also takes hexadecimal, "inf" and "nan"; the boxes read decimals only.
    if (isPlainAscii(scaleBox) && scaleBox.find_first_of(L"xXiInNpP") == std::wstring::npos) {
        double expected = std::wcstod(scaleBox.c_str(), nullptr);
        if (!std::isfinite(expected) || std::fabs(expected) < 0.0000001) expected = 1.0;
        FUZZ_CHECK(std::memcmp(&expected, &s.unitScale, sizeof expected) == 0 || expected == s.unitScale);
    }

    // The written-back texts are a fixed point after one more round.
    const SettingsControls secondTyped = fedBack(typed, first);
    const CorrectedSettings second = correctSettings(secondTyped, ncols, nrows);
    FUZZ_CHECK(second.settings.cropXMin == s.cropXMin && second.settings.cropXMax == s.cropXMax);
    FUZZ_CHECK(second.settings.cropYMin == s.cropYMin && second.settings.cropYMax == s.cropYMax);
    FUZZ_CHECK(second.settings.presetIndex == s.presetIndex);
    const CorrectedSettings third = correctSettings(fedBack(secondTyped, second), ncols, nrows);
    FUZZ_CHECK(sameSettings(second.settings, third.settings));
    FUZZ_CHECK(second.unitScaleText == third.unitScaleText);
    return 0;
}
