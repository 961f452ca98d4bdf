#include "tiles/grid_tiling.h"

#include <algorithm>
#include <cstdio>

namespace morvale {

namespace {

std::int32_t ceilDiv(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>((std::int64_t{a} + b - 1) / b);
}

int digits(std::int32_t value) {
    int count = 1;
    for (; value >= 10; value /= 10) ++count;
    return count;
}

}  // namespace

GridTiling tileGrid(std::int32_t ncols, std::int32_t nrows, TileSize size) {
    GridTiling tiling;
    tiling.gridCols = std::max(ncols, 1);
    tiling.gridRows = std::max(nrows, 1);
    tiling.size.cols = std::clamp(size.cols, 1, tiling.gridCols);
    tiling.size.rows = std::clamp(size.rows, 1, tiling.gridRows);
    tiling.tileCols = ceilDiv(tiling.gridCols, tiling.size.cols);
    tiling.tileRows = ceilDiv(tiling.gridRows, tiling.size.rows);
    return tiling;
}

CropWindow gridTileWindow(const GridTiling& tiling, std::int32_t row, std::int32_t col) {
    const std::int64_t x0 = std::int64_t{col - 1} * tiling.size.cols;
    const std::int64_t y0 = std::int64_t{row - 1} * tiling.size.rows;
    return {static_cast<std::int32_t>(x0 + 1), static_cast<std::int32_t>(y0 + 1),
            static_cast<std::int32_t>(std::min<std::int64_t>(x0 + tiling.size.cols, tiling.gridCols)),
            static_cast<std::int32_t>(std::min<std::int64_t>(y0 + tiling.size.rows, tiling.gridRows))};
}

std::string gridTileSuffix(const GridTiling& tiling, std::int32_t row, std::int32_t col) {
    char text[40];
    std::snprintf(text, sizeof text, "_r%0*d_c%0*d", digits(tiling.tileRows), static_cast<int>(row),
                  digits(tiling.tileCols), static_cast<int>(col));
    return text;
}

}  // namespace morvale
