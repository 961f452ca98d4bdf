#include <gtest/gtest.h>

#include "conversion_fixture.h"

using namespace morvale;
using namespace testing_support;

namespace {

const std::string fourByTwo =
    "ncols 4\nnrows 2\nxllcorner 1000\nyllcorner 0\ncellsize 10\nNODATA_value -9999\n"
    "5 1 2 3\n4 5 6 7\n";

ConversionSettings planes(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax) {
    ConversionSettings s = wholeGrid(TerrainMode::FloatingPlanes, xMax, yMax);
    s.cropXMin = xMin;
    s.cropYMin = yMin;
    return s;
}

}  // namespace

TEST(FloatingPlanes, OneCellGivesFourCornersAndTheNegativeZeroSouthEdge) {
    ConversionRun run = convertText(fourByTwo, planes(1, 1, 1, 1));
    ASSERT_EQ(run.result, conversionFinished);
    EXPECT_EQ(lines(afterHeader(run.obj)),
              "v -20.0000 10.0000 5.0000\nv -10.0000 10.0000 5.0000\n"
              "v -10.0000 -0.0000 5.0000\nv -20.0000 -0.0000 5.0000\n"
              "# 4 vertices\n\no grid\ng grid\nf 4 3 2 1\n# 1 quads");

    ConversionSettings cinema = planes(1, 1, 1, 1);
    cinema.presetIndex = 2;
    run = convertText(fourByTwo, cinema);
    EXPECT_EQ(lines(afterHeader(run.obj)).substr(0, 104),
              "v -20.0000 5.0000 -10.0000\nv -10.0000 5.0000 -10.0000\n"
              "v -10.0000 5.0000 0.0000\nv -20.0000 5.0000 0.0000\n");
}

TEST(FloatingPlanes, OffsetsPlaceTheGridAtItsCornerOrCentre) {
    ConversionSettings s = planes(1, 1, 1, 1);
    s.useXllYllOffsets = true;
    EXPECT_EQ(afterHeader(convertText(fourByTwo, s).obj).substr(0, 12), "v 1000.0000 ");
    std::string centred = fourByTwo;
    centred.replace(centred.find("xllcorner"), 9, "XLLCENTER");
    EXPECT_EQ(afterHeader(convertText(centred, s).obj).substr(0, 11), "v 995.0000 ");
}

TEST(FloatingPlanes, NoDataCellsAreSkippedAndFacesFollowTheFourPattern) {
    const std::string grid =
        "ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -1\n"
        "1 2 3\n4 -1 6\n7 8 9\n";
    const ConversionRun run = convertText(grid, planes(1, 1, 2, 2));
    const std::string body = lines(afterHeader(run.obj));
    EXPECT_NE(body.find("# 12 vertices\n\no grid\ng grid\nf 4 3 2 1\nf 8 7 6 5\nf 12 11 10 9\n# 3 quads"),
              std::string::npos);
    EXPECT_EQ(run.stats.vertexCount, 12);
    EXPECT_EQ(run.stats.quadCount, 3);
    EXPECT_EQ(run.stats.triangleCount, 6);
    EXPECT_EQ(run.stats.noDataCount, 1);
    EXPECT_EQ(run.stats.recordsRead, 4);
    EXPECT_EQ(run.stats.status, 1);

    const ConversionRun empty = convertText(grid, planes(2, 2, 2, 2));
    EXPECT_EQ(lines(afterHeader(empty.obj)), "# 0 vertices\n\no grid\ng grid\n# 0 quads");
}

TEST(FloatingPlanes, WithoutNodataLineZerosAreQuadsAndCenterZChangesNothing) {
    const std::string grid = "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n0 0\n";
    ConversionSettings s = planes(1, 1, 2, 1);
    const ConversionRun plain = convertText(grid, s);
    EXPECT_EQ(plain.stats.quadCount, 2);
    s.centerZ = true;
    EXPECT_EQ(afterHeader(convertText(grid, s).obj), afterHeader(plain.obj));
}

TEST(FloatingPlanes, StagesAndProgressSteps) {
    // 25 kept cells: the face stage steps after every second face.
    std::string grid = "ncols 5\nnrows 5\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int r = 0; r < 5; ++r) grid += "1 2 3 4 5\n";
    const ConversionRun run = convertText(grid, planes(1, 1, 5, 5));
    ASSERT_EQ(run.stages.size(), 3u);
    EXPECT_EQ(run.stages[0], "preparing");
    EXPECT_EQ(run.stages[1], "Getting elevation data from input file and outputting the vertices... /5");
    EXPECT_EQ(run.stages[2], "Creating output *.OBJ file... /10");
    EXPECT_EQ(run.steps[0], 5);   // window ends above row 20: a step after every line
    EXPECT_EQ(run.steps[1], 12);  // 25 faces, interval 2
}

TEST(FloatingPlanes, CancelledWhileReadingKeepsTheClosingSections) {
    const ConversionRun run = convertText(fourByTwo, planes(1, 1, 4, 2), 1);
    EXPECT_EQ(run.result, conversionFinished);
    EXPECT_EQ(run.stats.status, -1);
    EXPECT_EQ(lines(afterHeader(run.obj)), "# 0 vertices\n\no grid\ng grid\n# 0 quads");

    // Cancelled at the face stage: all vertices, no faces, the quad count names the cells.
    const ConversionRun late = convertText(fourByTwo, planes(1, 1, 4, 2), 2);
    const std::string body = lines(afterHeader(late.obj));
    EXPECT_NE(body.find("# 32 vertices\n\no grid\ng grid\n# 8 quads"), std::string::npos);
    EXPECT_EQ(late.stats.status, -1);
}

TEST(FloatingPlanes, ShortBodyFailsTheChecks) {
    const std::string grid = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n4 5\n";
    const ConversionRun run = convertText(grid, planes(1, 1, 3, 2));
    EXPECT_EQ(run.stats.status, 0);
    EXPECT_EQ(run.stats.rowsRead, 1);
    EXPECT_EQ(run.stats.recordsRead, 5);
    EXPECT_FALSE(run.stats.rowsOk);
}
