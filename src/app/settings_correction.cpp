#include "app/settings_correction.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <string>

namespace morvale {
namespace {

// An edit box is read into 16 wide characters with a limit of 15, terminator
// included: only the first 14 characters take part.
constexpr std::size_t editTextLimit = 14;

bool isCSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring_view editText(const std::wstring& text) { return std::wstring_view(text).substr(0, editTextLimit); }

std::wstring formatInteger(std::int32_t value) { return std::to_wstring(value); }

// "%.5g" in the "C" locale.
std::wstring formatScale(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 5);
    return std::wstring(buffer, result.ptr);
}

wchar_t foldPresetChar(wchar_t c) {
    if (c == L'-' || c == L'_') return L' ';
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c - L'A' + L'a');
    return c;
}

}  // namespace

EditInteger readEditInteger(const std::wstring& text) {
    const std::wstring_view s = editText(text);
    std::size_t i = 0;
    while (i < s.size() && isCSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    long long value = 0;  // at most 14 digits: no overflow in 64 bits
    const std::size_t firstDigit = i;
    for (; i < s.size() && isDigit(s[i]); ++i) value = value * 10 + (s[i] - L'0');
    if (negative) value = -value;
    const std::size_t readLength = i > firstDigit ? i : 0;
    if (value > INT32_MAX) return {INT32_MAX, readLength};
    if (value < INT32_MIN) return {INT32_MIN, readLength};
    return {static_cast<std::int32_t>(value), readLength};
}

// wcstod's reading in the "C" locale, decimal syntax only, the same on every
// platform's runtime.
EditReal readEditReal(const std::wstring& text) {
    const std::wstring_view s = editText(text);
    std::size_t i = 0;
    while (i < s.size() && isCSpace(s[i])) ++i;
    std::string number;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) {
        if (s[i] == L'-') number += '-';
        ++i;
    }
    std::size_t digits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i, ++digits) number += static_cast<char>(s[i]);
    if (i < s.size() && s[i] == L'.') {
        number += '.';
        for (++i; i < s.size() && isDigit(s[i]); ++i, ++digits) number += static_cast<char>(s[i]);
    }
    if (digits == 0) return {};
    if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == L'+' || s[j] == L'-')) exponent += static_cast<char>(s[j++]);
        if (j < s.size() && isDigit(s[j])) {
            for (; j < s.size() && isDigit(s[j]); ++j) exponent += static_cast<char>(s[j]);
            number += exponent;
            i = j;
        }
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Tell overflow from underflow by the magnitude's sign of exponent.
        const auto e = number.find('e');
        const bool tiny = e != std::string::npos && number.find('-', e) != std::string::npos;
        return {tiny ? 0.0 : HUGE_VAL, i};
    }
    return {value, i};
}

std::int32_t findPresetByName(std::wstring_view name) {
    while (!name.empty() && isCSpace(name.front())) name.remove_prefix(1);
    while (!name.empty() && isCSpace(name.back())) name.remove_suffix(1);
    for (std::size_t row = 0; row < exportPresets.size(); ++row) {
        const std::wstring_view display = exportPresets[row].displayName;
        if (display.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = foldPresetChar(name[i]) == foldPresetChar(display[i]);
        if (same) return static_cast<std::int32_t>(row);
    }
    return -1;
}

CorrectedSettings correctSettings(const SettingsControls& controls, std::int32_t ncols, std::int32_t nrows) {
    SettingValues values;
    values.cropEnabled = controls.cropEnabled;
    if (controls.cropEnabled) {
        values.cropXMin = readEditInteger(controls.cropXMinText).value;
        values.cropYMin = readEditInteger(controls.cropYMinText).value;
        values.cropXMax = readEditInteger(controls.cropXMaxText).value;
        values.cropYMax = readEditInteger(controls.cropYMaxText).value;
    }
    // The preset box is editable: its typed text decides when it names a
    // preset, an empty selection falls back to the first row.
    const std::int32_t typed = findPresetByName(controls.presetText);
    if (typed >= 0) {
        values.presetIndex = typed;
    } else if (controls.presetSelection >= 0 &&
               controls.presetSelection < static_cast<std::int32_t>(exportPresets.size())) {
        values.presetIndex = controls.presetSelection;
    } else {
        values.presetIndex = 0;
    }
    values.useXllYllOffsets = controls.useXllYllOffsets;
    values.centerZ = controls.centerZ;
    values.unitScale = readEditReal(controls.unitScaleText).value;
    return correctSettingValues(values, ncols, nrows);
}

CorrectedSettings correctSettingValues(const SettingValues& values, std::int32_t ncols, std::int32_t nrows) {
    CorrectedSettings out;
    ConversionSettings& s = out.settings;

    if (values.cropEnabled) {
        s.cropXMin = values.cropXMin;
        s.cropYMin = values.cropYMin;
        s.cropXMax = values.cropXMax;
        s.cropYMax = values.cropYMax;
        // Each test sees the values already corrected by the tests before it.
        if (s.cropXMin <= 0 || s.cropXMin > ncols || s.cropXMin > s.cropXMax) s.cropXMin = 1;
        if (s.cropYMin <= 0 || s.cropYMin > nrows || s.cropYMin > s.cropYMax) s.cropYMin = 1;
        if (s.cropXMax > ncols || s.cropXMax < s.cropXMin) s.cropXMax = ncols;
        if (s.cropYMax > nrows || s.cropYMax < s.cropYMin) s.cropYMax = nrows;
        out.rewriteCrop = true;
        out.cropXMinText = formatInteger(s.cropXMin);
        out.cropYMinText = formatInteger(s.cropYMin);
        out.cropXMaxText = formatInteger(s.cropXMax);
        out.cropYMaxText = formatInteger(s.cropYMax);
    } else {
        s.cropXMin = 1;
        s.cropYMin = 1;
        s.cropXMax = ncols;
        s.cropYMax = nrows;
    }

    s.presetIndex = values.presetIndex;
    out.presetSelection = s.presetIndex;
    s.useXllYllOffsets = values.useXllYllOffsets;
    s.centerZ = values.centerZ;

    s.unitScale = values.unitScale;
    if (!std::isfinite(s.unitScale) || (s.unitScale > -0.0000001 && s.unitScale < 0.0000001)) s.unitScale = 1.0;
    out.unitScaleText = formatScale(s.unitScale);
    return out;
}

}  // namespace morvale
