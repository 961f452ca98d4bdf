#pragma once
// The solid's bottom checked on cell patterns: the outline of the data cells
// of a small lattice (optionally with straight-run corners dropped, as the
// simplifier's line rule drops them) is triangulated, and the triangles must
// cover exactly the cells' area, each with a positive area, and together
// with the outline edges make every edge meet its reverse once: no gap, no
// overlap, no T-junction.

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct OutlineCase {
    int rows = 0;
    int cols = 0;
    std::vector<bool> data;                // rows * cols, row by row from the north
    std::vector<std::uint8_t> dropCorner;  // (rows + 1) * (cols + 1): non-zero drops a straight-run corner
};

struct OutlineCheck {
    bool ok = true;
    std::string problem;
    std::int64_t outlineEdges = 0;
    std::int64_t triangles = 0;
};

OutlineCheck checkOutlineBottom(const OutlineCase& c);

}  // namespace testing_support
