#include "ui/control_text.h"

#include <cstdarg>
#include <cwchar>

namespace morvale::ui {

void setControlTextf(HWND control, const wchar_t* format, ...) {
    wchar_t text[128] = {};
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vswprintf(text, std::size(text), format, arguments);
    va_end(arguments);
    // vswprintf reports a cut text as failure; show what fitted.
    if (written < 0) text[std::size(text) - 1] = L'\0';
    SetWindowTextW(control, text);
}

std::wstring wideFromUtf8(std::string_view text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return wide;
}

std::wstring controlText(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace morvale::ui
