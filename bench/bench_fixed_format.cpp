// Times formatFixed4, snprintf("%.4f") and std::to_chars(fixed, 4) side by side
// on the numbers a conversion writes: map coordinates and elevations.
// Usage: bench_fixed_format [VALUES]

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "obj/fixed_format.h"

namespace {

std::vector<double> typicalValues(std::size_t count) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> elevation(-50.0, 4500.0);
    std::vector<double> values;
    values.reserve(count);
    const double cellSize = 30.0;
    const double xll = 431'580.0, yll = 5'101'290.0;
    for (std::size_t i = 0; values.size() < count; ++i) {
        values.push_back(xll + static_cast<double>(i % 4000) * cellSize);     // east
        values.push_back(-(yll + static_cast<double>(i / 4000) * cellSize));  // north, negated by an axis order
        values.push_back(static_cast<double>(static_cast<std::int64_t>(elevation(random) * 1000)) / 1000 * 0.01);
    }
    values.resize(count);
    return values;
}

template <typename Format>
double nanosecondsPerValue(const std::vector<double>& values, Format format) {
    static char text[400];
    std::vector<double> runs;
    std::size_t checksum = 0;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        for (double value : values) checksum += static_cast<std::size_t>(format(value, text) - text);
        runs.push_back(std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
                       static_cast<double>(values.size()));
    }
    if (checksum == 0) std::puts("");
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 3'000'000;
    const std::vector<double> values = typicalValues(count);

    double ours = nanosecondsPerValue(values, [](double v, char* out) { return morvale::formatFixed4(v, out); });
    double library = nanosecondsPerValue(
        values, [](double v, char* out) { return std::to_chars(out, out + 400, v, std::chars_format::fixed, 4).ptr; });
    double printfTime =
        nanosecondsPerValue(values, [](double v, char* out) { return out + std::snprintf(out, 400, "%.4f", v); });
    std::printf("%zu values, median of 5 runs, ns per value:\n", count);
    std::printf("  formatFixed4          %7.1f\n", ours);
    std::printf("  std::to_chars fixed 4 %7.1f  (%.1fx)\n", library, library / ours);
    std::printf("  snprintf %%.4f         %7.1f  (%.1fx)\n", printfTime, printfTime / ours);
    return 0;
}
