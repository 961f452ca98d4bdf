#pragma once
// The preset list and the settings gathered from the controls at Convert time.

namespace morvale::ui {

// Adds the six preset names to the preset box; selects nothing.
void fillPresetList();
// The preset box's selection changed: show that preset's unit scale.
void onPresetSelected();
// Reads the settings controls into conversionSettings (all but the mode),
// corrected for the open grid, and shows the corrected values.
void gatherConversionSettings();

}  // namespace morvale::ui
