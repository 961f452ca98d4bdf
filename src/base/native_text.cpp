#include "base/native_text.h"

namespace morvale {

#ifdef _WIN32

std::wstring wideFromNative(const NativeString& native) { return native; }

std::string utf8FromNative(const NativeString& native) {
    std::string out;
    for (std::size_t i = 0; i < native.size(); ++i) {
        char32_t c = native[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < native.size() && native[i + 1] >= 0xDC00 && native[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (native[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

#else

std::wstring wideFromNative(const NativeString& native) {
    std::wstring out;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(native[i]); };
    for (std::size_t i = 0; i < native.size();) {
        const unsigned char lead = byte(i);
        std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length > 0 && i + length <= native.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        const char32_t least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < least[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)) valid = false;
        if (!valid) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += length;
    }
    return out;
}

std::string utf8FromNative(const NativeString& native) { return native; }

#endif

}  // namespace morvale
