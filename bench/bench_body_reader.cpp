// Times readGridBody against a plain getline + istringstream loop doing the
// same counting, side by side in one run, on a generated grid (made in the
// temp folder when missing).
//
// Usage: bench_body_reader [SIZE]        SIZE x SIZE cells, default 4000
//        bench_body_reader --one-line MB  a grid of about MB megabytes on one
//                                         single line, read once (time and peak memory)

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#endif

#include "base/input_file.h"
#include "grid/grid_body.h"

namespace {

constexpr int headerLines = 6;
constexpr double noData = -9999.0;

struct Outcome {
    morvale::GridBodyCounts counts;
    double sum = 0.0;
    double seconds = 0.0;
};

// Smooth relief with a little noise, four decimals, now and then a no-data cell.
double elevation(std::int64_t row, std::int64_t col, std::uint64_t& noise) {
    noise = noise * 6364136223846793005ull + 1442695040888963407ull;
    if ((noise >> 40) % 997 == 0) return noData;
    const double x = static_cast<double>(col) * 0.01, y = static_cast<double>(row) * 0.013;
    const double base = 1200.0 + 300.0 * (x - x * x * 0.02) + 150.0 * (y - y * y * 0.03);
    return base + static_cast<double>((noise >> 33) % 100000) * 0.0001;
}

bool writeGrid(const std::filesystem::path& path, std::int64_t ncols, std::int64_t nrows, bool oneLine) {
    std::FILE* out = std::fopen(path.string().c_str(), "wb");
    if (out == nullptr) return false;
    std::fprintf(out, "ncols %lld\nnrows %lld\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n",
                 static_cast<long long>(ncols), static_cast<long long>(nrows));
    std::vector<char> line(static_cast<std::size_t>(ncols) * 24 + 2);
    std::uint64_t noise = 12345;
    for (std::int64_t r = 1; r <= nrows; ++r) {
        char* p = line.data();
        for (std::int64_t c = 1; c <= ncols; ++c) {
            p = std::to_chars(p, line.data() + line.size(), elevation(r, c, noise), std::chars_format::fixed, 4).ptr;
            *p++ = ' ';
        }
        if (!oneLine || r == nrows) *p++ = '\n';
        std::fwrite(line.data(), 1, static_cast<std::size_t>(p - line.data()), out);
    }
    return std::fclose(out) == 0;
}

std::int64_t bodyStart(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    for (int i = 0; i < headerLines && std::getline(in, line); ++i) {
    }
    return static_cast<std::int64_t>(in.tellg());
}

morvale::GridHeader headerOf(std::int64_t ncols, std::int64_t nrows) {
    morvale::GridHeader header;
    header.ncols = static_cast<std::int32_t>(ncols);
    header.nrows = static_cast<std::int32_t>(nrows);
    header.hasNodata = 1;
    header.nodataValue = noData;
    return header;
}

Outcome readWithBodyReader(const std::filesystem::path& path, const morvale::GridHeader& header, std::int64_t start) {
    Outcome outcome;
    const auto begin = std::chrono::steady_clock::now();
    const morvale::FileHandle file = morvale::openForReading(path);
    morvale::seekTo(file.get(), start);
    const std::atomic<bool> cancel{false};
    morvale::SilentProgress progress;
    const morvale::CropWindow window{1, 1, header.ncols, header.nrows};
    outcome.counts = morvale::readGridBody(file.get(), header, window, header.nrows, cancel, progress,
                                           [&](std::int32_t, std::int32_t, double v, bool) { outcome.sum += v; });
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return outcome;
}

// The straightforward reader: one line at a time, one istringstream per line,
// rows by counting, the whole grid as the window.
Outcome readWithStreams(const std::filesystem::path& path, const morvale::GridHeader& header, std::int64_t start) {
    Outcome outcome;
    const auto begin = std::chrono::steady_clock::now();
    std::ifstream in(path, std::ios::binary);
    in.seekg(start);
    std::string line;
    std::int64_t row = 1, col = 1;
    const double low = header.nodataValue - 0.000001, high = header.nodataValue + 0.000001;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream numbers(line);
        numbers.imbue(std::locale::classic());
        double v = 0.0;
        while (numbers >> v) {
            if (col > header.ncols) {
                if (row <= header.nrows) ++outcome.counts.rowsRead;
                col = 1;
                ++row;
            }
            if (row <= header.nrows) {
                ++outcome.counts.recordsRead;
                if (low <= v && v <= high)
                    ++outcome.counts.noDataCount;
                else
                    outcome.sum += v;
            }
            ++col;
        }
        if (col > header.ncols) {
            if (row <= header.nrows) ++outcome.counts.rowsRead;
            col = 1;
            ++row;
        }
        if (row > header.nrows) break;
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return outcome;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long peakMemoryMiB() {
#if defined(__unix__) || defined(__APPLE__)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
#else
    return -1;
#endif
}

void warmCache(const std::filesystem::path& path) {
    std::FILE* in = std::fopen(path.string().c_str(), "rb");
    if (in == nullptr) return;
    static char block[1 << 20];
    while (std::fread(block, 1, sizeof block, in) == sizeof block) {
    }
    std::fclose(in);
}

int benchOneLine(std::int64_t megabytes) {
    const std::int64_t ncols = 20000, nrows = std::max<std::int64_t>(1, megabytes * 1'000'000 / (ncols * 10));
    const auto path = std::filesystem::temp_directory_path() /
                      ("morvale-bench-body-oneline-" + std::to_string(ncols) + "x" + std::to_string(nrows) + ".asc");
    if (!std::filesystem::exists(path)) {
        std::printf("generating %s\n", path.string().c_str());
        if (!writeGrid(path, ncols, nrows, true)) return 1;
    }
    warmCache(path);
    const long before = peakMemoryMiB();
    const Outcome outcome = readWithBodyReader(path, headerOf(ncols, nrows), bodyStart(path));
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::printf(
        "one line of %.0f MB: %.3f s, %.0f MB/s, %lld records, %lld rows; peak memory %ld MiB before, %ld MiB after\n",
        mb, outcome.seconds, mb / outcome.seconds, static_cast<long long>(outcome.counts.recordsRead),
        static_cast<long long>(outcome.counts.rowsRead), before, peakMemoryMiB());
    return outcome.counts.recordsRead == ncols * nrows ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--one-line") == 0) return benchOneLine(std::atoll(argv[2]));
    const std::int64_t size = argc > 1 ? std::atoll(argv[1]) : 4000;
    if (size < 1) return 2;
    const auto path = std::filesystem::temp_directory_path() /
                      ("morvale-bench-body-" + std::to_string(size) + "x" + std::to_string(size) + ".asc");
    if (!std::filesystem::exists(path)) {
        std::printf("generating %s\n", path.string().c_str());
        if (!writeGrid(path, size, size, false)) {
            std::printf("cannot write %s\n", path.string().c_str());
            return 1;
        }
    }
    warmCache(path);
    const morvale::GridHeader header = headerOf(size, size);
    const std::int64_t start = bodyStart(path);
    const double megabytes =
        static_cast<double>(std::filesystem::file_size(path) - static_cast<std::uintmax_t>(start)) / 1e6;

    std::vector<double> fast, plain;
    Outcome a, b;
    for (int run = 0; run < 3; ++run) {
        a = readWithBodyReader(path, header, start);
        b = readWithStreams(path, header, start);
        fast.push_back(a.seconds);
        plain.push_back(b.seconds);
    }
    const bool same = a.counts.recordsRead == b.counts.recordsRead && a.counts.rowsRead == b.counts.rowsRead &&
                      a.counts.noDataCount == b.counts.noDataCount && a.sum == b.sum;
    const double fastRate = megabytes / median(fast), plainRate = megabytes / median(plain);
    std::printf("%lld x %lld grid, body %.1f MB, %lld records, %lld no-data, medians of 3 runs\n",
                static_cast<long long>(size), static_cast<long long>(size), megabytes,
                static_cast<long long>(a.counts.recordsRead), static_cast<long long>(a.counts.noDataCount));
    std::printf("readGridBody               %8.3f s  %8.1f MB/s\n", median(fast), fastRate);
    std::printf("getline + istringstream    %8.3f s  %8.1f MB/s\n", median(plain), plainRate);
    std::printf("ratio                      %8.1f x   results %s\n", fastRate / plainRate,
                same ? "identical" : "DIFFER");
    return same ? 0 : 1;
}
