#include "app/text_format.h"

#include <charconv>
#include <cstdarg>
#include <cwchar>

namespace morvale {
namespace {

template <std::size_t size>
int formatInto(wchar_t (&out)[size], const wchar_t* format, std::va_list args) {
    int written = std::vswprintf(out, size, format, args);
    if (written < 0 || static_cast<std::size_t>(written) >= size) {
        // The C library may leave a cut text unterminated.
        out[size - 1] = L'\0';
        return -1;
    }
    return written;
}

}  // namespace

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

int formatText16(wchar_t (&out)[16], const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    int written = formatInto(out, format, args);
    va_end(args);
    return written;
}

int formatText512(wchar_t (&out)[512], const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    int written = formatInto(out, format, args);
    va_end(args);
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
