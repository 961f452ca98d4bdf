#pragma once
// One large grid cut into a set of tiles (--tile-size): tiles of N x M cells
// from the north-west corner, the last column and row of tiles taking what is
// left. Each tile is converted as a crop window of the whole grid, so its
// placement, texture coordinates and border means are those of the whole
// grid's mesh, and neighbours share their border vertices bit for bit without
// a seam index: the input itself is the merged grid.
//
// Tiles are numbered from 1, rows from the north and columns from the west,
// and named NAME_rROW_cCOL with both numbers zero-padded to the widest in the
// set, so that the names sort in reading order.

#include <cstdint>
#include <string>

#include "grid/body_window.h"
#include "grid/grid_header.h"

namespace morvale {

struct TileSize {
    std::int32_t cols = 0;  // N: cells across
    std::int32_t rows = 0;  // M: cells down
};

struct GridTiling {
    TileSize size;  // as asked, but never larger than the grid
    std::int32_t tileCols = 0;
    std::int32_t tileRows = 0;
    std::int32_t gridCols = 0;
    std::int32_t gridRows = 0;
};

// The tiling of a grid of ncols x nrows cells; sizes must be at least 1.
GridTiling tileGrid(std::int32_t ncols, std::int32_t nrows, TileSize size);

// The crop window (1-based, of the whole grid) of tile (row, col), both 1-based.
CropWindow gridTileWindow(const GridTiling& tiling, std::int32_t row, std::int32_t col);

// "_r03_c12": what the tile adds to the input's base name.
std::string gridTileSuffix(const GridTiling& tiling, std::int32_t row, std::int32_t col);

}  // namespace morvale
