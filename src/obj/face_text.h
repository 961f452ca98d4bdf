#pragma once
// Vertex numbers of face lines with a fast exact integer formatter: the same
// bytes as std::to_chars, about three times faster (faces are a third of
// every file).

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <utility>

#include "obj/text_room.h"

namespace morvale {

// The decimal digits of v < 10^8 without leading zeros as text bytes in a
// word, first digit in the lowest byte, found by splitting v into eight
// one-byte lanes with multiplications; `length` gets their count.
inline std::uint64_t digitWordBelow1e8(std::uint32_t v, unsigned& length) {
    std::uint64_t lanes = (v / 10000) | (static_cast<std::uint64_t>(v % 10000) << 32);
    // Each 32-bit lane (< 10^4) into two 16-bit lanes of its hundreds and the rest.
    std::uint64_t high = ((lanes * 10486) >> 20) & 0x0000007F0000007Full;
    lanes = high | ((lanes - high * 100) << 16);
    // Each 16-bit lane (< 100) into two bytes of its tens and ones.
    high = ((lanes * 103) >> 10) & 0x000F000F000F000Full;
    lanes = high | ((lanes - high * 10) << 8);
    // The most significant digit sits in the lowest byte: leading zeros are low zero bytes.
    unsigned zeros = static_cast<unsigned>(std::countr_zero(lanes)) / 8;
    if (zeros > 7) zeros = 7;  // zero itself keeps one digit
    length = 8 - zeros;
    return (lanes + 0x3030303030303030ull) >> (8 * zeros);
}

// The eight digits of v < 10^8 with leading zeros, laid out as digitWordBelow1e8's.
inline std::uint64_t eightDigitWord(std::uint32_t v) {
    unsigned length = 0;
    const std::uint64_t word = digitWordBelow1e8(v, length);
    if (length == 8) return word;
    return (word << (8 * (8 - length))) | (0x3030303030303030ull >> (8 * length));
}

// The digits of v < 10^8; stores 8 bytes at out.
inline char* putDigitsBelow1e8(char* out, std::uint32_t v) {
    unsigned length = 0;
    const std::uint64_t text = digitWordBelow1e8(v, length);
    std::memcpy(out, &text, 8);
    return out + length;
}

inline char* putInteger(char* out, std::int64_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        if (v >= 0 && v < 100000000) return putDigitsBelow1e8(out, static_cast<std::uint32_t>(v));
    }
    return std::to_chars(out, out + integerMaxChars, v).ptr;
}

// Adds `step` (0 to 9) to the number whose digits `word` holds (last digit
// at bit `shift`, as digitWordBelow1e8 lays them out), carrying in decimal
// towards the first digit. False when every digit carries (the number gains a
// digit): `word` is then spoilt. A carry past one digit is rare (one step in ten).
inline bool addToDigitWord(std::uint64_t& word, unsigned shift, unsigned step) {
    word += static_cast<std::uint64_t>(step) << shift;
    if (((word >> shift) & 0xff) <= '9') [[likely]]
        return true;
    word -= std::uint64_t{10} << shift;
    for (unsigned at = shift; at != 0;) {
        at -= 8;
        if (((word >> at) & 0xff) != '9') {
            word += std::uint64_t{1} << at;
            return true;
        }
        word -= std::uint64_t{'9' - '0'} << at;
    }
    return false;
}

// A vertex number kept as text: consecutive numbers usually differ only in
// their last digits, so moving a little forward and writing a number just
// above are a decimal add on the text, not a new formatting. The text lives
// in a register-sized word (numbers below 10^8), never read back from memory
// after a byte of it was changed, which would stall the store buffer.
class NumberTextCounter {
public:
    void moveTo(std::int64_t v) {
        if (v == value_) return;
        const std::int64_t step = v - value_;
        value_ = v;
        if (small_ && step > 0 && step <= 9 && addToDigitWord(word_, shift_, static_cast<unsigned>(step))) return;
        if (v >= 0 && v < 100000000) {
            unsigned length = 0;
            word_ = digitWordBelow1e8(static_cast<std::uint32_t>(v), length);
            length_ = length;
            shift_ = 8 * (length - 1);
            small_ = true;
        } else {
            small_ = false;
        }
    }
    // The text of the number plus `above` (0 to 9) as a word laid out like
    // digitWordBelow1e8's, and its length; false when it needs more than a word.
    bool word(int above, std::uint64_t& text, unsigned& length) const {
        text = word_;
        length = length_;
        return small_ && addToDigitWord(text, shift_, static_cast<unsigned>(above));
    }
    // Writes the number plus `above` (0 to 9); stores 8 bytes at out.
    char* put(char* out, int above = 0) const {
        std::uint64_t text = 0;
        unsigned length = 0;
        if (word(above, text, length)) [[likely]] {
            std::memcpy(out, &text, 8);
            return out + length;
        }
        return putInteger(out, value_ + above);
    }

private:
    std::uint64_t word_ = '0';
    unsigned shift_ = 0;
    unsigned length_ = 1;
    std::int64_t value_ = 0;
    bool small_ = true;
};

