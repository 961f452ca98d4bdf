#include "obj/fixed_format.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace morvale {
namespace {

constexpr std::uint64_t powerOfTen(unsigned exponent) { return exponent == 0 ? 1 : 10 * powerOfTen(exponent - 1); }

// Decimal digits of value without leading zeros ("0" for zero).
char* writeUnsigned(char* out, std::uint64_t value) {
    char scratch[20];
    char* end = scratch + sizeof scratch;
    char* p = end;
    while (value >= 100) {
        unsigned pair = static_cast<unsigned>(value % 100);
        value /= 100;
        p -= 2;
        std::memcpy(p, digitPairs + 2 * pair, 2);
    }
    if (value >= 10) {
        p -= 2;
        std::memcpy(p, digitPairs + 2 * value, 2);
    } else {
        *--p = static_cast<char>('0' + value);
    }
    std::size_t length = static_cast<std::size_t>(end - p);
    std::memcpy(out, p, length);
    return out + length;
}

// The integer part, the point and `fraction` (< 10^decimals, 32 bits: cheaper
// divisions) with its leading zeros.
template <unsigned decimals>
char* writeFixed(char* out, std::uint64_t integerPart, std::uint32_t fraction) {
    static_assert(decimals % 2 == 0, "the decimals are written in pairs");
    out = writeUnsigned(out, integerPart);
    *out = '.';
    // From the last pair on; the first is what is left (below 100, no remainder to take).
    for (unsigned at = decimals - 1; at > 1; at -= 2, fraction /= 100)
        std::memcpy(out + at, digitPairs + 2 * (fraction % 100), 2);
    std::memcpy(out + 1, digitPairs + 2 * fraction, 2);
    return out + 1 + decimals;
}

char* writeWord(char* out, const char* word, std::size_t length) {
    std::memcpy(out, word, length);
    return out + length;
}

// Rounds mantissa * 2^-shift to `decimals` decimals, ties to even on the
// exact value, as the C library does in its default rounding mode.
// mantissa < 2^53 and shift < zeroShift, so mantissa * scale fits 128 bits.
template <unsigned decimals>
char* writeScaledFraction(char* out, std::uint64_t mantissa, unsigned shift) {
    constexpr std::uint64_t scale = powerOfTen(decimals);
    // Up to this shift fractionBits < 2^shift, times scale, stays below 2^64.
    constexpr unsigned wordShift = 64 - std::bit_width(scale);
    std::uint64_t integerPart = shift < 64 ? mantissa >> shift : 0;
    std::uint64_t fractionBits = shift < 64 ? mantissa - (integerPart << shift) : mantissa;
    std::uint64_t scaled;
    bool roundUp;
    if (shift <= wordShift) {
        std::uint64_t product = fractionBits * scale;
        scaled = product >> shift;
        std::uint64_t remainder = product & ((std::uint64_t{1} << shift) - 1);
        std::uint64_t half = std::uint64_t{1} << (shift - 1);
        roundUp = remainder > half || (remainder == half && (scaled & 1u) != 0);
    } else {
        unsigned __int128 product = static_cast<unsigned __int128>(fractionBits) * scale;
        scaled = static_cast<std::uint64_t>(product >> shift);
        unsigned __int128 remainder = product & ((static_cast<unsigned __int128>(1) << shift) - 1);
        unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        roundUp = remainder > half || (remainder == half && (scaled & 1u) != 0);
    }
    if (roundUp && ++scaled == scale) {
        scaled = 0;
        ++integerPart;
    }
    return writeFixed<decimals>(out, integerPart, static_cast<std::uint32_t>(scaled));
}

}  // namespace

template <unsigned decimals>
char* formatFixed(double value, char* out) {
    static_assert(decimals == 4 || decimals == 6);
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const unsigned biasedExponent = static_cast<unsigned>(bits >> 52) & 0x7ffu;
    const std::uint64_t fieldBits = bits & ((std::uint64_t{1} << 52) - 1);
    char* const roomEnd = out + fixedMaxChars(decimals);

    if (negative) *out++ = '-';
    if (biasedExponent == 0x7ffu) return fieldBits == 0 ? writeWord(out, "inf", 3) : writeWord(out, "nan", 3);

    // value = mantissa * 2^exponent exactly.
    std::uint64_t mantissa = biasedExponent == 0 ? fieldBits : fieldBits | (std::uint64_t{1} << 52);
    int exponent = (biasedExponent == 0 ? 1 : static_cast<int>(biasedExponent)) - 1075;
    if (mantissa == 0) return writeFixed<decimals>(out, 0, 0);

    if (exponent < 0) {
        unsigned shift = static_cast<unsigned>(-exponent);
        // mantissa * 10^decimals < 2^(53 + bits of 10^decimals), at most half a
        // unit from this shift on: everything this small rounds to zero.
        constexpr unsigned zeroShift = 54 + std::bit_width(powerOfTen(decimals));
        if (shift >= zeroShift) return writeFixed<decimals>(out, 0, 0);
        return writeScaledFraction<decimals>(out, mantissa, shift);
    }
    // An integer; below 2^64 it is printed from a machine word.
    if (exponent + std::bit_width(mantissa) <= 64) return writeFixed<decimals>(out, mantissa << exponent, 0);

    // Huge integers: the library's exact fixed conversion prints every digit.
    double magnitude = negative ? -value : value;
    return std::to_chars(out, roomEnd, magnitude, std::chars_format::fixed, static_cast<int>(decimals)).ptr;
}

template char* formatFixed<4>(double value, char* out);
template char* formatFixed<6>(double value, char* out);

}  // namespace morvale
