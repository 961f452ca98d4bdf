#pragma once
// Exact "%.6f": the text printf prints in the C locale, without printf, for
// texture coordinates. Six decimals keep the corners of a 100 000-column grid
// ten units of the last digit apart (1e-5 against 1e-6) and place each within
// a twentieth of a texel of an image that wide; they stay distinct up to a
// million columns.

#include <cstddef>

namespace morvale {

// Longest text formatFixed6 writes: a sign, the 309 integer digits of the
// largest double, the point and six decimals.
inline constexpr std::size_t fixed6MaxChars = 317;

// Writes value exactly as snprintf(buf, size, "%.6f", value) does in the C
// locale (ties to even on the exact binary value, "-0.000000" for negative
// zero and tiny negatives, never an exponent, "inf" and "nan" with their
// sign). Needs room for fixed6MaxChars; writes no terminator; returns one past
// the last character written.
char* formatFixed6(double value, char* out);

}  // namespace morvale
