// Body cells from a cell source instead of the input file: a source that
// hands over what the file holds gives the same file and counts, and the
// input file is not even opened.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "conversion_fixture.h"
#include "grid/cell_source.h"
#include "grid/grid_body.h"

using namespace morvale;
using namespace testing_support;

namespace {

// A whole grid in memory (NaN for no-data), handed over like the body reader does.
class GridInMemory final : public CellSource {
public:
    GridInMemory(std::int32_t ncols, std::int32_t nrows, std::vector<double> values)
        : ncols_(ncols), nrows_(nrows), values_(std::move(values)) {}

    GridBodyCounts read(const CropWindow& w, std::int32_t lastRow, const std::atomic<bool>&, ProgressReporter&,
                        CellSink& sink) const override {
        ++reads;
        GridBodyCounts counts;
        for (std::int32_t row = std::max(1, w.yMin - 1); row <= lastRow; ++row) {
            const bool windowRow = row >= w.yMin && row <= w.yMax;
            for (std::int32_t col = std::max(1, w.xMin - 1); col <= std::min(ncols_, w.xMax + 1); ++col) {
                const double value = values_[static_cast<std::size_t>(row - 1) * ncols_ + (col - 1)];
                const bool inWindow = windowRow && col >= w.xMin && col <= w.xMax;
                if (inWindow) ++counts.recordsRead;
                if (std::isnan(value)) {
                    if (inWindow) ++counts.noDataCount;
                    continue;
                }
                sink.cell(row, col, value, inWindow);
            }
            if (windowRow) ++counts.rowsRead;
        }
        return counts;
    }
    mutable int reads = 0;

private:
    std::int32_t ncols_, nrows_;
    std::vector<double> values_;
};

}  // namespace

TEST(CellSource, GivesTheSameFileAsTheInput) {
    const std::int32_t ncols = 9, nrows = 7;
    std::string grid = "ncols 9\nnrows 7\nxllcorner 10\nyllcorner 20\ncellsize 2\nNODATA_value -9999\n";
    std::vector<double> values;
    for (std::int32_t r = 0; r < nrows; ++r) {
        for (std::int32_t c = 0; c < ncols; ++c) {
            const bool hole = (r * 5 + c * 3) % 11 == 0;
            const double v = (r * 13 + c * 7) % 17 * 1.25 - 3.5;
            grid += (hole ? std::string("-9999") : std::to_string(v)) + (c + 1 < ncols ? " " : "\n");
            values.push_back(hole ? std::nan("") : v);
        }
    }
    const GridInMemory source(ncols, nrows, values);
    ScratchDir dir;
    writeFile(dir / "grid.asc", grid);
    for (TerrainMode mode : {TerrainMode::Interpolated, TerrainMode::FloatingPlanes}) {
        for (bool centerZ : {false, true}) {
            for (const CropWindow w :
                 {CropWindow{1, 1, ncols, nrows}, CropWindow{2, 3, 8, 6}, CropWindow{5, 7, 9, 7}}) {
                ConversionSettings settings = wholeGrid(mode, ncols, nrows);
                settings.cropXMin = w.xMin, settings.cropYMin = w.yMin, settings.cropXMax = w.xMax,
                settings.cropYMax = w.yMax;
                settings.centerZ = centerZ;
                settings.presetIndex = 1;
                ConversionRequest fromFile = requestFor(dir / "grid.asc", dir / "file.obj", settings);
                ConversionRequest fromSource = fromFile;
                fromSource.inputPath = dir / "missing.asc";  // never opened
                fromSource.outputPath = dir / "source.obj";
                fromSource.cells = &source;
                std::atomic<bool> cancel{false};
                SilentProgress progress;
                ConversionStats fileStats, sourceStats;
                ASSERT_EQ(runConversion(fromFile, cancel, progress, fileStats), conversionFinished);
                ASSERT_EQ(runConversion(fromSource, cancel, progress, sourceStats), conversionFinished);
                EXPECT_EQ(afterHeader(readFile(dir / "source.obj")), afterHeader(readFile(dir / "file.obj")));
                EXPECT_EQ(sourceStats.vertexCount, fileStats.vertexCount);
                EXPECT_EQ(sourceStats.quadCount, fileStats.quadCount);
                EXPECT_EQ(sourceStats.noDataCount, fileStats.noDataCount);
                EXPECT_EQ(sourceStats.rowsRead, fileStats.rowsRead);
                EXPECT_EQ(sourceStats.recordsRead, fileStats.recordsRead);
                EXPECT_EQ(sourceStats.status, 1);
            }
        }
    }
    // Centred Interpolated runs read the body twice.
    EXPECT_EQ(source.reads, 3 * 2 + 3 + 3 * 2);
}
