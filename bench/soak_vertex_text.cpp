// Long differential run of the pipeline's inline "%.4f" (putFixed4, the fast
// register path and its fallback) against snprintf("%.4f"): hundreds of
// millions of values, weighted to the range the fast path takes and to its
// edges, where a slip in the rounding or the digit assembly would show.
// Usage: soak_vertex_text [COUNT] [THREADS] [SEED]; exits 1 on the first mismatch.

#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "convert/fixed_format_inline.h"

namespace {

std::atomic<bool> mismatchFound{false};

bool sameAsPrintf(double value) {
    char ours[morvale::fixed4MaxChars + 16];
    char theirs[400];
    const std::size_t ourLength = static_cast<std::size_t>(morvale::putFixed4(value, ours) - ours);
    const int theirLength = std::snprintf(theirs, sizeof theirs, "%.4f", value);
    if (ourLength == static_cast<std::size_t>(theirLength) && std::memcmp(ours, theirs, ourLength) == 0) return true;
    ours[ourLength] = '\0';
    std::printf("MISMATCH bits 0x%016llx: %s instead of %s\n",
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)), ours, theirs);
    mismatchFound = true;
    return false;
}

double sample(std::mt19937_64& random, std::uint64_t index) {
    const std::uint64_t bits = random();
    const double sign = (bits >> 63) ? -1.0 : 1.0;
    switch (index % 8) {
        case 0:  // any mantissa, exponents from below the fast range to beyond it
            return std::bit_cast<double>((bits & 0x800f'ffff'ffff'ffffu) | ((1023 - 16 + (bits >> 52) % 48) << 52));
        case 1:  // elevations and coordinates as grids store them, and their means
            return sign * static_cast<double>(bits % 100'000'000'000) /
                   std::pow(10.0, static_cast<double>(bits >> 60 & 7));
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
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 300'000'000;
    const unsigned threads = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 2;
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20240411;
    std::atomic<std::uint64_t> compared{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::mt19937_64 random(seed + t);
            std::uint64_t done = 0;
            for (std::uint64_t i = t; i < count && !mismatchFound; i += threads) {
                if (!sameAsPrintf(sample(random, i))) break;
                if (++done == 1'000'000) {
                    compared += done;
                    done = 0;
                }
            }
            compared += done;
        });
    }
    for (auto& worker : workers) worker.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu values compared with snprintf(\"%%.4f\") in %.1f s on %u threads: %s\n",
                static_cast<unsigned long long>(compared.load()), seconds, threads,
                mismatchFound ? "MISMATCH" : "all identical");
    return mismatchFound ? 1 : 0;
}
