#include "mesh/simplify/line_simplify.h"

#include <cassert>
#include <cmath>

namespace morvale {

namespace {

// Keeps the worst corner strictly between a and b while it is beyond maxError.
double split(const double* heights, std::uint8_t* flags, std::ptrdiff_t stride, std::int32_t a, std::int32_t b,
             double maxError, std::uint8_t keepBit) {
    const double ha = heights[a * stride], hb = heights[b * stride];
    const double span = static_cast<double>(b - a);
    double worst = 0.0;
    std::int32_t worstAt = -1;
    for (std::int32_t i = a + 1; i < b; ++i) {
        const double line = (ha * static_cast<double>(b - i) + hb * static_cast<double>(i - a)) / span;
        const double error = std::fabs(heights[i * stride] - line);
        if (error > worst) {
            worst = error;
            worstAt = i;
        }
    }
    if (worstAt < 0 || worst <= maxError) return worst;
    flags[worstAt * stride] |= keepBit;
    const double left = split(heights, flags, stride, a, worstAt, maxError, keepBit);
    const double right = split(heights, flags, stride, worstAt, b, maxError, keepBit);
    return left > right ? left : right;
}

}  // namespace

double simplifyLine(const double* heights, std::uint8_t* flags, std::ptrdiff_t stride, std::int32_t count,
                    double maxError, std::uint8_t keepBit) {
    assert(count >= 2);
    flags[0] |= keepBit;
    flags[(count - 1) * stride] |= keepBit;
    return split(heights, flags, stride, 0, count - 1, maxError, keepBit);
}

}  // namespace morvale
