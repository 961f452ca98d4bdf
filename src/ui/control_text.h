#pragma once
// Setting and reading control texts.

#include <windows.h>

#include <string>
#include <string_view>

namespace morvale::ui {

// Formats printf-style into 128 wide characters (a longer text is cut) and
// sets it as the control's text. Use %ls for wide strings.
void setControlTextf(HWND control, const wchar_t* format, ...);

// UTF-8 text (the core's messages) as the controls' wide text.
std::wstring wideFromUtf8(std::string_view text);

// The whole text of a control.
std::wstring controlText(HWND control);

}  // namespace morvale::ui
