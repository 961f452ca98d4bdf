#pragma once
// Reaching a tile's cells without reading the grid up to them: where chosen
// columns of every row start in the file, found by one pass that only looks
// at the characters, so that each tile of a grid cut by --tile-size reads
// just its window and ring, row by row from those offsets.
//
// The pass trusts a grid only when it is plain: one row per line (lines of
// white space alone are passed over, as the body reader does), exactly ncols
// numbers on each, every number a simple decimal ([+-]digits[.digits][e[+-]digits],
// at most 15 digits before the point and 2 in the exponent, so none can
// overflow) or a nan token, each followed by white space. Any other grid (a
// row over several lines, a word, a short file) is not indexed, and its
// tiles read it from the start as a crop does; on a plain grid both ways
// hand over the same cells with the same counts.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "grid/cell_source.h"
#include "grid/grid_header.h"
#include "tiles/grid_tiling.h"

namespace morvale {

struct GridCuts {
    bool plain = false;
    std::vector<std::int32_t> cols;  // ascending 1-based columns whose starts are kept
    std::int32_t firstRow = 1;       // the rows kept: firstRow..lastRow
    std::int32_t lastRow = 0;
    // Per kept row: the byte offset of each column of `cols`, then of the
    // line's end (after its line feed, or the end of the file).
    std::vector<std::int64_t> offsets;
};

// The columns a tiling's reads start and end at: each tile's window widened
// by the two-cell ring of vertex normals, and one past it.
std::vector<std::int32_t> tilingCutColumns(const GridTiling& tiling);

// One pass over the grid's body up to lastRow (and its last line's end).
GridCuts indexGridCuts(const std::filesystem::path& path, const GridHeader& header, std::vector<std::int32_t> cols,
                       std::int32_t firstRow, std::int32_t lastRow, const std::atomic<bool>& cancelRequested);

// The cells of a crop window read from the offsets of `cuts`, or from the
// grid's start when the window's rows or columns are not among them or the
// grid is not plain. `cuts` must outlive the source.
class GridCutCellSource final : public CellSource {
public:
    GridCutCellSource(const std::filesystem::path& path, const GridHeader& header, const GridCuts& cuts)
        : path_(path), header_(header), cuts_(cuts) {}
    GridBodyCounts read(const CropWindow& window, std::int32_t lastRow, const std::atomic<bool>& cancelRequested,
                        ProgressReporter& progress, CellSink& sink) const override;

private:
    std::filesystem::path path_;
    GridHeader header_;
    const GridCuts& cuts_;
};

}  // namespace morvale
