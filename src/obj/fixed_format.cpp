#include "obj/fixed_format.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace morvale {
namespace {

char* copyPair(char* out, unsigned pair) {
    std::memcpy(out, digitPairs + 2 * pair, 2);
    return out + 2;
}

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

char* writeFixed(char* out, std::uint64_t integerPart, unsigned fraction) {
    out = writeUnsigned(out, integerPart);
    *out++ = '.';
    out = copyPair(out, fraction / 100);
    return copyPair(out, fraction % 100);
}

char* writeWord(char* out, const char* word, std::size_t length) {
    std::memcpy(out, word, length);
    return out + length;
}

// Rounds mantissa * 2^-shift to four decimals, ties to even on the exact
// value, as the C library does in its default rounding mode. shift is 1..67;
// mantissa < 2^53, so mantissa * 10^4 < 2^67 fits 128 bits.
char* writeScaledFraction(char* out, std::uint64_t mantissa, unsigned shift) {
    std::uint64_t integerPart = shift < 64 ? mantissa >> shift : 0;
    std::uint64_t fractionBits = shift < 64 ? mantissa - (integerPart << shift) : mantissa;
    std::uint64_t scaled;
    bool roundUp;
    if (shift <= 50) {
        // fractionBits < 2^shift, times 10^4 < 2^64: plain 64-bit arithmetic.
        std::uint64_t product = fractionBits * 10000u;
        scaled = product >> shift;
        std::uint64_t remainder = product & ((std::uint64_t{1} << shift) - 1);
        std::uint64_t half = std::uint64_t{1} << (shift - 1);
        roundUp = remainder > half || (remainder == half && (scaled & 1u) != 0);
    } else {
        unsigned __int128 product = static_cast<unsigned __int128>(fractionBits) * 10000u;
        scaled = static_cast<std::uint64_t>(product >> shift);
        unsigned __int128 remainder = product & ((static_cast<unsigned __int128>(1) << shift) - 1);
        unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        roundUp = remainder > half || (remainder == half && (scaled & 1u) != 0);
    }
    if (roundUp && ++scaled == 10000) {
        scaled = 0;
        ++integerPart;
    }
    return writeFixed(out, integerPart, static_cast<unsigned>(scaled));
}

}  // namespace

char* formatFixed4(double value, char* out) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const unsigned biasedExponent = static_cast<unsigned>(bits >> 52) & 0x7ffu;
    const std::uint64_t fieldBits = bits & ((std::uint64_t{1} << 52) - 1);
    char* const roomEnd = out + fixed4MaxChars;

    if (negative) *out++ = '-';
    if (biasedExponent == 0x7ffu) return fieldBits == 0 ? writeWord(out, "inf", 3) : writeWord(out, "nan", 3);

    // value = mantissa * 2^exponent exactly.
    std::uint64_t mantissa = biasedExponent == 0 ? fieldBits : fieldBits | (std::uint64_t{1} << 52);
    int exponent = (biasedExponent == 0 ? 1 : static_cast<int>(biasedExponent)) - 1075;
    if (mantissa == 0) return writeFixed(out, 0, 0);

    if (exponent < 0) {
        unsigned shift = static_cast<unsigned>(-exponent);
        // mantissa * 10^4 < 2^67 <= half a unit: everything this small rounds to zero.
        if (shift >= 68) return writeFixed(out, 0, 0);
        return writeScaledFraction(out, mantissa, shift);
    }
    // An integer; below 2^64 it is printed from a machine word.
    if (exponent + std::bit_width(mantissa) <= 64) return writeFixed(out, mantissa << exponent, 0);

    // Huge integers: the library's exact fixed conversion prints every digit.
    double magnitude = negative ? -value : value;
    return std::to_chars(out, roomEnd, magnitude, std::chars_format::fixed, 4).ptr;
}

}  // namespace morvale
