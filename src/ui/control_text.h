#pragma once
// Setting and reading control texts.

#include <windows.h>

#include <string>

namespace morvale::ui {

// Formats printf-style into 128 wide characters (a longer text is cut) and
// sets it as the control's text. Use %ls for wide strings.
void setControlTextf(HWND control, const wchar_t* format, ...);

// The whole text of a control.
std::wstring controlText(HWND control);

}  // namespace morvale::ui
