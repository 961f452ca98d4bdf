// Regressions of the block-splitting fuzz oracle: the body must read the same
// whatever the size of the blocks it arrives in, also when a number is cut by
// a block end right before a character that ends it without being a blank.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/input_file.h"
#include "grid/grid_body.h"
#include "test_support.h"

using namespace morvale;
using namespace testing_support;

namespace {

struct Cell {
    std::int32_t row, col;
    double value;
    bool inWindow;
    bool operator==(const Cell& o) const {
        return row == o.row && col == o.col && std::memcmp(&value, &o.value, sizeof value) == 0 &&
               inWindow == o.inWindow;
    }
};

struct Read {
    std::vector<Cell> cells;
    std::int64_t rowsRead = 0, recordsRead = 0, noData = 0;
    int steps = 0;
    bool operator==(const Read& o) const {
        return cells == o.cells && rowsRead == o.rowsRead && recordsRead == o.recordsRead && noData == o.noData &&
               steps == o.steps;
    }
};

class CountingProgress final : public ProgressReporter {
public:
    void showPreparing() override {}
    void beginStage(std::string_view, int) override {}
    void step() override { ++steps; }
    int steps = 0;
};

Read readBody(const std::filesystem::path& file, std::size_t blockSize, const GridHeader& h, const CropWindow& w,
              std::int32_t lastRow) {
    Read read;
    const FileHandle input = openForReading(file);
    std::atomic<bool> cancel{false};
    CountingProgress progress;
    const GridBodyCounts counts = readGridBodyInBlocks(input.get(), blockSize, h, w, lastRow, cancel, progress,
                                                       [&](std::int32_t row, std::int32_t col, double v, bool in) {
                                                           read.cells.push_back({row, col, v, in});
                                                       });
    read.rowsRead = counts.rowsRead;
    read.recordsRead = counts.recordsRead;
    read.noData = counts.noDataCount;
    read.steps = progress.steps;
    return read;
}

GridHeader header(std::int32_t ncols, std::int32_t nrows) {
    GridHeader h;
    h.ncols = ncols;
    h.nrows = nrows;
    h.hasNodata = 1;
    h.nodataValue = -9999;
    return h;
}

}  // namespace

TEST(RobustBodyBlocks, ANumberCutByABlockEndKeepsTheCharacterThatEndedIt) {
    // Each body puts a number right before a character that ends it and means
    // something: the sign of the next number, a second point, a comma or a word
    // that ends the line, a line feed after a broken exponent.
    const char* const bodies[] = {
        "15-3 2 1\n4-5-6 7\n", "1.2.3 4\n5.6.7 8\n",    "1,2 3\n4 5 6 7\n",
        "1e\n2 3\n4 5 6\n",    "7 1e+\n2 3 4\n5 6\n",   "12nan 3\n-nan 4 5 6\n",
        "0x10 1\n2 3 4 5\n",   "1e400\n1 2\n3 4 5 6\n", "-9999-9999 1\r\n2 3\r\n\r\n4 5 6\n",
    };
    ScratchDir dir;
    int checked = 0;
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        writeFile(dir / "body.asc", body);
        const GridHeader h = header(4, 3);
        for (const CropWindow& w : {CropWindow{1, 1, 4, 3}, CropWindow{2, 2, 3, 2}}) {
            for (const std::int32_t lastRow : {w.yMax, h.nrows}) {
                const Read whole = readBody(dir / "body.asc", gridBodyBlockSize, h, w, lastRow);
                for (std::size_t block = 1; block <= 12; ++block) {
                    EXPECT_EQ(readBody(dir / "body.asc", block, h, w, lastRow), whole) << "block " << block;
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 9 * 2 * 2 * 12);
}

TEST(RobustBodyBlocks, ABrokenExponentAtABlockEndStillEndsOnlyItsOwnLine) {
    // "1e" is not a number: it ends line 1, and line 2 must still be read.
    ScratchDir dir;
    writeFile(dir / "body.asc", "1e\n2 3\n");
    const GridHeader h = header(2, 1);
    for (std::size_t block = 1; block <= 4; ++block) {
        const Read read = readBody(dir / "body.asc", block, h, {1, 1, 2, 1}, 1);
        ASSERT_EQ(read.cells.size(), 2u) << "block " << block;
        EXPECT_EQ(read.cells[0].value, 2.0);
        EXPECT_EQ(read.cells[1].value, 3.0);
    }
}
