// Reading grid bodies: rows by counting, zones, no-data, progress, cancel,
// block boundaries, bounded memory and the shared real grids.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "base/input_file.h"
#include "grid/grid_body.h"
#include "test_support.h"

// The program's heap in use and its peak, to show that a read does not grow with its input.
namespace {
std::atomic<long long> heapInUse{0}, heapPeak{0};
constexpr std::size_t heapPrefix = alignof(std::max_align_t);
void* countedAllocate(std::size_t size) noexcept {
    auto* block = static_cast<char*>(std::malloc(size + heapPrefix));
    if (block == nullptr) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    const long long now = heapInUse += static_cast<long long>(size);
    for (long long peak = heapPeak.load(); now > peak && !heapPeak.compare_exchange_weak(peak, now);) {
    }
    return block + heapPrefix;
}
void countedRelease(void* pointer) noexcept {
    if (pointer == nullptr) return;
    char* block = static_cast<char*>(pointer) - heapPrefix;
    heapInUse -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}
}  // namespace
void* operator new(std::size_t size) {
    if (void* p = countedAllocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void operator delete(void* p) noexcept { countedRelease(p); }
void operator delete[](void* p) noexcept { countedRelease(p); }
void operator delete(void* p, std::size_t) noexcept { countedRelease(p); }
void operator delete[](void* p, std::size_t) noexcept { countedRelease(p); }

namespace {

using morvale::CropWindow;
using morvale::GridHeader;

struct Cell {
    std::int32_t row, col;
    double value;
    bool inWindow;
    bool operator==(const Cell&) const = default;
};

struct BodyRead {
    std::int64_t rowsRead = 0, recordsRead = 0, noDataCount = 0;
    std::vector<Cell> cells;
    int steps = 0;
    bool operator==(const BodyRead&) const = default;
};

class CountingProgress final : public morvale::ProgressReporter {
public:
    void showPreparing() override {}
    void beginStage(std::string_view, int) override {}
    void step() override { ++steps; }
    int steps = 0;
};

GridHeader header(std::int32_t ncols, std::int32_t nrows, bool hasNodata = false, double nodata = 0.0) {
    GridHeader h;
    std::tie(h.ncols, h.nrows, h.hasNodata, h.nodataValue) = std::tuple(ncols, nrows, hasNodata ? 1 : 0, nodata);
    return h;
}

CropWindow whole(const GridHeader& h) { return {1, 1, h.ncols, h.nrows}; }

using CellHook = std::function<void(const Cell&, std::atomic<bool>&)>;

BodyRead readFile(std::FILE* file, const GridHeader& h, const CropWindow& w, std::int32_t lastRow,
                  std::size_t blockSize = morvale::gridBodyBlockSize, const CellHook& hook = {}) {
    BodyRead read;
    std::atomic<bool> cancel{false};
    CountingProgress progress;
    const auto counts = morvale::readGridBodyInBlocks(file, blockSize, h, w, lastRow, cancel, progress,
                                                      [&](std::int32_t row, std::int32_t col, double v, bool in) {
                                                          read.cells.push_back({row, col, v, in});
                                                          if (hook) hook(read.cells.back(), cancel);
                                                      });
    std::tie(read.rowsRead, read.recordsRead, read.noDataCount) =
        std::tuple(counts.rowsRead, counts.recordsRead, counts.noDataCount);
    read.steps = progress.steps;
    return read;
}

BodyRead readText(const std::string& body, const GridHeader& h, const CropWindow& w, std::int32_t lastRow,
                  std::size_t blockSize = morvale::gridBodyBlockSize, const CellHook& hook = {}) {
    testing_support::ScratchDir dir;
    testing_support::writeFile(dir / "body.asc", body);
    return readFile(morvale::openForReading(dir / "body.asc").get(), h, w, lastRow, blockSize, hook);
}

// Values row*100+col, `perLine` numbers to a line.
std::string grid(int ncols, int nrows, int perLine) {
    std::string text;
    for (int i = 0; i < ncols * nrows; ++i)
        text += std::to_string((i / ncols + 1) * 100 + i % ncols + 1) + ((i + 1) % perLine ? " " : "\n");
    return text;
}

TEST(GridBody, StopsAfterTheLastNeededRowAndStepsPerLine) {
    for (std::int32_t lastRow : {5, 6}) {
        const BodyRead read = readText(grid(4, 8, 4), header(4, 8), {2, 3, 3, 5}, lastRow);
        EXPECT_EQ(read.rowsRead, 3);
        EXPECT_EQ(read.recordsRead, 6);
        EXPECT_EQ(read.steps, lastRow);  // a window ending above row 20 steps after every line read
        EXPECT_EQ(read.cells.front().row, 2);
        EXPECT_EQ(read.cells.back().row, lastRow);
    }
    // Row 40: a step every 2 counted rows; with 2 columns a row is counted from the 2nd number on.
    EXPECT_EQ(readText(grid(2, 40, 2), header(2, 40), {1, 1, 2, 40}, 40).steps, 39);
}

TEST(GridBody, RowsAreCountedByNumbersNotByLines) {
    const GridHeader h = header(5, 6, true, 203);
    const BodyRead perRow = readText(grid(5, 6, 5), h, {2, 2, 4, 4}, 6);
    EXPECT_EQ(perRow.noDataCount, 1);
    for (int perLine : {30, 7, 3, 1}) {
        BodyRead other = readText(grid(5, 6, perLine), h, {2, 2, 4, 4}, 6);
        other.steps = perRow.steps;
        EXPECT_EQ(other, perRow) << perLine;
    }
    // Empty lines, CR LF ones included, change nothing at all; blank lines only add progress steps.
    std::string withEmpty = grid(5, 6, 5);
    for (std::size_t at = withEmpty.find('\n'); at != std::string::npos; at = withEmpty.find('\n', at + 4))
        withEmpty.insert(at + 1, "\n\r\n");
    EXPECT_EQ(readText("\n" + withEmpty, h, {2, 2, 4, 4}, 6), perRow);
    BodyRead blank = readText(" \t\n\r\r\n" + grid(5, 6, 5), h, {2, 2, 4, 4}, 6);
    EXPECT_EQ(blank.steps, perRow.steps + 2);
    blank.steps = perRow.steps;
    EXPECT_EQ(blank, perRow);
}

TEST(GridBody, NoDataCellsAreCountedButNeverPassedOn) {
    const BodyRead read =
        readText("-1 -1.0000009 -0.9999995 -1.01 -0.99 0\n", header(6, 1, true, -1), whole(header(6, 1)), 1);
    EXPECT_EQ(read.recordsRead, 6);
    EXPECT_EQ(read.noDataCount, 3);  // the bounds are inclusive
    EXPECT_EQ(read.cells, (std::vector<Cell>{{1, 4, -1.01, true}, {1, 5, -0.99, true}, {1, 6, 0.0, true}}));

    const BodyRead zeros = readText("0 0.0 -0\n", header(3, 1), whole(header(3, 1)), 1);
    EXPECT_EQ(zeros.noDataCount, 0);  // no NODATA line: every number is data
    ASSERT_EQ(zeros.cells.size(), 3u);
    EXPECT_TRUE(std::signbit(zeros.cells[2].value));

    for (bool hasNodata : {false, true}) {  // nan tokens, with or without a (nan) no-data value
        const GridHeader h = header(3, 3, hasNodata, std::numeric_limits<double>::quiet_NaN());
        const BodyRead nans = readText("nan 1 2\n3 -NaN 5\n6 7 NAN", h, {1, 1, 3, 2}, 3);
        EXPECT_EQ(nans.recordsRead, 6);
        EXPECT_EQ(nans.noDataCount, 2);
        EXPECT_EQ(nans.cells.size(), 6u);  // 4 in the window, 2 of the ring row whose nan is dropped
    }
}

TEST(GridBody, RingCellsArePassedAndOutsideCellsNever) {
    std::string oneLine = grid(6, 6, 36);
    oneLine.back() = ' ';
    oneLine += "9 9 9 9 9 9 9\n";  // past the last grid row: outside every zone
    for (const CropWindow& w : {CropWindow{2, 3, 3, 4}, CropWindow{1, 1, 2, 2}, CropWindow{5, 6, 6, 6}}) {
        const BodyRead read = readText(oneLine, header(6, 6), w, 6);
        std::vector<Cell> expected;
        for (int r = std::max(1, w.yMin - 1); r <= std::min(6, w.yMax + 1); ++r)
            for (int c = std::max(1, w.xMin - 1); c <= std::min(6, w.xMax + 1); ++c)
                expected.push_back({r, c, r * 100.0 + c, r >= w.yMin && r <= w.yMax && c >= w.xMin && c <= w.xMax});
        EXPECT_EQ(read.cells, expected);
        EXPECT_EQ(read.recordsRead, (w.xMax - w.xMin + 1) * (w.yMax - w.yMin + 1));
        EXPECT_EQ(read.rowsRead, w.yMax - w.yMin + 1);
    }
}

TEST(GridBody, CancelStopsAtTheNextNumber) {
    const CellHook cancelAt22 = [](const Cell& cell, std::atomic<bool>& cancel) {
        if (cell.row == 2 && cell.col == 2) cancel.store(true);
    };
    const GridHeader h = header(4, 4);
    const BodyRead perRow = readText(grid(4, 4, 4), h, whole(h), 4, morvale::gridBodyBlockSize, cancelAt22);
    EXPECT_EQ(perRow.cells.size(), 6u);
    EXPECT_EQ(perRow.recordsRead, 6);
    EXPECT_EQ(perRow.rowsRead, 1);
    EXPECT_EQ(perRow.steps, 2);  // the interrupted line still ends with its progress step
    const BodyRead oneLine = readText(grid(4, 4, 16), h, whole(h), 4, morvale::gridBodyBlockSize, cancelAt22);
    EXPECT_EQ(oneLine.cells.size(), 6u);
    EXPECT_EQ(oneLine.steps, 1);
}

TEST(GridBody, BlockBoundariesChangeNothing) {
    const char* const tokens[] = {"1234.5678",
                                  "-0.25e+2",
                                  "nan",
                                  "7.",
                                  ".5E-1",
                                  "-9999",
                                  "0.000000000000000000000000000000000000000000000123456789012345678901234567e45"};
    std::string body;
    for (int i = 0; i < 600; ++i)
        body += std::string(tokens[i % 7]) + (i % 11 == 0 ? "\r\n" : i % 17 == 0 ? "\n\r\n" : i % 5 ? " " : "\t");
    body += "1e 5 6\n4";
    const GridHeader h = header(13, 50, true, -9999);
    const BodyRead expected = readText(body, h, {3, 2, 10, 40}, 41);
    EXPECT_GT(expected.cells.size(), 250u);
    for (std::size_t block : {1, 2, 3, 5, 64, 1000})
        EXPECT_EQ(readText(body, h, {3, 2, 10, 40}, 41, block), expected) << "block " << block;
}

TEST(GridBody, OneHugeLineReadsInBoundedMemory) {
    testing_support::ScratchDir dir;
    std::FILE* out = std::fopen((dir / "line.asc").string().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fprintf(out, "0.%s ", std::string(100000, '7').c_str());  // a number of 100 000 digits
    for (int i = 1; i < 3'000'000; ++i) std::fprintf(out, "%d.%04d ", i % 2000, i % 10000);
    std::fclose(out);
    const GridHeader h = header(1000, 3000);
    const long long before = heapInUse.load();
    heapPeak.store(before);
    const BodyRead read = readFile(morvale::openForReading(dir / "line.asc").get(), h, {1, 2999, 2, 3000}, 3000);
    EXPECT_LT(heapPeak.load() - before, 1'200'000);  // the read block; nothing per line or number
    EXPECT_EQ(read.rowsRead, 2);
    EXPECT_EQ(read.recordsRead, 4);
    ASSERT_EQ(read.cells.size(), 9u);
    EXPECT_EQ(read.cells.back(), (Cell{3000, 3, 1002.9002, false}));  // number 2 999 003
}

TEST(GridBody, UnreadableStreamsGiveZeroCounts) {
    const GridHeader h = header(2, 2);
    EXPECT_EQ(readFile(nullptr, h, whole(h), 2), BodyRead{});
    testing_support::ScratchDir dir;
    testing_support::writeFile(dir / "g.asc", "1 2\n3 4\n");
    std::FILE* writeOnly = std::fopen((dir / "g.asc").string().c_str(), "ab");
    ASSERT_NE(writeOnly, nullptr);
    EXPECT_EQ(readFile(writeOnly, h, whole(h), 2), BodyRead{});
    std::fclose(writeOnly);
}

// Shared real grids positioned after their keyword lines: counts and sums from the corpus oracle.
TEST(GridBody, RealGridsReadCompletely) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::tuple<const char*, GridHeader, long long, double, int> cases[] = {
        {"ava_slideTopo.asc", header(419, 201, true, -9999), 0, 100981706.55, 20},
        {"landlab_hugo_site.asc", header(76, 55, true, -9999), 2028, 3635955, 27},
        {"flopy_freyberg_top.asc", header(20, 40, true, 0.0), 95, 15967.6656, 20},
        {"gdal_pixel_per_line.asc", header(15, 12, true, -99999), 0, 62487.71, 180},  // CR LF, empty lines
        {"gdal_nodata_nan.asc", header(3, 2, true, nan), 1, 5, 2},
        {"richdem_pit.asc", header(10, 6, true, -9999), 0, 235, 6},  // no final line feed
        {"ava_testRel2_noeol.asc", header(20, 22, true, -9999), 0, 26, 22},
    };
    for (const auto& [name, h, noData, sum, steps] : cases) {
        const std::string text = testing_support::readFile(testing_support::sharedGrid(name));
        std::size_t start = 0;
        for (std::size_t first = 0;
             std::isalpha(static_cast<unsigned char>(text[first])) && text.compare(first, 3, "nan") != 0;
             first = text.find_first_not_of(" \t", start))
            start = text.find('\n', start) + 1;
        const morvale::FileHandle file = morvale::openForReading(testing_support::sharedGrid(name));
        ASSERT_TRUE(morvale::seekTo(file.get(), static_cast<std::int64_t>(start))) << name;
        const BodyRead read = readFile(file.get(), h, whole(h), h.nrows);
        double total = 0.0;
        for (const Cell& cell : read.cells) total += cell.value;
        EXPECT_EQ(read.recordsRead, std::int64_t{h.ncols} * h.nrows) << name;
        EXPECT_EQ(read.rowsRead, h.nrows) << name;
        EXPECT_EQ(read.noDataCount, noData) << name;
        EXPECT_NEAR(total, sum, 1e-9 * std::abs(sum)) << name;
        EXPECT_EQ(read.steps, steps) << name;
    }
}

}  // namespace
