#pragma once
// Exact "%.4f": the text printf prints in the C locale, without printf.

#include <cstddef>

namespace morvale {

// "00".."99": two digits for one table load, shared by the number formatters.
inline constexpr char digitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Longest text formatFixed4 writes: a sign, the 309 integer digits of the
// largest double, the point and four decimals; "-nan" and "-inf" are shorter.
inline constexpr std::size_t fixed4MaxChars = 315;

// Writes value exactly as snprintf(buf, size, "%.4f", value) does in the C
// locale (ties to even on the exact binary value, "-0.0000" for negative zero
// and tiny negatives, never an exponent). Needs room for fixed4MaxChars; writes
// no terminator; returns one past the last character written.
char* formatFixed4(double value, char* out);

}  // namespace morvale
