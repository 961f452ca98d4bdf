#pragma once
// Reading two cells around a crop window with the one-cell-ring body reader.
//
// Vertex normals on a window's edge need the corners just outside it, whose
// means reach two cells beyond the window. The body reader hands over one
// ring; read for the window widened by one cell (kept inside the grid), it
// hands over two. The consumer wrapper then restores what a read of the crop
// window itself gives: `inWindow` against the crop window, and only the cells
// of its one-cell ring to the builder's own consumer, every cell to the wide
// one. cropCounts turns the counts of the wide read into the crop window's:
// numbers are read in file order, so the numbers read in any sub-window follow
// from those read in the wider one, and the no-data values from the data
// cells the wrapper saw.
//
// The one visible difference: the reader's progress steps follow the wider
// window's last row (one row later, at most one step more).

#include <algorithm>
#include <cstdint>

#include "grid/body_window.h"

namespace morvale {

// The window to read: one cell wider on every side, within the grid.
inline CropWindow wideReadingWindow(const CropWindow& crop, std::int32_t ncols, std::int32_t nrows) {
    return {std::max(crop.xMin - 1, 1), std::max(crop.yMin - 1, 1), std::min(crop.xMax, ncols - 1) + 1,
            std::min(crop.yMax, nrows - 1) + 1};
}

// The last row to read: the row below the wide window, within the grid.
inline std::int32_t wideLastRow(const CropWindow& reading, std::int32_t nrows) {
    return reading.yMax < nrows ? reading.yMax + 1 : nrows;
}

// The crop window's counts from those of a read of `reading` (which contains
// it) and the number of data cells of the crop window handed over.
GridBodyCounts cropCounts(const GridBodyCounts& wide, const CropWindow& reading, const CropWindow& crop,
                          std::int64_t cropDataCells);

// Consumer of a wide read: passes the crop window and its one-cell ring to
// `ring(row, col, value, inWindow)`, exactly as a read of the crop window
// would, and every cell to `all(row, col, value)`.
template <class Ring, class All>
class WideCells {
public:
    WideCells(const CropWindow& crop, Ring& ring, All& all) : crop_(crop), ring_(ring), all_(all) {}

    void operator()(std::int32_t row, std::int32_t col, double value, bool) {
        all_(row, col, value);
        const std::int64_t r = row, c = col;
        if (r < crop_.yMin - 1LL || r > crop_.yMax + 1LL || c < crop_.xMin - 1LL || c > crop_.xMax + 1LL) return;
        const bool inWindow = r >= crop_.yMin && r <= crop_.yMax && c >= crop_.xMin && c <= crop_.xMax;
        cropDataCells_ += inWindow;
        ring_(row, col, value, inWindow);
    }

    std::int64_t cropDataCells() const { return cropDataCells_; }

private:
    CropWindow crop_;
    Ring& ring_;
    All& all_;
    std::int64_t cropDataCells_ = 0;
};

}  // namespace morvale
