#pragma once
// Switching the main window's control groups on and off, and the no-file state.

namespace morvale::ui {

// The no-file state: empty panel and output fields, "Ready...", bar at 0,
// Interpolated mode, every group but the open and link buttons, the memory
// group and the progress bar disabled.
void resetWindowState();

// Frame 202 and the panel fields 203 to 218.
void setInfoPanelEnabled(bool enable);
// The crop caption, preview, reset button, edits and their labels.
void setCropControlsEnabled(bool enable);
// Steps 01 to 05; the crop group only while its box is ticked; Step 05 stays
// enabled while a job runs so that the convert button can cancel.
void setSettingsEnabled(bool enable);

}  // namespace morvale::ui
