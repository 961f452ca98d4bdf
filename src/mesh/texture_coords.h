#pragma once
// Texture coordinates of grid corners: u runs 0..1 from the west to the east
// edge of an extent of cells, v 0..1 from its south to its north edge.
//
// The default extent is the whole grid, so one image of the grid's full
// extent drapes on any crop and adjacent crops continue it; the crop window
// spans 0..1 over the window instead, and a tile set can pass the extent of
// the whole set. A corner's coordinates come from its lattice indices alone
// (one division of two exact integers, correctly rounded), never from its
// output position, so every crop gives a shared corner the same bits.
//
// Lattice: corner column c is the west edge of grid column c, corner line r
// the north edge of grid row r (rows count from the north).

#include <cassert>
#include <cstdint>
#include <filesystem>

#include "grid/body_window.h"

namespace morvale {

enum class UvExtentMode : std::uint8_t {
    grid,    // the whole grid: crops continue one image (the default)
    window,  // the crop window alone
};

// What the attribute options of a conversion ask for.
struct AttributeSettings {
    bool uv = false;
    bool normals = false;
    UvExtentMode uvExtent = UvExtentMode::grid;
    std::filesystem::path texture;  // empty: no material

    // A texture needs coordinates to drape with.
    bool writesUv() const { return uv || !texture.empty(); }
};

// The cells (1-based, inclusive) that 0..1 spans.
inline CropWindow uvExtentFor(UvExtentMode mode, const CropWindow& crop, std::int32_t ncols, std::int32_t nrows) {
    return mode == UvExtentMode::window ? crop : CropWindow{1, 1, ncols, nrows};
}

inline double cornerU(const CropWindow& extent, std::int64_t c) {
    assert(extent.xMin <= extent.xMax);
    return static_cast<double>(c - extent.xMin) / static_cast<double>(std::int64_t{extent.xMax} - extent.xMin + 1);
}

inline double cornerV(const CropWindow& extent, std::int64_t r) {
    assert(extent.yMin <= extent.yMax);
    return static_cast<double>(std::int64_t{extent.yMax} + 1 - r) /
           static_cast<double>(std::int64_t{extent.yMax} - extent.yMin + 1);
}

// The four corners of cell (row, col) in the order a floating plane writes
// its vertices: top-left, top-right, bottom-right, bottom-left; u, v each.
inline void cellCornerUvs(const CropWindow& extent, std::int64_t row, std::int64_t col, double* uv) {
    const double west = cornerU(extent, col), east = cornerU(extent, col + 1);
    const double north = cornerV(extent, row), south = cornerV(extent, row + 1);
    const double corners[8] = {west, north, east, north, east, south, west, south};
    for (int k = 0; k < 8; ++k) uv[k] = corners[k];
}

}  // namespace morvale
