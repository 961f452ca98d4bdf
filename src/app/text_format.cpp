#include "app/text_format.h"

#include <cassert>
#include <charconv>
#include <cstdarg>
#include <cwchar>

namespace morvale {

void formatGrouped(std::int64_t value, wchar_t (&out)[groupedTextSize]) {
    char digits[24];
    const int length = static_cast<int>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);

    // Copied from the right, a space after every third character; the minus
    // sign counts as a digit, and a multiple of three characters gets a
    // leading space.
    char grouped[groupedTextSize] = {};
    int position = length + length / 3 - 1;
    for (int copied = 1; copied <= length; ++copied) {
        grouped[position--] = digits[length - copied];
        if (copied % 3 == 0) grouped[position--] = ' ';
    }
    for (std::size_t i = 0; i < groupedTextSize; ++i) out[i] = static_cast<wchar_t>(grouped[i]);
}

int formatText(std::span<wchar_t> out, const wchar_t* format, ...) {
    assert(!out.empty());
    std::va_list args;
    va_start(args, format);
    const int written = std::vswprintf(out.data(), out.size(), format, args);
    va_end(args);
    if (written < 0 || static_cast<std::size_t>(written) >= out.size()) {
        // The C library may leave a cut text unterminated.
        out.back() = L'\0';
        return -1;
    }
    return written;
}

std::string asciiText(std::wstring_view text) {
    std::string out;
    for (const wchar_t c : text) out.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::string groupedText(std::int64_t value) {
    wchar_t text[groupedTextSize];
    formatGrouped(value, text);
    return asciiText(text);
}

std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace morvale
