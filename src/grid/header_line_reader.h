#pragma once
// Reads the lines of a grid header in fixed blocks and keeps only the first two
// tokens of each line, so a line of any length costs no more memory than a short one.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace morvale {

inline constexpr std::size_t headerTokenCap = 4096;
inline constexpr std::size_t headerBlockSize = 32768;

struct HeaderToken {
    std::array<char, headerTokenCap> bytes{};
    std::size_t length = 0;  // bytes kept, at most headerTokenCap
    bool cut = false;        // the token went on beyond the bytes kept
    std::string_view text() const { return {bytes.data(), length}; }
};

// The key and value keep their contents from one line to the next: a line with
// a single token replaces only the key.
struct HeaderLine {
    HeaderToken key;
    HeaderToken value;
    int tokenCount = 0;           // tokens on the last line, counted up to 2
    bool keyHasDigit = false;     // looked for over the whole first token, cap or not
    std::int64_t endOffset = -1;  // offset just past the line's LF; -1 when the file ended first
};

struct HeaderByteSource {
    std::FILE* file = nullptr;
    std::array<char, headerBlockSize> block{};
    std::size_t next = 0;
    std::size_t end = 0;
    std::int64_t blockOffset = 0;  // file offset of block[0]
    bool exhausted = false;        // end of file reached, or a read failed
};

// Reads up to the next line that holds a token (lines of whitespace only are
// skipped) and fills line; false when the file ends before such a line.
bool fetchHeaderLine(HeaderByteSource& source, HeaderLine& line);

}  // namespace morvale
