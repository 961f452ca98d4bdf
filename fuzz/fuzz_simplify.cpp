// The terrain simplifier on small fuzzed grids: the first bytes give the grid
// size, the window, the error bound and the height scale; the rest give the
// cells (no-data where a byte is 0xFF). Every result must keep the error
// bound, cover exactly the data cells, turn counter-clockwise and use only
// full-mesh vertices without T-junctions (tests/unit/simplify_harness.cpp).

#include <cstdio>
#include <cstdlib>

#include "simplify_harness.h"

using namespace simplify_harness;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 7) return 0;
    CellGrid g;
    g.rows = 1 + data[0] % 48;
    g.cols = 1 + data[1] % 48;
    morvale::SimplifyWindow w;
    w.firstRow = 1 + data[2] % g.rows;
    w.firstCol = 1 + data[3] % g.cols;
    w.rows = 1 + data[4] % (g.rows - w.firstRow + 1);
    w.cols = 1 + data[5] % (g.cols - w.firstCol + 1);
    // Small bounds, zero and large ones; heights in steps of a quarter, so that
    // planes and equal heights (the awkward cases) are frequent.
    static const double bounds[8] = {0.0, 0.0, 0.25, 0.5, 1.0, 3.0, 10.0, 1e9};
    const double maxError = bounds[data[6] & 7];
    const double scale = (data[6] >> 3) & 1 ? 0.25 : 1000.25;
    std::size_t at = 7;
    for (std::int32_t i = 0; i < g.rows * g.cols; ++i) {
        const std::uint8_t byte = at < size ? data[at++] : static_cast<std::uint8_t>(i * 37);
        g.value.push_back((byte & 0x7F) * scale);
        g.data.push_back(byte != 0xFF);
    }
    const Mesh mesh = simplify(g, w, maxError);
    const std::string problem = check(g, w, maxError, mesh);
    if (!problem.empty()) {
        std::fprintf(stderr, "simplify: %s (grid %dx%d, window %d,%d %dx%d, error %g)\n", problem.c_str(), g.rows,
                     g.cols, w.firstRow, w.firstCol, w.rows, w.cols, maxError);
        std::abort();
    }
    return 0;
}
