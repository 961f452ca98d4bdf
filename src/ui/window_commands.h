#pragma once
// WM_COMMAND of the main window.

#include <windows.h>

namespace morvale::ui {

void handleCommand(WPARAM wParam);

}  // namespace morvale::ui
