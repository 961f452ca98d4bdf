#pragma once
// The preset list and the settings gathered from the controls at Convert time.

#include <string>

namespace morvale::ui {

// Adds the six preset names to the preset box; selects nothing.
void fillPresetList();
// The preset box's selection changed: show that preset's unit scale.
void onPresetSelected();
// Reads the settings controls into conversionSettings (all but the mode),
// corrected for the open grid, and shows the corrected values. Returns the
// question to ask before converting when a correction threw away or turned
// round what was typed (correction_question.h), else an empty text.
std::wstring gatherConversionSettings();

}  // namespace morvale::ui
