#pragma once
// Exact "%.4f" and "%.6f": the texts printf prints in the C locale, without
// printf. Four decimals for vertex and normal lines, six for texture
// coordinates: six keep the corners of a 100 000-column grid ten units of
// the last digit apart (1e-5 against 1e-6) and place each within a twentieth
// of a texel of an image that wide; they stay distinct up to a million columns.

#include <cstddef>

namespace morvale {

// "00".."99": two digits for one table load, shared by the number formatters.
inline constexpr char digitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Longest text formatFixed<decimals> writes: a sign, the 309 integer digits of
// the largest double, the point and the decimals; "-nan" and "-inf" are shorter.
constexpr std::size_t fixedMaxChars(unsigned decimals) { return 1 + 309 + 1 + decimals; }
inline constexpr std::size_t fixed4MaxChars = fixedMaxChars(4);
inline constexpr std::size_t fixed6MaxChars = fixedMaxChars(6);

// Writes value exactly as snprintf(buf, size, "%.Nf", value) does in the C
// locale, N = decimals (4 or 6): ties to even on the exact binary value,
// "-0.0000" for negative zero and tiny negatives, never an exponent, "inf"
// and "nan" with their sign. Needs room for fixedMaxChars(decimals); writes no
// terminator; returns one past the last character written.
template <unsigned decimals>
char* formatFixed(double value, char* out);

inline char* formatFixed4(double value, char* out) { return formatFixed<4>(value, out); }
inline char* formatFixed6(double value, char* out) { return formatFixed<6>(value, out); }

}  // namespace morvale
