#pragma once
// The preset list and the settings gathered from the controls at Convert time.

#include <string>

namespace morvale::ui {

// Adds the six preset names to the preset box; selects nothing.
void fillPresetList();
// The preset box's selection changed: show that preset's unit scale.
void onPresetSelected();
// Whether the correction rules replaced the unit scale typed as `text` (its
// corrected value is correctedScale); only then is the edit rewritten.
bool unitScaleWasReplaced(const std::wstring& text, double correctedScale);
// Reads the settings controls into conversionSettings (all but the mode),
// corrected for the open grid, and shows the corrected values.
void gatherConversionSettings();

}  // namespace morvale::ui
