#include "app/correction_question.h"

#include <cwchar>
#include <iterator>

namespace morvale {
namespace {

bool isBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// The reading took all of the text but blanks: a text longer than the 14
// characters read, or with letters after its number, does not.
bool readsWhole(const std::wstring& text, std::size_t readLength) {
    if (readLength == 0) return false;
    for (std::size_t i = readLength; i < text.size(); ++i) {
        if (!isBlank(text[i])) return false;
    }
    return true;
}

bool integerReadsWhole(const std::wstring& text) { return readsWhole(text, readEditInteger(text).readLength); }

bool cropDiscarded(const SettingsControls& typed) {
    if (!typed.cropEnabled) return false;
    for (const std::wstring* text :
         {&typed.cropXMinText, &typed.cropYMinText, &typed.cropXMaxText, &typed.cropYMaxText})
        if (!integerReadsWhole(*text)) return true;
    return readEditInteger(typed.cropXMinText).value > readEditInteger(typed.cropXMaxText).value ||
           readEditInteger(typed.cropYMinText).value > readEditInteger(typed.cropYMaxText).value;
}

}  // namespace

DiscardingCorrections findDiscardingCorrections(const SettingsControls& typed, const CorrectedSettings& corrected) {
    DiscardingCorrections found;
    found.crop = cropDiscarded(typed);
    const EditReal scale = readEditReal(typed.unitScaleText);
    const bool replaced = corrected.settings.unitScale != scale.value;
    found.unitScale = replaced || !readsWhole(typed.unitScaleText, scale.readLength);
    if (replaced) {
        found.unitScaleText = corrected.unitScaleText;
    } else if (found.unitScale) {
        // The characters that were read, without the blanks before them.
        std::size_t start = 0;
        while (isBlank(typed.unitScaleText[start])) ++start;
        found.unitScaleText = typed.unitScaleText.substr(start, scale.readLength - start);
    }
    return found;
}

std::wstring correctionQuestion(const DiscardingCorrections& found, const CorrectedSettings& corrected) {
    const ConversionSettings& s = corrected.settings;
    wchar_t text[256] = {};
    const wchar_t* scale = found.unitScaleText.c_str();
    if (found.crop && found.unitScale) {
        std::swprintf(text, std::size(text),
                      L"The crop was corrected to x %d..%d, y %d..%d and the unit scale to %ls: convert with these "
                      L"values?",
                      s.cropXMin, s.cropXMax, s.cropYMin, s.cropYMax, scale);
    } else if (found.crop) {
        std::swprintf(text, std::size(text),
                      L"The crop was corrected to x %d..%d, y %d..%d: convert with these values?", s.cropXMin,
                      s.cropXMax, s.cropYMin, s.cropYMax);
    } else if (found.unitScale) {
        std::swprintf(text, std::size(text), L"The unit scale was corrected to %ls: convert with this value?", scale);
    }
    return text;
}

}  // namespace morvale
