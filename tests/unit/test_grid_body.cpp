// Reading grid bodies: rows by counting, zones, no-data, progress, cancel,
// block boundaries, bounded memory and real grids.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "grid/grid_body.h"
#include "grid/input_file.h"
#include "test_support.h"

// Heap use of the whole test program, so that a read can be shown not to grow with its input.
namespace {
std::atomic<long long> heapInUse{0};
std::atomic<long long> heapPeak{0};
constexpr std::size_t heapPrefix = alignof(std::max_align_t);

void* countedAllocate(std::size_t size) noexcept {
    auto* block = static_cast<char*>(std::malloc(size + heapPrefix));
    if (block == nullptr) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    const long long now = heapInUse += static_cast<long long>(size);
    long long peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {}
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
using morvale::GridBodyCounts;
using morvale::GridHeader;

struct Cell {
    std::int32_t row;
    std::int32_t col;
    double value;
    bool inWindow;
    bool operator==(const Cell&) const = default;
};

struct BodyRead {
    GridBodyCounts counts;
    std::vector<Cell> cells;
    int steps = 0;
    bool operator==(const BodyRead& other) const {
        return counts.rowsRead == other.counts.rowsRead && counts.recordsRead == other.counts.recordsRead &&
               counts.noDataCount == other.counts.noDataCount && cells == other.cells && steps == other.steps;
    }
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
    h.ncols = ncols;
    h.nrows = nrows;
    h.hasNodata = hasNodata ? 1 : 0;
    h.nodataValue = nodata;
    return h;
}

CropWindow whole(const GridHeader& h) { return {1, 1, h.ncols, h.nrows}; }

using CellHook = std::function<void(const Cell&, std::atomic<bool>&)>;

BodyRead readFile(std::FILE* file, const GridHeader& h, const CropWindow& w, std::int32_t lastRow,
                  std::size_t blockSize = morvale::gridBodyBlockSize, const CellHook& hook = {}) {
    BodyRead read;
    std::atomic<bool> cancel{false};
    CountingProgress progress;
    read.counts = morvale::readGridBodyInBlocks(file, blockSize, h, w, lastRow, cancel, progress,
                                                [&](std::int32_t row, std::int32_t col, double v, bool inWindow) {
                                                    read.cells.push_back({row, col, v, inWindow});
                                                    if (hook) hook(read.cells.back(), cancel);
                                                });
    read.steps = progress.steps;
    return read;
}

BodyRead readText(const std::string& body, const GridHeader& h, const CropWindow& w, std::int32_t lastRow,
                  std::size_t blockSize = morvale::gridBodyBlockSize, const CellHook& hook = {}) {
    testing_support::ScratchDir dir;
    testing_support::writeFile(dir / "body.asc", body);
    const morvale::FileHandle file = morvale::openForReading(dir / "body.asc");
    return readFile(file.get(), h, w, lastRow, blockSize, hook);
}

// Values row*100+col, `perLine` numbers to a line.
std::string grid(int ncols, int nrows, int perLine, const char* lineEnd = "\n") {
    std::string text;
    int onLine = 0;
    for (int r = 1; r <= nrows; ++r)
        for (int c = 1; c <= ncols; ++c) {
            text += std::to_string(r * 100 + c);
            text += ++onLine == perLine ? (onLine = 0, lineEnd) : " ";
        }
    return text;
}

TEST(GridBody, StopsAfterTheLastNeededRow) {
    const GridHeader h = header(4, 8);
    const CropWindow w{2, 3, 3, 5};
    for (std::int32_t lastRow : {5, 6}) {
        const BodyRead read = readText(grid(4, 8, 4), h, w, lastRow);
        EXPECT_EQ(read.counts.rowsRead, 3);
        EXPECT_EQ(read.counts.recordsRead, 6);
        EXPECT_EQ(read.steps, lastRow);  // one step per line read: nothing after row lastRow
        EXPECT_EQ(read.cells.back().row, lastRow);
        EXPECT_EQ(read.cells.front().row, 2);
    }
}

TEST(GridBody, RowsAreCountedByNumbersNotByLines) {
    const GridHeader h = header(5, 6, true, 203);
    const CropWindow w{2, 2, 4, 4};
    const BodyRead perRow = readText(grid(5, 6, 5), h, w, 6);
    EXPECT_EQ(perRow.counts.noDataCount, 1);
    for (int perLine : {30, 7, 3, 1}) {
        const BodyRead other = readText(grid(5, 6, perLine), h, w, 6);
        EXPECT_EQ(other.cells, perRow.cells) << perLine;
        EXPECT_EQ(other.counts.recordsRead, perRow.counts.recordsRead);
        EXPECT_EQ(other.counts.rowsRead, perRow.counts.rowsRead);
    }
    // Empty lines, CR LF ones included, change nothing at all; blank lines only add progress steps.
    std::string withEmpty = grid(5, 6, 5), withBlank = withEmpty;
    for (std::size_t at = withEmpty.find('\n'); at != std::string::npos; at = withEmpty.find('\n', at + 4))
        withEmpty.insert(at + 1, "\n\r\n");
    EXPECT_EQ(readText("\n" + withEmpty, h, w, 6), perRow);
    withBlank.insert(0, " \t\n\r\r\n");
    const BodyRead blank = readText(withBlank, h, w, 6);
    EXPECT_EQ(blank.cells, perRow.cells);
    EXPECT_EQ(blank.steps, perRow.steps + 2);
}

TEST(GridBody, NoDataTestUsesInclusiveBoundsOnlyWithANoDataLine) {
    const std::string body = "-1 -1.0000009 -0.9999995 -1.01 -0.99 0\n";
    const BodyRead read = readText(body, header(6, 1, true, -1), whole(header(6, 1)), 1);
    EXPECT_EQ(read.counts.recordsRead, 6);
    EXPECT_EQ(read.counts.noDataCount, 3);
    ASSERT_EQ(read.cells.size(), 3u);
    EXPECT_EQ(read.cells[0].value, -1.01);
    EXPECT_EQ(read.cells[1].value, -0.99);

    const BodyRead zeros = readText("0 0.0 -0\n", header(3, 1), whole(header(3, 1)), 1);
    EXPECT_EQ(zeros.counts.noDataCount, 0);
    EXPECT_EQ(zeros.cells.size(), 3u);
    EXPECT_TRUE(std::signbit(zeros.cells[2].value));
}

TEST(GridBody, NanTokensAreNoDataCellsWithOrWithoutANoDataLine) {
    for (bool hasNodata : {false, true}) {
        const GridHeader h = header(3, 3, hasNodata, std::numeric_limits<double>::quiet_NaN());
        const BodyRead read = readText("nan 1 2\n3 -NaN 5\n6 7 NAN", h, {1, 1, 3, 2}, 3);
        EXPECT_EQ(read.counts.recordsRead, 6);
        EXPECT_EQ(read.counts.noDataCount, 2);
        EXPECT_EQ(read.cells.size(), 6u);  // 4 in the window, 2 of the ring row; the ring's nan is dropped
    }
}

TEST(GridBody, RingCellsArePassedAndOutsideCellsNever) {
    const GridHeader h = header(6, 6);
    const CropWindow windows[] = {{2, 3, 3, 4}, {1, 1, 2, 2}, {5, 6, 6, 6}};
    for (const CropWindow& w : windows) {
        // Numbers past the last grid row lie outside every zone.
        const BodyRead read = readText(grid(6, 6, 36) + "9 9 9 9 9 9 9\n", h, w, 6);
        std::vector<Cell> expected;
        for (int r = std::max(1, w.yMin - 1); r <= std::min(6, w.yMax + 1); ++r)
            for (int c = std::max(1, w.xMin - 1); c <= std::min(6, w.xMax + 1); ++c)
                expected.push_back({r, c, r * 100.0 + c, r >= w.yMin && r <= w.yMax && c >= w.xMin && c <= w.xMax});
        EXPECT_EQ(read.cells, expected);
        EXPECT_EQ(read.counts.recordsRead, (w.xMax - w.xMin + 1) * (w.yMax - w.yMin + 1));
        EXPECT_EQ(read.counts.rowsRead, w.yMax - w.yMin + 1);
    }
}

TEST(GridBody, CancelStopsAtTheNextNumber) {
    const GridHeader h = header(4, 4);
    const CellHook cancelAt22 = [](const Cell& cell, std::atomic<bool>& cancel) {
        if (cell.row == 2 && cell.col == 2) cancel.store(true);
    };
    const BodyRead perRow = readText(grid(4, 4, 4), h, whole(h), 4, morvale::gridBodyBlockSize, cancelAt22);
    EXPECT_EQ(perRow.cells.size(), 6u);
    EXPECT_EQ(perRow.counts.recordsRead, 6);
    EXPECT_EQ(perRow.counts.rowsRead, 1);
    EXPECT_EQ(perRow.steps, 2);  // the interrupted line still ends with its progress step
    const BodyRead oneLine = readText(grid(4, 4, 16), h, whole(h), 4, morvale::gridBodyBlockSize, cancelAt22);
    EXPECT_EQ(oneLine.cells.size(), 6u);
    EXPECT_EQ(oneLine.steps, 1);
}

TEST(GridBody, ProgressStepsFollowTheTickInterval) {
    // Windows ending above row 20 step after every non-empty line.
    EXPECT_EQ(readText("1 2\n\n3 4\n \n", header(2, 19), {1, 1, 2, 19}, 19).steps, 3);
    // Row 40: a step every 2 counted rows; with 2 columns a row is counted from the 2nd number on.
    EXPECT_EQ(readText(grid(2, 40, 2), header(2, 40), {1, 1, 2, 40}, 40).steps, 39);
}

TEST(GridBody, BlockBoundariesChangeNothing) {
    std::string body;
    const char* const tokens[] = {"1234.5678", "-0.25e+2", "nan", "7.", ".5E-1", "-9999",
                                  "0.000000000000000000000000000000000000000000000123456789012345678901234567e45"};
    for (int i = 0; i < 600; ++i) {
        body += tokens[i % 7];
        body += (i % 11 == 0) ? "\r\n" : (i % 17 == 0) ? "\n\r\n" : (i % 5 == 0) ? "\t" : " ";
    }
    body += "1e 5 6\n4";
    const GridHeader h = header(13, 50, true, -9999);
    const BodyRead expected = readText(body, h, {3, 2, 10, 40}, 41);
    EXPECT_GT(expected.cells.size(), 250u);
    for (std::size_t block : {1, 2, 3, 5, 64, 1000})
        EXPECT_EQ(readText(body, h, {3, 2, 10, 40}, 41, block), expected) << "block " << block;
}

TEST(GridBody, OneHugeLineReadsInBoundedMemory) {
    testing_support::ScratchDir dir;
    {
        std::FILE* out = std::fopen((dir / "line.asc").string().c_str(), "wb");
        ASSERT_NE(out, nullptr);
        const std::string digits(100000, '7');
        std::fprintf(out, "0.%s ", digits.c_str());  // one number of 100 000 digits
        for (int i = 1; i < 3'000'000; ++i) std::fprintf(out, "%d.%04d ", i % 2000, i % 10000);
        std::fclose(out);
    }
    const GridHeader h = header(1000, 3000);
    const morvale::FileHandle file = morvale::openForReading(dir / "line.asc");
    const long long before = heapInUse.load();
    heapPeak.store(before);
    GridBodyCounts counts;
    double first = 0.0;
    std::atomic<bool> cancel{false};
    morvale::SilentProgress progress;
    counts = morvale::readGridBody(file.get(), h, whole(h), 3000, cancel, progress,
                                   [&](std::int32_t row, std::int32_t col, double v, bool) {
                                       if (row == 1 && col == 1) first = v;
                                   });
    EXPECT_LT(heapPeak.load() - before, 1'200'000);  // the read block, nothing per line or number
    EXPECT_EQ(counts.recordsRead, 3'000'000);
    EXPECT_EQ(counts.rowsRead, 3000);
    EXPECT_EQ(first, 7.0 / 9.0);
}

TEST(GridBody, UnreadableStreamsGiveZeroCounts) {
    const GridHeader h = header(2, 2);
    EXPECT_EQ(readFile(nullptr, h, whole(h), 2), BodyRead{});
    testing_support::ScratchDir dir;
    testing_support::writeFile(dir / "g.asc", "1 2\n3 4\n");
    std::FILE* writeOnly = std::fopen((dir / "g.asc").string().c_str(), "ab");
    ASSERT_NE(writeOnly, nullptr);
    EXPECT_EQ(readFile(writeOnly, h, whole(h), 2).counts.recordsRead, 0);
    EXPECT_EQ(readFile(writeOnly, h, whole(h), 2).counts.recordsRead, 0);  // already failed
    std::fclose(writeOnly);
}

// Shared real grids, positioned after their keyword lines; counts and sums from the corpus oracle.
TEST(GridBody, RealGridsReadCompletely) {
    struct Case {
        const char* name;
        GridHeader header;
        long long noData;
        double sum;
        int steps;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"ava_slideTopo.asc", header(419, 201, true, -9999), 0, 100981706.55, 20},
        {"landlab_hugo_site.asc", header(76, 55, true, -9999), 2028, 3635955, 27},
        {"flopy_freyberg_top.asc", header(20, 40, true, 0.0), 95, 15967.6656, 20},
        {"gdal_pixel_per_line.asc", header(15, 12, true, -99999), 0, 62487.71, 180},
        {"gdal_nodata_nan.asc", header(3, 2, true, nan), 1, 5, 2},
        {"richdem_pit.asc", header(10, 6, true, -9999), 0, 235, 6},
        {"ava_testRel2_noeol.asc", header(20, 22, true, -9999), 0, 26, 22},
    };
    for (const Case& c : cases) {
        const std::string text = testing_support::readFile(testing_support::sharedGrid(c.name));
        std::size_t dataStart = 0;
        for (std::size_t first = 0; std::isalpha(static_cast<unsigned char>(text[first])) &&
                                    text.compare(first, 3, "nan") != 0;
             first = text.find_first_not_of(" \t", dataStart))
            dataStart = text.find('\n', dataStart) + 1;
        const morvale::FileHandle file = morvale::openForReading(testing_support::sharedGrid(c.name));
        ASSERT_TRUE(morvale::seekTo(file.get(), static_cast<std::int64_t>(dataStart))) << c.name;
        const BodyRead read = readFile(file.get(), c.header, whole(c.header), c.header.nrows);
        double sum = 0.0;
        for (const Cell& cell : read.cells) sum += cell.value;
        EXPECT_EQ(read.counts.recordsRead, std::int64_t{c.header.ncols} * c.header.nrows) << c.name;
        EXPECT_EQ(read.counts.rowsRead, c.header.nrows) << c.name;
        EXPECT_EQ(read.counts.noDataCount, c.noData) << c.name;
        EXPECT_NEAR(sum, c.sum, 1e-9 * std::abs(c.sum)) << c.name;
        EXPECT_EQ(read.steps, c.steps) << c.name;
    }
}

}  // namespace
