// Long differential run of formatFixed4 against snprintf("%.4f"): hundreds of
// millions of values from every region where fixed-point formatting can go wrong.
// Usage: soak_fixed_format [COUNT] [THREADS] [SEED]; exits 1 on the first mismatch.

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "fixed4_soak_driver.h"
#include "obj/fixed_format.h"

namespace {

// One value of the given kind; the kinds cycle so every stretch of the run covers all of them.
double sample(std::mt19937_64& random, std::uint64_t index) {
    std::uint64_t bits = random();
    auto unit = [&] { return static_cast<double>(random() >> 11) * 0x1p-53; };
    switch (index % 16) {
    case 0:  // any bit pattern at all (huge values, NaN payloads, subnormals)
        return std::bit_cast<double>(bits);
    case 1:
    case 2:  // any mantissa with a magnitude below 2^70
        return std::bit_cast<double>((bits & 0x800f'ffff'ffff'ffffu) | ((bits >> 52) % 1094) << 52);
    case 3:
    case 4:  // coordinates and elevations at every scale
        return (unit() * 2 - 1) * std::pow(10.0, unit() * 14 - 6);
    case 5: {  // grid positions: origin plus column times cell size
        static constexpr double cellSizes[] = {0.5, 1, 2, 5, 10, 25, 30, 90, 1.0 / 1200, 1.0 / 3600, 0.1, 0.3};
        double origin = (unit() * 2 - 1) * std::pow(10.0, unit() * 7);
        return origin + static_cast<double>(bits % 100'000) * cellSizes[(bits >> 20) % 12];
    }
    case 6:
    case 7: {  // exact ties, odd multiples of 1/32, and their neighbours
        double tie = static_cast<double>(2 * (bits >> (12 + index % 40)) + 1) / 32.0;
        tie = (index & 16) ? -tie : tie;
        return index % 3 == 0 ? tie : std::nextafter(tie, index % 3 == 1 ? 0.0 : 2 * tie);
    }
    case 8:
    case 9: {  // the doubles nearest to x.xxxx5 and their neighbours
        double boundary = (static_cast<double>(bits >> (11 + index % 42)) + 0.5) / 1e4;
        boundary = (index & 16) ? -boundary : boundary;
        return index % 3 == 0 ? boundary : std::nextafter(boundary, index % 3 == 1 ? 0.0 : 2 * boundary);
    }
    case 10:  // elevations with few decimals, as grids store them
        return static_cast<double>(static_cast<std::int64_t>(bits % 20'000'000) - 5'000'000) /
               std::pow(10.0, bits >> 60 & 7);
    case 11: {  // integers and neighbours around 2^53 and 2^64
        double anchor = (bits & 1) ? 9007199254740992.0 : 18446744073709551616.0;
        double value =
            anchor + std::ldexp(static_cast<double>(static_cast<std::int32_t>(bits >> 32)), (bits & 1) ? 0 : 11);
        return (bits & 2) ? -value : value;
    }
    case 12:  // tiny magnitudes: subnormals and values just below half a unit of the last decimal
        return (bits & 1) ? std::bit_cast<double>(bits & 0x800f'ffff'ffff'ffffu) : (unit() - 0.5) * 1e-4;
    case 13:  // large magnitudes printed digit by digit
        return std::pow(10.0, 15 + unit() * 293) * ((bits & 1) ? -1 : 1);
    case 14:  // small integers and halves
        return static_cast<double>(static_cast<std::int32_t>(bits)) / 2;
    default:  // signed zeros and infinities now and then, otherwise typical coordinates
        if ((bits & 255) == 0)
            return std::bit_cast<double>((bits & 0x8000'0000'0000'0000u) | ((bits & 256) ? 0x7ff0'0000'0000'0000u : 0));
        return (unit() - 0.5) * 2e6;
    }
}

}  // namespace

int main(int argc, char** argv) {
    return runFixed4Soak(
        argc, argv, 20240307, [](double value, char* out) { return morvale::formatFixed4(value, out); }, sample);
}
