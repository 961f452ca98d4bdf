#pragma once
// The grid body as a stream of bytes pushed in blocks of any size: lines,
// numbers, rows and columns by counting, the window / ring / outside zones,
// the no-data test, progress steps, the cancel flag and the stop after the
// last needed row. It holds no buffer of its own beyond one pending number
// token, so a line of any length costs fixed memory, and it does not care
// where the blocks come from (a file, a memory map, another thread).

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "base/progress_reporter.h"
#include "grid/body_window.h"
#include "grid/grid_header.h"
#include "grid/number_scan.h"

namespace morvale {

template <class OnCellValue>
class BodyScanner {
public:
    BodyScanner(const GridHeader& header, const CropWindow& window, std::int32_t lastRow,
                const std::atomic<bool>& cancelRequested, ProgressReporter& progress, OnCellValue& onCellValue) noexcept
        : ncols_(header.ncols), lastRow_(lastRow), windowXMin_(window.xMin), windowXMax_(window.xMax),
          windowYMin_(window.yMin), windowYMax_(window.yMax), ringXMin_(std::int64_t{window.xMin} - 1),
          ringXMax_(std::int64_t{window.xMax} + 1), ringYMin_(std::max<std::int64_t>(std::int64_t{window.yMin} - 1, 1)),
          ringYMax_(std::min<std::int64_t>(std::int64_t{window.yMax} + 1, header.nrows)),
          tickInterval_(static_cast<std::int32_t>(window.yMax / 20.0)), hasNodata_(header.hasNodata != 0),
          // The bounds of the no-data test, computed once exactly as the test writes them.
          nodataLow_(header.nodataValue - noDataTolerance), nodataHigh_(header.nodataValue + noDataTolerance),
          cancelRequested_(cancelRequested), progress_(progress), onCellValue_(onCellValue) {
        updateRowZone();
    }

    // Scans the next bytes of the body. False once reading is over (the last
    // needed row is done or a cancel was seen): the caller then stops feeding.
    bool feed(const char* p, const char* end) {
        if (stopped_) return false;
        if (pendingToken_) {
            while (p < end && pending_.take(*p)) ++p;
            if (p == end) return true;
            pendingToken_ = false;
            takeNumber(pending_.finish());
        }
        while (p < end) {
            if (skippingLine_) {
                const void* lineFeed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
                if (lineFeed == nullptr) return true;
                p = static_cast<const char*>(lineFeed);
                skippingLine_ = false;
            }
            const char c = *p;
            if (c == '\n') {
                ++p;
                if (!endLine()) return false;
                continue;
            }
            if (isNumberSpace(c)) {
                // A CR right before the LF is not part of the line, so "\r\n" is an empty line.
                lineState_ =
                    (c == '\r' && lineState_ == LineState::empty) ? LineState::carriageReturn : LineState::content;
                ++p;
                continue;
            }
            lineState_ = LineState::content;
            if (cancelRequested_.load(std::memory_order_relaxed)) {
                stopped_ = true;
                finishLine();
                return false;
            }
            const NumberScan scan = scanNumber(p, end, false, pending_);
            if (!scan.complete) {
                pendingToken_ = true;
                return true;
            }
            p = scan.next;
            takeNumber(scan.number);
        }
        return true;
    }

    // The end of the input (or a read error): the last token and the last line
    // without a line feed are finished.
    void finish() {
        if (stopped_) return;
        if (pendingToken_) {
            pendingToken_ = false;
            takeNumber(pending_.finish());
        }
        // A lone CR at the very end has no LF after it, so it is content.
        if (lineState_ != LineState::empty) finishLine();
        stopped_ = true;
    }

    const GridBodyCounts& counts() const noexcept { return counts_; }
    bool stopped() const noexcept { return stopped_; }

private:
    enum class LineState : std::uint8_t { empty, carriageReturn, content };

    void takeNumber(const ScannedNumber& number) {
        if (number.kind == NumberKind::invalid) {
            skippingLine_ = true;  // the rest of the line holds no numbers
            return;
        }
        if (progressCol_ >= ncols_) {
            ++progressRows_;
            progressCol_ = 1;
        }
        if (col_ > ncols_) completeRow();
        if (rowInRing_ && col_ >= ringXMin_ && col_ <= ringXMax_) {
            const bool inWindow = rowInWindow_ && col_ >= windowXMin_ && col_ <= windowXMax_;
            const double v = number.value;
            const bool noData =
                number.kind == NumberKind::noData || (hasNodata_ && nodataLow_ <= v && v <= nodataHigh_);
            if (noData) {
                if (inWindow) {
                    ++counts_.recordsRead;
                    ++counts_.noDataCount;
                }
            } else {
                // Ring and window rows and columns all lie within the grid's int32 sizes.
                onCellValue_(static_cast<std::int32_t>(row_), static_cast<std::int32_t>(col_), v, inWindow);
                if (inWindow) ++counts_.recordsRead;
            }
        }
        ++col_;
        ++progressCol_;
    }

    void completeRow() {
        if (rowInWindow_) ++counts_.rowsRead;
        col_ = 1;
        ++row_;
        updateRowZone();
    }

    void updateRowZone() {
        rowInWindow_ = row_ >= windowYMin_ && row_ <= windowYMax_;
        rowInRing_ = row_ >= ringYMin_ && row_ <= ringYMax_;
    }

    // A line feed: an empty line is passed over without any effect.
    bool endLine() {
        const bool empty = lineState_ != LineState::content;
        skippingLine_ = false;
        if (empty) {
            lineState_ = LineState::empty;
            return true;
        }
        finishLine();
        return !stopped_;
    }

    // The end of a line that held something: row completion, progress, then
    // the checks that end the reading.
    void finishLine() {
        lineState_ = LineState::empty;
        if (col_ > ncols_) completeRow();
        if (progressRows_ >= tickInterval_) {
            progressRows_ = 0;
            progress_.step();
        }
        if (cancelRequested_.load(std::memory_order_relaxed) || row_ > lastRow_) stopped_ = true;
    }

    // Grid geometry and window, widened so that edge arithmetic cannot overflow.
    std::int64_t ncols_;
    std::int64_t lastRow_;
    std::int64_t windowXMin_;
    std::int64_t windowXMax_;
    std::int64_t windowYMin_;
    std::int64_t windowYMax_;
    std::int64_t ringXMin_;
    std::int64_t ringXMax_;
    std::int64_t ringYMin_;
    std::int64_t ringYMax_;
    std::int32_t tickInterval_;
    bool hasNodata_;
    double nodataLow_;
    double nodataHigh_;
    const std::atomic<bool>& cancelRequested_;
    ProgressReporter& progress_;
    OnCellValue& onCellValue_;

    // Scan state. 64-bit so that a file of billions of numbers cannot overflow them.
    std::int64_t row_ = 1;
    std::int64_t col_ = 1;
    std::int64_t progressCol_ = 1;
    std::int64_t progressRows_ = 0;
    bool rowInWindow_ = false;
    bool rowInRing_ = false;
    GridBodyCounts counts_;

    LineState lineState_ = LineState::empty;
    bool skippingLine_ = false;
    bool pendingToken_ = false;
    bool stopped_ = false;
    NumberAccumulator pending_;
};

}  // namespace morvale
