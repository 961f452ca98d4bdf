#include "grid/header_numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace morvale {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number as written: its digits (integer part then fraction, the
// point left out) and its exponent.
struct DecimalText {
    std::string_view integerDigits;
    std::string_view fractionDigits;
    long exponent = 0;

    std::size_t digitCount() const { return integerDigits.size() + fractionDigits.size(); }
    char digit(std::size_t i) const {
        return i < integerDigits.size() ? integerDigits[i] : fractionDigits[i - integerDigits.size()];
    }
};

// Where the significant digits start and end, and the power of ten of the first.
struct Significand {
    std::size_t first = 0;
    std::size_t last = 0;  // one past the last non-zero digit
    long power = 0;
};

Significand significandOf(const DecimalText& text) {
    Significand s;
    const std::size_t count = text.digitCount();
    while (s.first < count && text.digit(s.first) == '0') ++s.first;
    s.last = count;
    while (s.last > s.first && text.digit(s.last - 1) == '0') --s.last;
    s.power = static_cast<long>(text.integerDigits.size()) - 1 - static_cast<long>(s.first) + text.exponent;
    return s;
}

bool sameDecimal(const DecimalText& a, const DecimalText& b) {
    const Significand sa = significandOf(a);
    const Significand sb = significandOf(b);
    if (sa.power != sb.power || sa.last - sa.first != sb.last - sb.first) return false;
    for (std::size_t i = 0; i < sa.last - sa.first; ++i) {
        if (a.digit(sa.first + i) != b.digit(sb.first + i)) return false;
    }
    return true;
}

// Whether the written number is exactly the double it converted to.
bool isExact(const DecimalText& written, double magnitude) {
    // Every double has at most 767 significant decimal digits.
    std::array<char, 800> exact{};
    const auto printed =
        std::to_chars(exact.data(), exact.data() + exact.size(), magnitude, std::chars_format::scientific, 770);
    if (printed.ec != std::errc()) return false;
    const std::string_view digits(exact.data(), static_cast<std::size_t>(printed.ptr - exact.data()));
    const std::size_t e = digits.find('e');
    DecimalText expansion;
    expansion.integerDigits = digits.substr(0, 1);
    expansion.fractionDigits = digits.substr(2, e - 2);
    const char* power = digits.data() + e + 1;
    if (*power == '+') ++power;
    std::from_chars(power, digits.data() + digits.size(), expansion.exponent);
    return sameDecimal(written, expansion);
}

// Whether twice the written number rounds below twice the smallest normal
// double. Doubling is exact in decimal, and there the boundary of the rounding
// falls halfway between two doubles, where from_chars decides it exactly.
bool doubleRoundsBelowTwiceSmallestNormal(const DecimalText& written) {
    std::string digits;
    digits.reserve(written.digitCount() + 24);
    digits.append(written.integerDigits).append(written.fractionDigits);
    int carry = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        const int twice = (*it - '0') * 2 + carry;
        *it = static_cast<char>('0' + twice % 10);
        carry = twice / 10;
    }
    if (carry != 0) digits.insert(digits.begin(), '1');
    digits += 'e';
    digits += std::to_string(written.exponent - static_cast<long>(written.fractionDigits.size()));
    double twice = 0.0;
    std::from_chars(digits.data(), digits.data() + digits.size(), twice);
    return twice < 2 * std::numeric_limits<double>::min();
}

// strtod reports underflow when the result is inexact and the written number,
// rounded to 53 bits with no bound on the exponent, lies below the smallest
// normal double.
bool underflows(const DecimalText& written, double magnitude) {
    constexpr double smallestNormal = std::numeric_limits<double>::min();
    if (magnitude == 0.0 || magnitude > smallestNormal) return false;
    if (magnitude == smallestNormal) return doubleRoundsBelowTwiceSmallestNormal(written);
    return !isExact(written, magnitude);
}

}  // namespace

bool convertHeaderInteger(std::string_view text, std::int32_t& number) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    constexpr std::int64_t beyondRange = std::int64_t{1} << 32;
    std::int64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (magnitude < beyondRange) magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (i == firstDigit) return false;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    number = static_cast<std::int32_t>(value);
    return true;
}

bool convertHeaderReal(std::string_view text, double& number, std::size_t& prefixLength) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t mantissaStart = i;
    DecimalText written;
    while (i < text.size() && isDigit(text[i])) ++i;
    written.integerDigits = text.substr(mantissaStart, i - mantissaStart);
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && isDigit(text[i])) ++i;
        written.fractionDigits = text.substr(fractionStart, i - fractionStart);
    }
    if (written.digitCount() == 0) return false;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) negativeExponent = text[j++] == '-';
        if (j < text.size() && isDigit(text[j])) {
            long exponent = 0;
            for (; j < text.size() && isDigit(text[j]); ++j) {
                // Far beyond any double either way; only the direction matters then.
                if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
            }
            written.exponent = negativeExponent ? -exponent : exponent;
            end = j;
        }
    }
    double magnitude = 0.0;
    const auto parsed =
        std::from_chars(text.data() + mantissaStart, text.data() + end, magnitude, std::chars_format::general);
    // out_of_range covers overflow and results that round to zero.
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + end) return false;
    if (std::isinf(magnitude) || underflows(written, magnitude)) return false;
    number = negative ? -magnitude : magnitude;
    prefixLength = end;
    return true;
}

bool containsAsciiLetter(std::string_view text) {
    for (const char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    }
    return false;
}

bool isNanToken(std::string_view text) {
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
    if (text.size() != 3) return false;
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(text[0]) == 'n' && lower(text[1]) == 'a' && lower(text[2]) == 'n';
}

}  // namespace morvale
