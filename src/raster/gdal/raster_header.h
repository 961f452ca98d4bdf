#pragma once
// A grid header from a raster's size and geotransform, as the Esri ASCII
// reader would have read it: the lower-left corner and one cell size. Only a
// north-up raster with square cells has one; the others are refused with the
// reason (the user warps them first).

#include <cstdint>
#include <string>

#include "grid/grid_header.h"

namespace morvale {

struct RasterGeometry {
    std::int64_t columns = 0;
    std::int64_t rows = 0;
    bool georeferenced = false;  // false: no geotransform at all (a plain image)
    // GDAL's geotransform: x = t[0] + col * t[1] + row * t[2], y = t[3] + col * t[4] + row * t[5].
    double transform[6] = {0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
};

enum class RasterHeaderStatus : std::uint8_t {
    ok,
    zeroSize,    // no column or no row
    tooLarge,    // more columns or rows than a grid may have
    rotated,     // rotation or shear terms
    notNorthUp,  // rows run south to north, or columns east to west, or a cell side of zero
    notSquare,   // cells wider than tall or the other way round
};

// Cell sides that differ by at most this, relative, are one size (the lattice rule of tile sets).
inline constexpr double squareCellTolerance = 1e-9;

// Fills `header` (no no-data, dataStart -1). Without georeferencing the cell
// size is 1 and the corner at the origin.
RasterHeaderStatus rasterHeader(const RasterGeometry& geometry, GridHeader& header);

// Why a raster has no header, and what to do about it, for a message after the file's name.
std::string rasterHeaderProblem(RasterHeaderStatus status, const RasterGeometry& geometry);

}  // namespace morvale
