#include "obj/fixed6_format.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "obj/fixed_format.h"

namespace morvale {
namespace {

constexpr std::uint64_t scale = 1000000;

char* writeWord(char* out, const char* word, std::size_t length) {
    std::memcpy(out, word, length);
    return out + length;
}

char* writeFixed(char* out, std::uint64_t integerPart, std::uint64_t fraction) {
    if (integerPart < 10) {
        *out++ = static_cast<char>('0' + integerPart);
    } else {
        out = std::to_chars(out, out + 20, integerPart).ptr;
    }
    const auto pair = [](char* at, std::uint64_t twoDigits) { std::memcpy(at, digitPairs + 2 * twoDigits, 2); };
    out[0] = '.';
    pair(out + 1, fraction / 10000);
    pair(out + 3, fraction / 100 % 100);
    pair(out + 5, fraction % 100);
    return out + 7;
}

}  // namespace

char* formatFixed6(double value, char* out) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const unsigned biasedExponent = static_cast<unsigned>(bits >> 52) & 0x7ffu;
    const std::uint64_t fieldBits = bits & ((std::uint64_t{1} << 52) - 1);
    char* const roomEnd = out + fixed6MaxChars;

    if ((bits >> 63) != 0) *out++ = '-';
    if (biasedExponent == 0x7ffu) return fieldBits == 0 ? writeWord(out, "inf", 3) : writeWord(out, "nan", 3);

    // value = mantissa * 2^exponent exactly.
    const std::uint64_t mantissa = biasedExponent == 0 ? fieldBits : fieldBits | (std::uint64_t{1} << 52);
    const int exponent = (biasedExponent == 0 ? 1 : static_cast<int>(biasedExponent)) - 1075;
    if (mantissa == 0) return writeFixed(out, 0, 0);
    if (exponent >= 0) {
        if (exponent + std::bit_width(mantissa) <= 64) return writeFixed(out, mantissa << exponent, 0);
        // Huge integers: the library's exact fixed conversion prints every digit.
        return std::to_chars(out, roomEnd, std::bit_cast<double>(bits & ~(std::uint64_t{1} << 63)),
                             std::chars_format::fixed, 6)
            .ptr;
    }
    // mantissa * 10^6 < 2^73: from a shift of 74 on it is below half a unit.
    const unsigned shift = static_cast<unsigned>(-exponent);
    if (shift >= 74) return writeFixed(out, 0, 0);
    std::uint64_t integerPart = shift < 64 ? mantissa >> shift : 0;
    const std::uint64_t fractionBits = shift < 64 ? mantissa - (integerPart << shift) : mantissa;
    std::uint64_t scaled;
    bool roundUp;
    // Ties to even on the exact value, as the C library rounds.
    if (shift <= 44) {
        // fractionBits < 2^shift, times 10^6 < 2^64: plain 64-bit arithmetic.
        const std::uint64_t product = fractionBits * scale;
        scaled = product >> shift;
        const std::uint64_t remainder = product & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        roundUp = remainder > half || (remainder == half && (scaled & 1u) != 0);
    } else {
        const unsigned __int128 product = static_cast<unsigned __int128>(fractionBits) * scale;
        scaled = static_cast<std::uint64_t>(product >> shift);
        const unsigned __int128 remainder = product & ((static_cast<unsigned __int128>(1) << shift) - 1);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        roundUp = remainder > half || (remainder == half && (scaled & 1u) != 0);
    }
    if (roundUp) {
        if (++scaled == scale) {
            scaled = 0;
            ++integerPart;
        }
    }
    return writeFixed(out, integerPart, scaled);
}

}  // namespace morvale
