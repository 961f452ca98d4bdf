#include "grid/number_scan.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace morvale {
namespace {

constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool isExponentMark(char c) noexcept { return c == 'e' || c == 'E'; }

// Far beyond any exponent that can still give a finite non-zero double, yet
// safe to add to a digit-position shift without overflowing.
constexpr std::int64_t exponentCeiling = 100'000'000'000'000;

double withSign(double magnitude, bool negative) noexcept { return negative ? -magnitude : magnitude; }

ScannedNumber evaluateWhole(const char* first, const char* last, NumberAccumulator& scratch) noexcept {
    scratch.reset();
    while (first < last && scratch.take(*first)) ++first;
    return scratch.finish();
}

}  // namespace

void NumberAccumulator::reset() noexcept {
    phase_ = Phase::start;
    negative_ = false;
    foundMantissa_ = false;
    foundPoint_ = false;
    exponentNegative_ = false;
    exponentDigits_ = false;
    dropped_ = false;
    nanSpoilt_ = false;
    digitCount_ = 0;
    scale_ = 0;
    exponent_ = 0;
}

void NumberAccumulator::takeMantissaDigit(char c) noexcept {
    foundMantissa_ = true;
    if (digitCount_ == 0 && c == '0') {
        if (foundPoint_) --scale_;
        return;
    }
    if (digitCount_ < keptDigits) {
        digits_[digitCount_++] = c;
        if (foundPoint_) --scale_;
        return;
    }
    // Past the kept digits only "some non-zero digit follows" matters for the rounding.
    if (c != '0') dropped_ = true;
    if (!foundPoint_) ++scale_;
}

bool NumberAccumulator::take(char c) noexcept {
    switch (phase_) {
    case Phase::start:
        if (c == '+' || c == '-') {
            negative_ = (c == '-');
            phase_ = Phase::afterSign;
            return true;
        }
        [[fallthrough]];
    case Phase::afterSign:
        if (c == 'n' || c == 'N') {
            phase_ = Phase::n;
            return true;
        }
        phase_ = Phase::mantissa;
        [[fallthrough]];
    case Phase::mantissa:
        if (isDigit(c)) {
            takeMantissaDigit(c);
            return true;
        }
        if (c == '.' && !foundPoint_) {
            foundPoint_ = true;
            return true;
        }
        if (isExponentMark(c) && foundMantissa_) {
            phase_ = Phase::exponentSign;
            return true;
        }
        return false;
    case Phase::exponentSign:
        phase_ = Phase::exponent;
        if (c == '+' || c == '-') {
            exponentNegative_ = (c == '-');
            return true;
        }
        [[fallthrough]];
    case Phase::exponent:
        if (isDigit(c)) {
            exponentDigits_ = true;
            if (exponent_ < exponentCeiling) exponent_ = exponent_ * 10 + (c - '0');
            return true;
        }
        return false;
    case Phase::n:
        if (c != 'a' && c != 'A') return false;
        phase_ = Phase::na;
        return true;
    case Phase::na:
        if (c != 'n' && c != 'N') return false;
        phase_ = Phase::nan;
        return true;
    case Phase::nan:
        if (!isNumberSpace(c)) nanSpoilt_ = true;
        return false;
    }
    return false;
}

ScannedNumber NumberAccumulator::finish() const noexcept {
    ScannedNumber invalid;
    switch (phase_) {
    case Phase::start:
    case Phase::afterSign:
    case Phase::n:
    case Phase::na:
    case Phase::exponentSign: return invalid;
    case Phase::nan:
        if (nanSpoilt_) return invalid;
        return {NumberKind::noData, std::numeric_limits<double>::quiet_NaN()};
    case Phase::mantissa:
        if (!foundMantissa_) return invalid;
        break;
    case Phase::exponent:
        if (!exponentDigits_) return invalid;
        break;
    }
    if (digitCount_ == 0) return {NumberKind::value, withSign(0.0, negative_)};

    // digits * 10^power, rewritten as plain "<digits>e<power>" (no decimal
    // point, so the conversion cannot depend on a locale).
    char text[keptDigits + 32];
    std::memcpy(text, digits_, static_cast<std::size_t>(digitCount_));
    int length = digitCount_;
    std::int64_t power = scale_ + (exponentNegative_ ? -exponent_ : exponent_);
    if (dropped_) {
        text[length++] = '1';
        --power;
    }
    // The value lies in [10^(magnitude-1), 10^magnitude).
    const std::int64_t magnitude = power + length;
    if (magnitude > 310) return invalid;  // overflow fails like the stream's extraction
    if (magnitude < -330) return {NumberKind::value, withSign(0.0, negative_)};
    text[length++] = 'e';
    const auto written = std::to_chars(text + length, text + sizeof text, power);
    double magnitudeValue = 0.0;
    const auto parsed = std::from_chars(text, written.ptr, magnitudeValue);
    if (parsed.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone; the stream gives 0 on underflow and fails on overflow.
        if (magnitude > 0) return invalid;
        return {NumberKind::value, withSign(0.0, negative_)};
    }
    if (parsed.ec != std::errc()) return invalid;
    return {NumberKind::value, withSign(magnitudeValue, negative_)};
}

NumberScan scanNumberInGeneral(const char* first, const char* end, bool endIsFinal,
                               NumberAccumulator& pending) noexcept {
    // Fast path: the plain decimal from_chars reads. It refuses a leading '+',
    // and it would take "inf", "nan" and "+-5", so those go the slow way.
    const char* afterSign = first + (*first == '+' || *first == '-');
    if (afterSign < end && (isDigit(*afterSign) || *afterSign == '.')) {
        const char* from = first + (*first == '+');
        double value = 0.0;
        const auto parsed = std::from_chars(from, end, value);
        // An 'e' that from_chars left means "1e" or "1e+": the stream takes
        // those characters and then fails, so that case is the slow path's too.
        const bool ended = parsed.ptr < end ? !isExponentMark(*parsed.ptr) : endIsFinal;
        if (ended && parsed.ptr != from) {
            if (parsed.ec == std::errc()) return {{NumberKind::value, value}, parsed.ptr, true};
            if (parsed.ec == std::errc::result_out_of_range)
                return {evaluateWhole(first, parsed.ptr, pending), parsed.ptr, true};
        }
    }
    pending.reset();
    const char* p = first;
    while (p < end && pending.take(*p)) ++p;
    if (p == end && !endIsFinal) return {{}, end, false};
    return {pending.finish(), p, true};
}

}  // namespace morvale
