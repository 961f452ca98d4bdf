#pragma once
// Reading and checking --max-error E and --max-triangles N.
//
// from_chars-shaped: the whole text must be the number ("C" locale, no sign
// for N, no spaces). A bad value gives a status, never an exception, and
// simplifyOptionMessage() turns it into the one line the command line prints
// (usage error, exit 2).

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvale {

enum class SimplifyOptionStatus : std::uint8_t {
    ok,
    notANumber,  // empty, letters, trailing characters
    notFinite,   // inf, nan, or beyond the range of a double
    negative,    // E below 0
    belowTwo,    // N below 2
    tooLarge,    // N beyond 64 bits
};

// E: a finite number of 0 or more, in the grid's elevation units.
SimplifyOptionStatus parseMaxError(std::string_view text, double& value);
// N: a whole number of 2 or more.
SimplifyOptionStatus parseMaxTriangles(std::string_view text, std::int64_t& value);

// Writes the message for a bad value of `option` ("--max-error" or
// "--max-triangles") given as `text` into `out` (cut to fit, always ended by a
// zero). Returns `out`.
const char* simplifyOptionMessage(SimplifyOptionStatus status, std::string_view option, std::string_view text,
                                  char* out, std::size_t size);

}  // namespace morvale