// Face lines "f a b c [d]" written with two counters: a face's numbers lie
// in one or two clusters (a row and the next); each cluster's text moves
// along with a counter, and a number a few above a cluster's lowest is
// written from its text. One per formatting thread.
struct FaceLines {
    NumberTextCounter nearNumbers, farNumbers;
    // The last quad written from words: its vertex numbers and their texts
    // as words; -1: none kept.
    std::int64_t lastQuad[4] = {-1, -1, -1, -1};
    std::uint64_t lastWord[4] = {};
    unsigned lastLength[4] = {};

    // The next quad of a row (bottom-left, bottom-right, top-right, top-left):
    // its west corners are the last quad's east ones, its east corners one
    // above them. Their words, from the last quad's; false for another quad.
    bool nextQuadWords(const std::int64_t* vertex, std::uint64_t* word, unsigned* length) const {
        if (vertex[0] != lastQuad[1] || vertex[3] != lastQuad[2] || vertex[1] != lastQuad[1] + 1 ||
            vertex[2] != lastQuad[2] + 1 || lastQuad[1] < 0)
            return false;
        word[0] = word[1] = lastWord[1];
        word[3] = word[2] = lastWord[2];
        length[0] = length[1] = lastLength[1];
        length[3] = length[2] = lastLength[2];
        return addToDigitWord(word[1], 8 * (length[1] - 1), 1) && addToDigitWord(word[2], 8 * (length[2] - 1), 1);
    }
    void keepQuad(const std::int64_t* vertex, const std::uint64_t* word, const unsigned* length) {
        for (int k = 0; k < 4; ++k) {
            lastQuad[k] = vertex[k];
            lastWord[k] = word[k];
            lastLength[k] = length[k];
        }
    }

    // Stores up to faceLineSlack bytes past the line's end. The corner count
    // is fixed at compile time: the loops over the corners then unroll.
    template <int corners>
    char* put(char* out, const std::int64_t* vertex) {
        if constexpr (corners == 4) {
            std::uint64_t word[4];
            unsigned length[4];
            if (nextQuadWords(vertex, word, length)) {
                keepQuad(vertex, word, length);
                return putWords<4>(out, word, length);
            }
        }
        std::int64_t low = vertex[0], high = vertex[0];
        for (int c = 1; c < corners; ++c) {
            low = vertex[c] < low ? vertex[c] : low;
            high = vertex[c] > high ? vertex[c] : high;
        }
        nearNumbers.moveTo(low);
        if (high - low > 9) return putApart<corners>(out, vertex, low, high);
        *out++ = 'f';
        // Unrolled by hand (compilers keep this loop rolled), the counter
        // in registers: a store through `out` could alias its members.
        const NumberTextCounter near = nearNumbers;
        [&]<int... c>(std::integer_sequence<int, c...>) {
            ((*out = ' ', out = near.put(out + 1, static_cast<int>(vertex[c] - low))), ...);
        }
        (std::make_integer_sequence<int, corners>{});
        out[0] = '\r';
        out[1] = '\n';
        return out + 2;
    }

    // The words of a face whose numbers lie apart in two clusters (a row and
    // the next; `low` and `high` its least and greatest, the near counter at
    // `low`): the far counter moves to the least number more than 9 above
    // `low`. A quad's words are kept for the next quad of the row. False when
    // a number needs more than a word.
    template <int corners>
    bool apartWords(const std::int64_t* vertex, std::int64_t low, std::int64_t high, std::uint64_t* word,
                    unsigned* length) {
        std::int64_t far = high;
        for (int c = 0; c < corners; ++c)
            if (vertex[c] - low > 9 && vertex[c] < far) far = vertex[c];
        farNumbers.moveTo(far);
        bool inWords = true;
        for (int c = 0; c < corners; ++c) {
            const std::int64_t aboveLow = vertex[c] - low, aboveFar = vertex[c] - far;
            if (aboveLow <= 9)
                inWords &= nearNumbers.word(static_cast<int>(aboveLow), word[c], length[c]);
            else if (aboveFar >= 0 && aboveFar <= 9)
                inWords &= farNumbers.word(static_cast<int>(aboveFar), word[c], length[c]);
            else
                inWords = false;
        }
        if constexpr (corners == 4)
            if (inWords) keepQuad(vertex, word, length);
        return inWords;
    }

private:
    // Out of line: the first quad of a row's run only, and put() inlines where it is small.
    template <int corners>
    [[gnu::noinline]] char* putApart(char* out, const std::int64_t* vertex, std::int64_t low, std::int64_t high) {
        std::uint64_t word[corners];
        unsigned length[corners];
        if (apartWords<corners>(vertex, low, high, word, length)) return putWords<corners>(out, word, length);
        // Numbers of 10^8 and above: each formatted in full.
        *out++ = 'f';
        for (int c = 0; c < corners; ++c) {
            *out++ = ' ';
            out = putInteger(out, vertex[c]);
        }
        out[0] = '\r';
        out[1] = '\n';
        return out + 2;
    }
    template <int corners>
    static char* putWords(char* out, const std::uint64_t* word, const unsigned* length) {
        *out++ = 'f';
        for (int c = 0; c < corners; ++c) {
            *out++ = ' ';
            std::memcpy(out, &word[c], 8);
            out += length[c];
        }
        out[0] = '\r';
        out[1] = '\n';
        return out + 2;
    }
};

}  // namespace morvale
