#pragma once
// formatFixed4 for the numbers a mesh is made of, inline: finite values from
// 2^-11 up to 10^8 in magnitude. The same arithmetic as formatFixed4 (the
// fraction scaled by 10^4 in 128 bits, ties to even on the exact binary
// value) with the digits assembled in registers, eight at a time; everything
// else is passed to formatFixed4, so the text is always that of "%.4f".

#include <bit>
#include <cstdint>
#include <cstring>

#include "obj/face_text.h"
#include "obj/fixed_format.h"

namespace morvale {

// A "%.4f" text held in registers: an optional sign, up to eight integer
// digits and the point with four decimals, each part's bytes in a word,
// first byte lowest. Writing it is three stores, and nothing is read back
// from memory (a wide read of bytes just written one by one stalls the
// store buffer). Stores each part a word wide (textWordBytes): up to 8 bytes
// past its end.
struct ShortText {
    std::uint64_t integerDigits = 0;
    std::uint64_t pointAndDecimals = 0;
    unsigned digits = 0;
    unsigned negative = 0;

    char* put(char* out) const {
        *out = '-';
        out += negative;
        std::memcpy(out, &integerDigits, 8);
        std::memcpy(out + digits, &pointAndDecimals, 8);
        return out + digits + 5;
    }
};

// The "%.4f" text of value when it lies in the fast range (and the machine
// stores the lowest byte first); false otherwise.
inline bool fixed4Short(double value, ShortText& text) {
    if constexpr (std::endian::native != std::endian::little) {
        return false;
    } else {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7ffu;
        // value = mantissa * 2^-shift with shift in 1..63: from 2^-11 up to 2^52.
        const unsigned shift = 1075u - biased;
        if (biased == 0 || shift < 1 || shift > 63) return false;
        const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        std::uint64_t integer = mantissa >> shift;
        const std::uint64_t fraction = mantissa & ((std::uint64_t{1} << shift) - 1);
        const unsigned __int128 product = static_cast<unsigned __int128>(fraction) * 10000u;
        std::uint64_t scaled = static_cast<std::uint64_t>(product >> shift);
        const std::uint64_t remainder = static_cast<std::uint64_t>(product) & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        // Branch-free: the comparison goes either way at random.
        scaled += (remainder > half) | ((remainder == half) & scaled);
        const std::uint64_t carry = scaled == 10000;
        integer += carry;
        scaled -= carry * 10000;
        if (integer >= 100000000) return false;

        text.integerDigits = digitWordBelow1e8(static_cast<std::uint32_t>(integer), text.digits);
        std::uint16_t high, low;
        std::memcpy(&high, digitPairs + 2 * (scaled / 100), 2);
        std::memcpy(&low, digitPairs + 2 * (scaled % 100), 2);
        text.pointAndDecimals = '.' | (std::uint64_t{high} << 8) | (std::uint64_t{low} << 24);
        text.negative = static_cast<unsigned>(bits >> 63);
        return true;
    }
}

// Needs room for fixed4MaxChars characters (and writes at most that far).
inline char* putFixed4(double value, char* out) {
    ShortText text;
    if (fixed4Short(value, text)) return text.put(out);
    return formatFixed4(value, out);
}

}  // namespace morvale
