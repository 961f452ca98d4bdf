#pragma once
// The corrections that throw away or turn round what was typed, as opposed to
// a clamp to the grid's edge: before converting with such values the window
// shows them and asks.

#include <string>

#include "app/settings_correction.h"

namespace morvale {

struct DiscardingCorrections {
    // A crop text that is no whole number, or a minimum above its maximum.
    bool crop = false;
    // A scale text that is no whole number, or one the rules replaced.
    bool unitScale = false;
    // What the scale field shows from then on: exactly the number used.
    std::wstring unitScaleText;
};

// Compares what the controls held with what correctSettings() made of it.
DiscardingCorrections findDiscardingCorrections(const SettingsControls& typed, const CorrectedSettings& corrected);

// "The crop was corrected to x 1..100, y 1..50: convert with these values?",
// naming the unit scale too when it was corrected; empty when nothing was.
std::wstring correctionQuestion(const DiscardingCorrections& found, const CorrectedSettings& corrected);

inline constexpr wchar_t correctionQuestionCaption[] = L"Corrected values...";

}  // namespace morvale
