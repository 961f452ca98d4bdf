#include <gtest/gtest.h>

#include <atomic>
#include <tuple>
#include <vector>

#include "grid/grid_body.h"
#include "base/input_file.h"
#include "grid/wide_read.h"
#include "test_support.h"

using namespace morvale;

namespace {

struct Read {
    std::vector<std::tuple<std::int32_t, std::int32_t, double, bool>> cells;
    GridBodyCounts counts;
};

// A 6 x 5 body with no-data values, a "nan", a line cut by a bad token (its
// row continues on the next line) and an over-long last line.
const std::string body =
    "1 2 -9999 4 5 6\n"
    "7 nan 9 10 11 12\n"
    "13 14 15 x 99\n16 17 18\n"
    "-9999 20 21 22 -9999 24\n"
    "25 26 27 28 29 30 31 32\n";

GridHeader header() {
    GridHeader h;
    h.ncols = 6;
    h.nrows = 5;
    h.hasNodata = 1;
    h.nodataValue = -9999;
    return h;
}

TEST(WideRead, GivesTheCropWindowsCellsAndCountsForAnyCutOfTheBody) {
    testing_support::ScratchDir dir;
    const GridHeader h = header();
    const CropWindow crops[] = {{1, 1, 6, 5}, {2, 2, 4, 3}, {3, 1, 3, 1}, {5, 4, 6, 5}, {1, 3, 2, 5}};
    int cases = 0;
    for (std::size_t length = 0; length <= body.size(); ++length) {
        testing_support::writeFile(dir / "body.asc", body.substr(0, length));
        for (const CropWindow& crop : crops) {
            std::atomic<bool> cancel{false};
            SilentProgress progress;
            Read direct, wide;
            FileHandle file = openForReading(dir / "body.asc");
            direct.counts = readGridBody(
                file.get(), h, crop, crop.yMax < h.nrows ? crop.yMax + 1 : h.nrows, cancel, progress,
                [&](std::int32_t r, std::int32_t c, double v, bool in) { direct.cells.emplace_back(r, c, v, in); });
            auto ring = [&](std::int32_t r, std::int32_t c, double v, bool in) {
                wide.cells.emplace_back(r, c, v, in);
            };
            std::int32_t lastRow = 0, lastCol = 0;
            auto all = [&](std::int32_t r, std::int32_t c, double) {
                lastRow = std::max(lastRow, r);
                lastCol = std::max(lastCol, c);
            };
            WideCells<decltype(ring), decltype(all)> cells(crop, ring, all);
            const CropWindow reading = wideReadingWindow(crop, h.ncols, h.nrows);
            file = openForReading(dir / "body.asc");
            const GridBodyCounts counts =
                readGridBody(file.get(), h, reading, wideLastRow(reading, h.nrows), cancel, progress, cells);
            wide.counts = cropCounts(counts, reading, crop, cells.cropDataCells());

            SCOPED_TRACE(testing::Message() << "length " << length << " crop " << crop.xMin << "," << crop.yMin);
            EXPECT_EQ(wide.cells, direct.cells);
            EXPECT_EQ(wide.counts.rowsRead, direct.counts.rowsRead);
            EXPECT_EQ(wide.counts.recordsRead, direct.counts.recordsRead);
            EXPECT_EQ(wide.counts.noDataCount, direct.counts.noDataCount);
            // The normals' side sees two cells beyond the window.
            if (length == body.size() && crop.xMin == 2) {
                EXPECT_EQ(std::tie(lastRow, lastCol), std::make_tuple(5, 6));
            }
            ++cases;
        }
    }
    EXPECT_GT(cases, 500);
}

TEST(WideRead, ReadingWindowStaysInsideTheGrid) {
    EXPECT_EQ(wideReadingWindow({1, 1, 6, 5}, 6, 5).xMin, 1);
    const CropWindow inner = wideReadingWindow({2, 3, 4, 4}, 6, 5);
    EXPECT_EQ(std::tie(inner.xMin, inner.yMin, inner.xMax, inner.yMax), std::make_tuple(1, 2, 5, 5));
    EXPECT_EQ(wideLastRow(inner, 5), 5);
    EXPECT_EQ(wideLastRow(wideReadingWindow({1, 1, 2, 2}, 6, 5), 5), 4);
}

}  // namespace
