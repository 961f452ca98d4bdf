#pragma once
// Conversions and character tests for header values, always in the "C" locale.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvale {

// The longest prefix of optional sign and decimal digits, base 10. False when
// it holds no digit or lies outside the signed 32-bit range.
bool convertHeaderInteger(std::string_view text, std::int32_t& number);

// The longest prefix in decimal floating-point syntax (sign, digits with an
// optional point, optional exponent), rounded to the nearest double; prefixLength
// receives its length. False when nothing converts, or on overflow or underflow
// as the C library's strtod reports them.
bool convertHeaderReal(std::string_view text, double& number, std::size_t& prefixLength);

bool containsAsciiLetter(std::string_view text);

// An optional sign followed by "nan" in any letter case, and nothing else.
bool isNanToken(std::string_view text);

}  // namespace morvale
