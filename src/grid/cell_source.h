#pragma once
// Where a conversion's body cells come from when they are not simply the
// input file read from its data start: a tile of a tile set, for example,
// whose window and ring cells come from the tile and its neighbours' borders.
// The default path (the input file) does not go through this interface, so
// the per-cell call costs nothing there.

#include <atomic>
#include <cstdint>

#include "grid/body_window.h"

namespace morvale {

class ProgressReporter;

class CellSink {
public:
    virtual ~CellSink() = default;
    // A data value (never a no-data one) of the window (inWindow) or of its one-cell ring.
    virtual void cell(std::int32_t row, std::int32_t col, double value, bool inWindow) = 0;
};

// A CellSink that hands every cell to a callable, as readGridBody's consumer
// takes them: a body reader's consumer fed from a cell source.
template <class OnCell>
class CallingCellSink final : public CellSink {
public:
    explicit CallingCellSink(OnCell& onCell) : onCell_(onCell) {}
    void cell(std::int32_t row, std::int32_t col, double value, bool inWindow) override {
        onCell_(row, col, value, inWindow);
    }

private:
    OnCell& onCell_;
};

class CellSource {
public:
    virtual ~CellSource() = default;
    // Hands over the data cells of `window` and its one-cell ring, rows
    // 1..lastRow, in row order and west to east within a row, exactly as the
    // grid body reader would; the counts are those of the window. Steps the
    // progress and honours the cancel flag as the body reader does.
    virtual GridBodyCounts read(const CropWindow& window, std::int32_t lastRow,
                                const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                CellSink& sink) const = 0;
    // True when read's counts are those of the window asked for, as the body
    // reader's are (a whole raster); false when they are always the source's
    // own (a tile's, whatever window around it is read).
    virtual bool countsTheWindowAsked() const { return false; }
    // True after a read that stopped on an error of the source (a truncated
    // file): its counts came up short, and nothing built from them is kept.
    virtual bool failedMidway() const { return false; }
};

}  // namespace morvale
