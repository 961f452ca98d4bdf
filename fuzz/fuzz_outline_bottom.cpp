// The solid's bottom on random cell patterns: the bytes give the lattice's
// size, then one bit per cell (data or not) and one per corner (a straight-run
// corner kept or dropped); holes, islands, one-cell peninsulas and cells
// touching at a corner all come up. The triangles must close with the outline
// and cover exactly the cells' area.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>

#include "outline_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    testing_support::OutlineCase c;
    c.rows = 1 + data[0] % 24;
    c.cols = 1 + data[1] % 24;
    std::size_t bit = 16;
    const auto next = [&] {
        const std::size_t byte = bit / 8;
        const bool on = byte < size && (data[byte] >> (bit % 8)) & 1;
        ++bit;
        return on;
    };
    for (int i = 0; i < c.rows * c.cols; ++i) c.data.push_back(next());
    for (int i = 0; i < (c.rows + 1) * (c.cols + 1); ++i) c.dropCorner.push_back(next() ? 1 : 0);
    const testing_support::OutlineCheck check = testing_support::checkOutlineBottom(c);
    if (!check.ok) {
        std::fprintf(stderr, "outline bottom: %s\n", check.problem.c_str());
        std::abort();
    }
    return 0;
}
