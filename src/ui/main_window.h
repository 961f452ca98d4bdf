#pragma once
// The program's one window: class, creation, start-up and message loop.

#include <windows.h>

#include "morvale_version.h"

namespace morvale::ui {

inline constexpr wchar_t mainWindowTitle[] = L"Morvale (v" MORVALE_VERSION_SHORT ")";
inline constexpr int mainWindowWidth = 850;
inline constexpr int mainWindowHeight = 760;

// Centred on the screen; on a smaller screen the offset is the positive
// half-difference, so the corner never leaves the screen.
POINT mainWindowOrigin(int screenWidth, int screenHeight);

// Registers the class, creates the main window with all its controls and their
// tooltips, accepts
// dropped files, resets it to the no-file state, starts the memory timer and
// shows the window. False when the class or the window cannot be made.
bool startMainWindow(HINSTANCE instance, int showCommand);

// Runs until the quit message; returns its exit code.
int runMessageLoop();

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace morvale::ui
