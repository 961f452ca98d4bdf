#pragma once
// WM_COMMAND of the main window: what each control does when it is used.

#include <windows.h>

#include <string>

#include "convert/conversion_settings.h"

namespace morvale::ui {

void handleCommand(WPARAM wParam);

// The mode buttons: the chosen mode, its button checked and its caption on.
void selectMode(TerrainMode mode);

// The author's page that the link button opens.
std::wstring authorPageAddress();

}  // namespace morvale::ui
