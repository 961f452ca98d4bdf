#pragma once
// Wide texts for the window and the summary: grouped integers and printf-style
// formatting into fixed buffers that can never overflow; and the narrow
// texts the command line prints.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace morvale {

// Room for any 64-bit value grouped by threes, its leading space and the terminator.
constexpr std::size_t groupedTextSize = 32;

// Writes value as decimal digits with a space before every group of three
// counted from the right, as the summary shows them: 1234 -> "1 234",
// 123 -> " 123" (a number of digits that is a multiple of three starts with a space).
void formatGrouped(std::int64_t value, wchar_t (&out)[groupedTextSize]);

// The same texts for a terminal: ASCII as it is, any other character as '?'.
std::string asciiText(std::wstring_view text);
std::string groupedText(std::int64_t value);  // formatGrouped's text
// A path's UTF-8 bytes, as a terminal shows them.
std::string utf8Text(const std::filesystem::path& path);

// printf-style wide formatting into a fixed buffer of wide characters
// (terminator included; an array converts to the span). Returns the number
// of characters written, or -1 when the text did not fit (the buffer then
// holds the cut text, always terminated).
int formatText(std::span<wchar_t> out, const wchar_t* format, ...);

}  // namespace morvale
