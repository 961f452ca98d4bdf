#pragma once
// Reading one elevation number the way a classic-locale `istream >> double`
// reads it, from text held in memory or arriving in pieces.
//
// The stream extraction gathers the longest run of an optional sign, digits,
// one decimal point and an exponent ('e' or 'E' after at least one mantissa
// digit, an optional sign, digits), then converts it as a whole. The number
// fails when that run is not a complete decimal ("1e", "+", ".") or when it
// overflows; underflow gives zero (with its sign) or a subnormal. Either way
// the run ends right before the first character it could not take, so "5-3"
// is two numbers and "1.2.3" is 1.2 and .3.
//
// Beyond the stream: a `nan` token (optional sign, "nan" in any letter case,
// then white space or the end of the line or input) is read as a no-data cell.
// "nan(...)" and "nanx" are not nan tokens; they fail like any other word.

#include <cstddef>
#include <cstdint>

namespace morvale {

enum class NumberKind : std::uint8_t {
    value,    // a finite double
    noData,   // a nan token
    invalid,  // not a number: the rest of the line is ignored
};

struct ScannedNumber {
    NumberKind kind = NumberKind::invalid;
    double value = 0.0;
};

// White space of the classic locale: space, \t, \n, \v, \f, \r.
constexpr bool isNumberSpace(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads a number token character by character, for tokens that cross the end
// of a block or are too unusual for the fast path. Its memory is fixed however
// long the token is: past the significant digits that decide the rounding it
// keeps only whether a non-zero digit was dropped, and the decimal exponent.
class NumberAccumulator {
public:
    // Starts a new token.
    void reset() noexcept;

    // Takes the next character of the token; false when `c` is not part of it
    // (the token then ends right before `c`, which is left to the caller).
    bool take(char c) noexcept;

    // The number read, once the token has ended (at a refused character or at
    // the end of the input).
    ScannedNumber finish() const noexcept;

    // Enough digits to round any decimal correctly: a halfway point between two
    // doubles has at most 767 significant digits.
    static constexpr int keptDigits = 800;

private:
    enum class Phase : std::uint8_t { start, afterSign, mantissa, exponentSign, exponent, n, na, nan };

    void takeMantissaDigit(char c) noexcept;

    Phase phase_ = Phase::start;
    bool negative_ = false;
    bool foundMantissa_ = false;
    bool foundPoint_ = false;
    bool exponentNegative_ = false;
    bool exponentDigits_ = false;
    bool dropped_ = false;    // a non-zero digit past keptDigits
    bool nanSpoilt_ = false;  // "nan" followed by something other than white space
    int digitCount_ = 0;
    std::int64_t scale_ = 0;     // value = digits * 10^(scale_ + exponent)
    std::int64_t exponent_ = 0;  // saturates far beyond any double
    char digits_[keptDigits];
};

// The outcome of scanning at one position of a block.
struct NumberScan {
    ScannedNumber number;
    const char* next = nullptr;  // first character after the token
    bool complete = true;        // false: the token may go on past `end`
};

// Scans the token starting at `first` (which is not white space) in [first, end).
// `endIsFinal` says that the input ends at `end`. Otherwise a token reaching
// `end` is left incomplete: `pending` has then taken all of [first, end) and
// the caller goes on feeding it the next block's characters.
NumberScan scanNumberInGeneral(const char* first, const char* end, bool endIsFinal,
                               NumberAccumulator& pending) noexcept;

// The same, with the common short decimals ("1234.5678", "-17", ".5") read
// inline: at most 19 digits forming an integer of at most 2^53, hence at most
// 19 after the point. Such a value is one exactly representable integer divided
// by one exactly representable power of ten (up to 10^22), and that single IEEE
// division rounds correctly, so the result is the one the general conversion gives.
inline NumberScan scanNumber(const char* first, const char* end, bool endIsFinal, NumberAccumulator& pending) noexcept {
    static constexpr double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = first;
    const bool negative = *p == '-';
    p += (*p == '-' || *p == '+');
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    while (p < end && static_cast<unsigned>(*p - '0') < 10u && digits < 19) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        ++digits;
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && static_cast<unsigned>(*p - '0') < 10u && digits < 19) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
            ++digits;
            ++fraction;
            ++p;
        }
    }
    // The token must visibly end here: not at `end`, not before more digits or an exponent.
    if (digits > 0 && p < end && static_cast<unsigned>(*p - '0') >= 10u && *p != 'e' && *p != 'E' &&
        mantissa <= (std::uint64_t{1} << 53)) {
        double value = static_cast<double>(mantissa);
        if (fraction > 0) value /= powersOfTen[fraction];
        return {{NumberKind::value, negative ? -value : value}, p, true};
    }
    return scanNumberInGeneral(first, end, endIsFinal, pending);
}

}  // namespace morvale
