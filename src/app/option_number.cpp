#include "app/option_number.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace morvale {

NumberTextStatus readNumberText(std::string_view text, double& value) {
    double parsed = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (error == std::errc::result_out_of_range) return NumberTextStatus::notFinite;
    if (error != std::errc() || stop != end) return NumberTextStatus::notANumber;
    if (!std::isfinite(parsed)) return NumberTextStatus::notFinite;
    value = parsed;
    return NumberTextStatus::ok;
}

NumberTextStatus readNumberText(std::string_view text, std::int64_t& value) {
    std::int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (error == std::errc::result_out_of_range)
        return text.front() == '-' ? NumberTextStatus::tooSmall : NumberTextStatus::tooLarge;
    if (error != std::errc() || stop != end) {
        double real = 0.0;
        return readNumberText(text, real) == NumberTextStatus::notANumber ? NumberTextStatus::notANumber
                                                                          : NumberTextStatus::notWhole;
    }
    value = parsed;
    return NumberTextStatus::ok;
}

const char* numberTextReason(NumberTextStatus status) {
    switch (status) {
    case NumberTextStatus::ok: return "is fine";
    case NumberTextStatus::notANumber: return "is not a number";
    case NumberTextStatus::notWhole: return "is not a whole number";
    case NumberTextStatus::notFinite: return "is not a finite number";
    case NumberTextStatus::tooLarge: return "is too large";
    case NumberTextStatus::tooSmall: return "is too small";
    }
    return "";
}

const char* optionValueMessage(std::string_view option, std::string_view text, std::string_view why, char* out,
                               std::size_t size) {
    if (size == 0) return out;
    std::snprintf(out, size, "%.*s: '%.*s' %.*s", static_cast<int>(option.size()), option.data(),
                  static_cast<int>(text.size() > 64 ? 64 : text.size()), text.data(), static_cast<int>(why.size()),
                  why.data());
    return out;
}

}  // namespace morvale
