// Long differential run of the pipeline's inline "%.4f" (putFixed4, the fast
// register path and its fallback) against snprintf("%.4f"): hundreds of
// millions of values, weighted to the range the fast path takes and to its
// edges, where a slip in the rounding or the digit assembly would show.
// Usage: soak_vertex_text [COUNT] [THREADS] [SEED]; exits 1 on the first mismatch.

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "fixed4_soak_driver.h"
#include "obj/fixed_format_inline.h"

namespace {

double sample(std::mt19937_64& random, std::uint64_t index) {
    const std::uint64_t bits = random();
    const double sign = (bits >> 63) ? -1.0 : 1.0;
    switch (index % 8) {
    case 0:  // any mantissa, exponents from below the fast range to beyond it
        return std::bit_cast<double>((bits & 0x800f'ffff'ffff'ffffu) | ((1023 - 16 + (bits >> 52) % 48) << 52));
    case 1:  // elevations and coordinates as grids store them, and their means
        return sign * static_cast<double>(bits % 100'000'000'000) / std::pow(10.0, static_cast<double>(bits >> 60 & 7));
    case 2: {  // exact binary ties of the fourth decimal and their neighbours
        const double tie =
            std::ldexp(static_cast<double>(2 * (bits >> 36) + 1), -static_cast<int>(5 + (bits >> 8) % 24));
        return sign * ((index & 8) ? tie : std::nextafter(tie, (index & 16) ? 0.0 : 1e300));
    }
    case 3: {  // the doubles nearest to x.xxxx5 and their neighbours
        const double boundary = (static_cast<double>(bits >> 30) + 0.5) / 1e4;
        return sign * ((index & 8) ? boundary : std::nextafter(boundary, (index & 16) ? 0.0 : 1e300));
    }
    case 4:  // around the top of the fast range: 10^8 and the carries into it
        return sign * (99'999'999.0 + static_cast<double>(bits % 20'000) / 10'000.0);
    case 5:  // around the bottom of the fast range: 2^-11
        return sign * std::ldexp(1.0 + static_cast<double>(bits >> 12) * 0x1p-52, -10 - static_cast<int>(bits % 3));
    case 6:  // means of four values divided by 3 and scaled
        return sign * (static_cast<double>(bits % 4'000'000) / 1000.0) / 3.0 *
               static_cast<double>(1 + (bits >> 40) % 100);
    default:  // any bit pattern at all
        return std::bit_cast<double>(bits);
    }
}

}  // namespace

int main(int argc, char** argv) {
    return runFixed4Soak(
        argc, argv, 20240411, [](double value, char* out) { return morvale::putFixed4(value, out); }, sample);
}
