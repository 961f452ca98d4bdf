#pragma once
// The "Mesh options..." button of the Step 04 frame and its modal dialog:
// simplification, texture coordinates, normals, a draped image and a
// printable solid, as morvale-convert's options. A choice the converter
// would refuse with the current mode, centring or format is disabled and its
// reason (the converter's message) shown under the groups; OK reads the
// values as the converter does and, on a bad one, shows its message and keeps
// the dialog open. The options are appState.meshOptions; the line under the
// output name says in a few words what is on.

#include <windows.h>

namespace morvale::ui {

// Shows the dialog owned by the main window; true when OK took new options.
bool showMeshOptionsDialog();

// The Step 04 line from appState.meshOptions (empty with the defaults).
void showMeshOptionsLine();

// Back to the defaults (a new grid, or the no-file state), line included.
void resetMeshOptions();

}  // namespace morvale::ui
