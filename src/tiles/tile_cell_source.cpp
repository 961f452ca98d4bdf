#include "tiles/tile_cell_source.h"

#include <algorithm>
#include <cassert>

#include "tiles/tile_body.h"

namespace morvale {

namespace {

struct Box {
    std::int64_t top, bottom, left, right;  // 1-based, inclusive, merged grid
};

bool covers(const TileWindow& w, std::int64_t row, std::int64_t col) {
    return row > w.rowOffset && row <= std::int64_t{w.rowOffset} + w.nrows && col > w.colOffset &&
           col <= std::int64_t{w.colOffset} + w.ncols;
}

}  // namespace

TileCellSource::TileCellSource(const SetTile& tile, const SeamIndex& index, std::int32_t ringDepth)
    : tile_(tile), ringDepth_(ringDepth) {
    assert(ringDepth >= 1 && ringDepth <= index.depth);
    const TileWindow& w = tile.window;
    const GridHeader& m = index.merged;
    const Box ring{std::max<std::int64_t>(std::int64_t{w.rowOffset} + 1 - ringDepth, 1),
                   std::min<std::int64_t>(std::int64_t{w.rowOffset} + w.nrows + ringDepth, m.nrows),
                   std::max<std::int64_t>(std::int64_t{w.colOffset} + 1 - ringDepth, 1),
                   std::min<std::int64_t>(std::int64_t{w.colOffset} + w.ncols + ringDepth, m.ncols)};

    // Only the tiles that reach into the ring's box can hold its cells.
    std::vector<const SeamTile*> around;
    for (const SeamTile& other : index.tiles) {
        const TileWindow& o = other.window;
        if (o == w) continue;
        if (o.rowOffset < ring.bottom && std::int64_t{o.rowOffset} + o.nrows >= ring.top && o.colOffset < ring.right &&
            std::int64_t{o.colOffset} + o.ncols >= ring.left) {
            // A neighbour whose border was not loaded (an index read near another tile) has no cells to give.
            assert(!other.border.empty());
            if (!other.border.empty()) around.push_back(&other);
        }
    }

    for (std::int64_t row = ring.top; row <= ring.bottom; ++row) {
        for (std::int64_t col = ring.left; col <= ring.right; ++col) {
            if (covers(w, row, col)) {
                col = std::int64_t{w.colOffset} + w.ncols;  // skip the tile's own cells of this row
                continue;
            }
            for (const SeamTile* other : around) {
                const TileWindow& o = other->window;
                if (!covers(o, row, col)) continue;
                const std::int64_t slot = borderSlot(o, index.depth, static_cast<std::int32_t>(row - 1 - o.rowOffset),
                                                     static_cast<std::int32_t>(col - 1 - o.colOffset));
                // A ring cell lies within ringDepth of the other tile's edge, so it is stored.
                assert(slot >= 0);
                const double value = other->border[static_cast<std::size_t>(slot)];
                if (!isSeamNoData(value))
                    ring_.push_back({static_cast<std::int32_t>(row), static_cast<std::int32_t>(col), value});
                break;
            }
        }
    }
}

GridBodyCounts TileCellSource::read(const CropWindow& window, std::int32_t lastRow,
                                    const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                    CellSink& sink) const {
    readError_.clear();
    const TileWindow& w = tile_.window;
    const CropWindow own = mergedCropWindow(w);
    // The tile's window, or one widened within the ring (the wide read of normals).
    const std::int64_t wider = ringDepth_ - 1;
    assert(window.xMin <= own.xMin && window.yMin <= own.yMin && window.xMax >= own.xMax && window.yMax >= own.yMax);
    assert(own.xMin - window.xMin <= wider && own.yMin - window.yMin <= wider && window.xMax - own.xMax <= wider &&
           window.yMax - own.yMax <= wider);
    (void)own;
    (void)wider;

    // Ring cells go out just before the first tile cell that follows them in file
    // order, those beyond the window's own one-cell ring left out.
    const std::int64_t top = std::int64_t{window.yMin} - 1, left = std::int64_t{window.xMin} - 1;
    const std::int64_t bottom = std::int64_t{window.yMax} + 1, right = std::int64_t{window.xMax} + 1;
    std::size_t next = 0;
    auto ringUpTo = [&](std::int64_t row, std::int64_t col) {
        for (; next < ring_.size() && (ring_[next].row < row || (ring_[next].row == row && ring_[next].col < col));
             ++next) {
            const RingCell& c = ring_[next];
            if (c.row < top || c.row > bottom || c.col < left || c.col > right) continue;
            const bool inWindow =
                c.row >= window.yMin && c.row <= window.yMax && c.col >= window.xMin && c.col <= window.xMax;
            sink.cell(c.row, c.col, c.value, inWindow);
        }
    };

    GridBodyCounts counts;
    {
        const CropWindow whole{1, 1, w.ncols, w.nrows};
        const std::int64_t tileLastRow = std::min<std::int64_t>(std::int64_t{lastRow} - w.rowOffset, w.nrows);
        auto pass = [&](std::int32_t row, std::int32_t col, double value, bool) {
            const std::int32_t mergedRow = row + w.rowOffset;
            const std::int32_t mergedCol = col + w.colOffset;
            ringUpTo(mergedRow, mergedCol);
            sink.cell(mergedRow, mergedCol, value, true);
        };
        bool opened = false;
        if (tileLastRow >= 1)
            counts = readTileBody(tile_.path, tile_.header, whole, static_cast<std::int32_t>(tileLastRow),
                                  cancelRequested, progress, pass, opened, readError_);
    }
    // The ring east of the last rows and the rows below the tile, up to lastRow.
    if (!cancelRequested.load(std::memory_order_relaxed)) ringUpTo(std::int64_t{lastRow} + 1, 0);
    return counts;
}

}  // namespace morvale
