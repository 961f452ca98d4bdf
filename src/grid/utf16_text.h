#pragma once
// Telling a grid saved as UTF-16 text (as some Windows editors save "Unicode")
// from a corrupted one, so the user is told what to do about it.

#include <cstddef>
#include <filesystem>

namespace morvale {

// The message both programs show for such a file, after its name.
inline constexpr char utf16TextMessage[] = "looks like UTF-16 text: save the grid as ASCII or UTF-8";

// How many leading bytes the check looks at.
inline constexpr std::size_t utf16SampleBytes = 512;

// True when bytes start with a UTF-16 byte-order mark (either order), or,
// without one, when at least three quarters of their first byte pairs (and at
// least four) are an ASCII character and a zero byte in one consistent order:
// an ASCII grid never holds a zero byte, so plain text cannot look like this.
bool looksLikeUtf16(const unsigned char* bytes, std::size_t size);

// The same test on the first utf16SampleBytes bytes of a file; false when the
// file cannot be read.
bool fileLooksLikeUtf16(const std::filesystem::path& path);

}  // namespace morvale
