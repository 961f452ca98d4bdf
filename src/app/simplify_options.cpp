#include "app/simplify_options.h"

#include "app/option_number.h"

namespace morvale {

SimplifyOptionStatus parseMaxError(std::string_view text, double& value) {
    double parsed = 0.0;
    switch (readNumberText(text, parsed)) {
    case NumberTextStatus::ok: break;
    case NumberTextStatus::notFinite: return SimplifyOptionStatus::notFinite;
    default: return SimplifyOptionStatus::notANumber;
    }
    if (parsed < 0.0) return SimplifyOptionStatus::negative;
    value = parsed == 0.0 ? 0.0 : parsed;  // -0 is 0
    return SimplifyOptionStatus::ok;
}

SimplifyOptionStatus parseMaxTriangles(std::string_view text, std::int64_t& value) {
    std::int64_t parsed = 0;
    switch (readNumberText(text, parsed)) {
    case NumberTextStatus::ok: break;
    case NumberTextStatus::tooSmall: return SimplifyOptionStatus::belowTwo;
    case NumberTextStatus::tooLarge: return SimplifyOptionStatus::tooLarge;
    default: return SimplifyOptionStatus::notANumber;
    }
    if (parsed < 2) return SimplifyOptionStatus::belowTwo;
    value = parsed;
    return SimplifyOptionStatus::ok;
}

const char* simplifyOptionMessage(SimplifyOptionStatus status, std::string_view option, std::string_view text,
                                  char* out, std::size_t size) {
    const char* why = "";
    switch (status) {
    case SimplifyOptionStatus::ok: why = numberTextReason(NumberTextStatus::ok); break;
    case SimplifyOptionStatus::notANumber: why = numberTextReason(NumberTextStatus::notANumber); break;
    case SimplifyOptionStatus::notFinite: why = numberTextReason(NumberTextStatus::notFinite); break;
    case SimplifyOptionStatus::negative:
        why = "is negative: the error bound is 0 or more, in the grid's elevation units";
        break;
    case SimplifyOptionStatus::belowTwo: why = "is below 2: a mesh needs at least 2 triangles"; break;
    case SimplifyOptionStatus::tooLarge: why = numberTextReason(NumberTextStatus::tooLarge); break;
    }
    return optionValueMessage(option, text, why, out, size);
}

}  // namespace morvale
