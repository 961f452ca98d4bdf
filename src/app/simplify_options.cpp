#include "app/simplify_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace morvale {

SimplifyOptionStatus parseMaxError(std::string_view text, double& value) {
    double parsed = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (error == std::errc::result_out_of_range) return SimplifyOptionStatus::notFinite;
    if (error != std::errc() || stop != end) return SimplifyOptionStatus::notANumber;
    if (!std::isfinite(parsed)) return SimplifyOptionStatus::notFinite;
    if (parsed < 0.0) return SimplifyOptionStatus::negative;
    value = parsed == 0.0 ? 0.0 : parsed;  // -0 is 0
    return SimplifyOptionStatus::ok;
}

SimplifyOptionStatus parseMaxTriangles(std::string_view text, std::int64_t& value) {
    std::int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, parsed);
    if (error == std::errc::result_out_of_range) {
        return !text.empty() && text.front() == '-' ? SimplifyOptionStatus::belowTwo : SimplifyOptionStatus::tooLarge;
    }
    if (error != std::errc() || stop != end) return SimplifyOptionStatus::notANumber;
    if (parsed < 2) return SimplifyOptionStatus::belowTwo;
    value = parsed;
    return SimplifyOptionStatus::ok;
}

const char* simplifyOptionMessage(SimplifyOptionStatus status, std::string_view option, std::string_view text,
                                  char* out, std::size_t size) {
    const char* why = "";
    switch (status) {
    case SimplifyOptionStatus::ok: why = "is fine"; break;
    case SimplifyOptionStatus::notANumber: why = "is not a number"; break;
    case SimplifyOptionStatus::notFinite: why = "is not a finite number"; break;
    case SimplifyOptionStatus::negative:
        why = "is negative: the error bound is 0 or more, in the grid's elevation units";
        break;
    case SimplifyOptionStatus::belowTwo: why = "is below 2: a mesh needs at least 2 triangles"; break;
    case SimplifyOptionStatus::tooLarge: why = "is too large"; break;
    }
    if (size == 0) return out;
    std::snprintf(out, size, "%.*s: '%.*s' %s", static_cast<int>(option.size()), option.data(),
                  static_cast<int>(text.size() > 64 ? 64 : text.size()), text.data(), why);
    return out;
}

}  // namespace morvale
