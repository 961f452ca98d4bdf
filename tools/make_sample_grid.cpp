// morvale-make-grid: writes a deterministic, realistic terrain grid (fractal
// relief with valleys and a no-data lake) for the main job and the benchmarks.
// Only additions and multiplications are used, so every platform writes the
// same bytes.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Value at an integer lattice point, in [0, 1).
double lattice(std::int64_t x, std::int64_t y, std::uint64_t seed) {
    const std::uint64_t h =
        mix(seed ^ mix(static_cast<std::uint64_t>(x) * 0x100000001B3ull ^ static_cast<std::uint64_t>(y)));
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

double valueNoise(double x, double y, std::uint64_t seed) {
    const std::int64_t x0 = static_cast<std::int64_t>(x), y0 = static_cast<std::int64_t>(y);
    const double fx = smooth(x - x0), fy = smooth(y - y0);
    const double a = lattice(x0, y0, seed), b = lattice(x0 + 1, y0, seed);
    const double c = lattice(x0, y0 + 1, seed), d = lattice(x0 + 1, y0 + 1, seed);
    const double top = a + (b - a) * fx, bottom = c + (d - c) * fx;
    return top + (bottom - top) * fy;
}

// Fractal relief: six octaves of value noise.
double fractal(double x, double y, std::uint64_t seed) {
    double sum = 0.0, amplitude = 1.0, frequency = 1.0, norm = 0.0;
    for (int octave = 0; octave < 6; ++octave) {
        sum += valueNoise(x * frequency, y * frequency, seed + octave) * amplitude;
        norm += amplitude;
        amplitude *= 0.5;
        frequency *= 2.03;
    }
    return sum / norm;
}

// The relief bends its own coordinates (no grid-aligned streaks) and squares
// the result: broad valleys, sharp ridges.
double relief(double x, double y, std::uint64_t seed) {
    const double wx = x + 1.7 * fractal(x + 5.2, y + 1.3, seed + 101);
    const double wy = y + 1.7 * fractal(x + 9.1, y + 2.8, seed + 202);
    const double h = fractal(wx, wy, seed);
    return h * h;
}

int usage() {
    std::fputs("Usage: morvale-make-grid OUTPUT.asc [--cols N] [--rows N] [--seed S]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const char* path = argv[1];
    long cols = 320, rows = 240;
    std::uint64_t seed = 7;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--cols"))
            cols = std::strtol(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--rows"))
            rows = std::strtol(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--seed"))
            seed = std::strtoull(argv[i + 1], nullptr, 10);
        else
            return usage();
    }
    if (cols < 1 || rows < 1) return usage();

    std::FILE* out = std::fopen(path, "wb");
    if (!out) {
        std::fprintf(stderr, "morvale-make-grid: cannot create %s\n", path);
        return 1;
    }
    std::fprintf(out,
                 "ncols         %ld\nnrows         %ld\nxllcorner     512000.000000\n"
                 "yllcorner     4178000.000000\ncellsize      10.000000\nNODATA_value  -9999\n",
                 cols, rows);
    // Features scale with the grid: about eight hills across its width.
    const double scale = 5.0 / static_cast<double>(cols > rows ? cols : rows);
    const double lakeX = cols * 0.7, lakeY = rows * 0.3;
    const double lakeRx = cols * 0.08 + 1.0, lakeRy = rows * 0.06 + 1.0;
    std::vector<char> line(static_cast<std::size_t>(cols) * 24 + 2);
    for (long r = 0; r < rows; ++r) {
        char* p = line.data();
        for (long c = 0; c < cols; ++c) {
            if (c) *p++ = ' ';
            const double dx = (c - lakeX) / lakeRx, dy = (r - lakeY) / lakeRy;
            if (dx * dx + dy * dy < 1.0) {
                std::memcpy(p, "-9999", 5);
                p += 5;
                continue;
            }
            const double h = 180.0 + 3600.0 * relief(c * scale, r * scale, seed);
            p = std::to_chars(p, line.data() + line.size(), h, std::chars_format::fixed, 3).ptr;
        }
        *p++ = '\n';
        if (std::fwrite(line.data(), 1, static_cast<std::size_t>(p - line.data()), out) !=
            static_cast<std::size_t>(p - line.data())) {
            std::fclose(out);
            std::fprintf(stderr, "morvale-make-grid: write failed\n");
            return 1;
        }
    }
    if (std::fclose(out) != 0) {
        std::fprintf(stderr, "morvale-make-grid: write failed\n");
        return 1;
    }
    return 0;
}
