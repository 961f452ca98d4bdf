// The body reader over arbitrary bytes and a small crop window. A grid whose
// header reads well is read from its dataStart; any other input is read as a
// body behind a small header made from its first bytes. The same body read in
// one large block and in tiny blocks must give the same cells and counts, and
// every cell handed out must lie in the window or its ring, once, in order.

#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/input_file.h"
#include "fuzz_support.h"
#include "grid/grid_body.h"

using namespace morvale;
using namespace morvale_fuzz;

namespace {

struct Cell {
    std::int32_t row;
    std::int32_t col;
    double value;
    bool inWindow;
    bool operator==(const Cell& o) const {
        return row == o.row && col == o.col && std::memcmp(&value, &o.value, sizeof value) == 0 &&
               inWindow == o.inWindow;
    }
};

class CountingProgress final : public ProgressReporter {
public:
    void showPreparing() override {}
    void beginStage(std::string_view, int) override {}
    void step() override { ++steps; }
    long steps = 0;
};

struct BodyRead {
    std::vector<Cell> cells;
    GridBodyCounts counts;
    long steps = 0;
};

// One edge of the window: near the grid's start, or near its far end when the
// grid is large, so that edge arithmetic close to the 32-bit limit is exercised.
void chooseSpan(TailBytes& knobs, std::int32_t size, std::int32_t& low, std::int32_t& high) {
    const bool atFarEnd = knobs.flag();
    const std::int32_t width = 1 + static_cast<std::int32_t>(knobs.below(6));
    const std::int32_t offset = static_cast<std::int32_t>(knobs.below(8));
    std::int64_t first = atFarEnd ? std::int64_t{size} - offset - width + 1 : 1 + offset;
    if (first < 1) first = 1;
    if (first > size) first = size;
    std::int64_t last = first + width - 1;
    if (last > size) last = size;
    low = static_cast<std::int32_t>(first);
    high = static_cast<std::int32_t>(last);
}

BodyRead readBody(const std::filesystem::path& path, std::int64_t start, std::size_t blockSize,
                  const GridHeader& header, const CropWindow& window, std::int32_t lastRow,
                  std::size_t cancelAfterCells) {
    BodyRead read;
    const FileHandle file = openForReading(path);
    FUZZ_CHECK(file != nullptr);
    if (!seekTo(file.get(), start)) return read;
    std::atomic<bool> cancel{false};
    CountingProgress progress;
    const std::int64_t ringYMin = std::max<std::int64_t>(std::int64_t{window.yMin} - 1, 1);
    const std::int64_t ringYMax = std::min<std::int64_t>(std::int64_t{window.yMax} + 1, header.nrows);
    read.counts = readGridBodyInBlocks(
        file.get(), blockSize, header, window, lastRow, cancel, progress,
        [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
            // Nothing is handed out once the cancel flag is up.
            FUZZ_CHECK(!cancel.load());
            // Rows past lastRow that share its last line still reach the ring.
            FUZZ_CHECK(row >= ringYMin && row <= ringYMax);
            FUZZ_CHECK(col >= 1 && col <= header.ncols);
            FUZZ_CHECK(std::int64_t{col} >= std::int64_t{window.xMin} - 1 &&
                       std::int64_t{col} <= std::int64_t{window.xMax} + 1);
            FUZZ_CHECK(inWindow ==
                       (row >= window.yMin && row <= window.yMax && col >= window.xMin && col <= window.xMax));
            FUZZ_CHECK(std::isfinite(value));
            if (header.hasNodata)
                FUZZ_CHECK(!(header.nodataValue - 0.000001 <= value && value <= header.nodataValue + 0.000001));
            if (!read.cells.empty()) {
                const Cell& before = read.cells.back();
                FUZZ_CHECK(row > before.row || (row == before.row && col > before.col));
            }
            read.cells.push_back({row, col, value, inWindow});
            if (read.cells.size() == cancelAfterCells) cancel.store(true);
        });
    read.steps = progress.steps;
    return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path grid = scratchFolder() / "body.asc";
    writeBytes(grid, data, size);
    GridHeader header;
    std::int64_t start = 0;
    if (readGridHeader(grid, header) == gridHeaderOk) {
        start = header.dataStart;
    } else {
        header = GridHeader{};
        header.ncols = 1 + (size > 0 ? data[0] % 9 : 0);
        header.nrows = 1 + (size > 1 ? data[1] % 9 : 0);
        header.hasNodata = size > 2 && (data[2] & 1) != 0;
        header.nodataValue = size > 2 && (data[2] & 2) != 0 ? 0.0 : -9999.0;
        start = 0;
    }

    TailBytes knobs(data, size);
    CropWindow window;
    chooseSpan(knobs, header.ncols, window.xMin, window.xMax);
    chooseSpan(knobs, header.nrows, window.yMin, window.yMax);
    // The builders read to the window's last row, or one row further for the ring.
    const std::int32_t lastRow = knobs.flag() && window.yMax < header.nrows ? window.yMax + 1 : window.yMax;
    const std::size_t cancelAfter = knobs.below(4) == 0 ? 1 + knobs.below(16) : 0;
    const std::size_t smallBlock = 1 + knobs.below(13);

    const BodyRead whole = readBody(grid, start, gridBodyBlockSize, header, window, lastRow, cancelAfter);
    const BodyRead pieces = readBody(grid, start, smallBlock, header, window, lastRow, cancelAfter);
    FUZZ_CHECK(whole.cells == pieces.cells);
    FUZZ_CHECK(whole.counts.rowsRead == pieces.counts.rowsRead);
    FUZZ_CHECK(whole.counts.recordsRead == pieces.counts.recordsRead);
    FUZZ_CHECK(whole.counts.noDataCount == pieces.counts.noDataCount);
    FUZZ_CHECK(whole.steps == pieces.steps);

    const GridBodyCounts& c = whole.counts;
    const std::int64_t windowRows = std::int64_t{window.yMax} - window.yMin + 1;
    const std::int64_t windowCols = std::int64_t{window.xMax} - window.xMin + 1;
    std::int64_t windowCells = 0;
    for (const Cell& cell : whole.cells) windowCells += cell.inWindow;
    FUZZ_CHECK(c.rowsRead >= 0 && c.rowsRead <= windowRows);
    FUZZ_CHECK(c.noDataCount >= 0 && c.recordsRead <= windowRows * windowCols);
    FUZZ_CHECK(c.recordsRead - c.noDataCount == windowCells);
    return 0;
}
