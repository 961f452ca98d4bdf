#pragma once
// The cells of one tile of a set, in merged-grid coordinates: what the body
// reader would hand over for the tile's window of the merged grid, read from
// the tile's own file, with the ring around it taken from the seam index.
//
// Cells arrive in the merged grid's file order (row by row, west to east),
// ring cells interleaved where they stand, only rows up to lastRow. The counts
// are the tile's own: its rows and records checks judge its file. A ring cell
// is a border cell of whichever tile covers it; where no tile does (a hole in
// the set, or the edge of the merged grid) there is no cell, which is what a
// no-data value there would give. The merged grid is taken to hold one row
// per line, so nothing below lastRow is handed over.
//
// `ringDepth` 1 gives the one-cell ring of a crop read; 2 adds the second
// line, which vertex normals at the tile's edge need (read as the window
// widened by one cell, as for a crop). It is at most the index's depth. The
// index must hold the borders of the tiles around this one and outlive the
// source. The counts of a read are always those of the tile's own window.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "grid/cell_source.h"
#include "tiles/seam_index.h"

namespace morvale {

class TileCellSource final : public CellSource {
public:
    // `tile.window` is where the tile lies in `index.merged`.
    TileCellSource(const SetTile& tile, const SeamIndex& index, std::int32_t ringDepth = 1);

    // `window` is the tile's window in the merged grid (mergedCropWindow), or
    // that window widened by up to ringDepth - 1 cells on each side (within
    // the merged grid): the cells of `window` and of its one-cell ring are
    // handed over, inWindow against `window`.
    GridBodyCounts read(const CropWindow& window, std::int32_t lastRow, const std::atomic<bool>& cancelRequested,
                        ProgressReporter& progress, CellSink& sink) const override;

    // A raster tile whose read failed midway (GDAL's message, "" when none): nothing built from it is kept.
    bool failedMidway() const override { return !readError_.empty(); }
    const std::string& readError() const { return readError_; }

    struct RingCell {
        std::int32_t row;
        std::int32_t col;
        double value;
    };
    // The ring's data cells in file order (for tests and diagnostics).
    const std::vector<RingCell>& ring() const { return ring_; }

private:
    SetTile tile_;
    std::int32_t ringDepth_;
    std::vector<RingCell> ring_;
    mutable std::string readError_;
};

}  // namespace morvale
