#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "conversion_fixture.h"
#include "mesh/cell_edges.h"
#include "obj/fixed_format.h"

using namespace morvale;
using namespace testing_support;

namespace {

const std::string twoByTwo = "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2\n3 4\n";
const std::string threeByThree =
    "ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n1 2 3\n4 5 6\n7 8 9\n";

ConversionSettings window(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax) {
    ConversionSettings s = wholeGrid(TerrainMode::Interpolated, xMax, yMax);
    s.cropXMin = xMin;
    s.cropYMin = yMin;
    return s;
}

std::string body(const ConversionRun& run) { return lines(afterHeader(run.obj)); }

}  // namespace

TEST(Interpolated, TwoByTwoGridNumbersSharedCornersRowByRow) {
    const ConversionRun run = convertText(twoByTwo, window(1, 1, 2, 2));
    ASSERT_EQ(run.result, conversionFinished);
    EXPECT_EQ(body(run),
              "v -1.0000 1.0000 1.0000\nv 0.0000 1.0000 1.5000\nv 1.0000 1.0000 2.0000\n"
              "v -1.0000 0.0000 2.0000\nv -1.0000 -1.0000 3.0000\nv 0.0000 0.0000 2.5000\n"
              "v 1.0000 0.0000 3.0000\nv 0.0000 -1.0000 3.5000\nv 1.0000 -1.0000 4.0000\n"
              "# 9 vertices\n\no grid\ng grid\nf 4 6 2 1\nf 6 7 3 2\nf 5 8 6 4\nf 8 9 7 6\n# 4 quads");
    EXPECT_EQ(run.stats.vertexCount, 9);
    EXPECT_EQ(run.stats.triangleCount, 8);
    EXPECT_EQ(run.stats.status, 1);

    ConversionSettings centred = window(1, 1, 2, 2);
    centred.centerZ = true;
    const std::string shifted = body(convertText(twoByTwo, centred));
    EXPECT_EQ(shifted.substr(0, 73), "v -1.0000 1.0000 -1.5000\nv 0.0000 1.0000 -1.0000\nv 1.0000 1.0000 -0.5000\n");
    EXPECT_NE(shifted.find("v 1.0000 -1.0000 1.5000\n"), std::string::npos);
}

TEST(Interpolated, OneCellWindowAveragesWithItsRing) {
    const ConversionRun run = convertText(threeByThree, window(2, 2, 2, 2));
    EXPECT_EQ(body(run),
              "v -0.5000 0.5000 3.0000\nv 0.5000 0.5000 4.0000\nv -0.5000 -0.5000 6.0000\n"
              "v 0.5000 -0.5000 7.0000\n# 4 vertices\n\no grid\ng grid\nf 3 4 2 1\n# 1 quads");
    // A whole-grid window averages its edge corners with its own cells only.
    EXPECT_EQ(body(convertText(threeByThree, window(1, 1, 3, 3))).substr(0, 24), "v -1.5000 1.5000 1.0000\n");
}

TEST(Interpolated, NoDataCellsOwnNoCornersButRingDataStillAverages) {
    std::string grid = threeByThree;
    grid.replace(grid.find("4 5 6"), 5, "4 -9999 6");
    // The only window cell has no data: no vertex even though the ring is full.
    EXPECT_EQ(body(convertText(grid, window(2, 2, 2, 2))), "# 0 vertices\n\no grid\ng grid\n# 0 quads");

    // Window 2..3 x 2..2: cell (2,2) is empty, (2,3) keeps its four corners,
    // whose means skip the empty cell.
    const ConversionRun run = convertText(grid, window(2, 2, 3, 2));
    EXPECT_EQ(body(run),
              "v 0.5000 0.5000 3.6667\nv 1.5000 0.5000 4.5000\nv 0.5000 -0.5000 7.6667\n"
              "v 1.5000 -0.5000 7.5000\n# 4 vertices\n\no grid\ng grid\nf 3 4 2 1\n# 1 quads");
    EXPECT_EQ(run.stats.noDataCount, 1);
    EXPECT_EQ(run.stats.recordsRead, 2);
}

TEST(Interpolated, OneRowWindowWithAnEmptyLastCell) {
    const std::string grid = "ncols 3\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 2\nNODATA_value -9999\n1 2 -9999\n";
    EXPECT_EQ(body(convertText(grid, window(1, 1, 3, 1))),
              "v -3.0000 1.0000 1.0000\nv -3.0000 -1.0000 1.0000\nv -1.0000 1.0000 1.5000\n"
              "v -1.0000 -1.0000 1.5000\nv 1.0000 1.0000 2.0000\nv 1.0000 -1.0000 2.0000\n"
              "# 6 vertices\n\no grid\ng grid\nf 2 4 3 1\nf 4 6 5 3\n# 2 quads");
}

TEST(Interpolated, OffsetsScaleAndPresets) {
    const std::string grid = "ncols 1\nnrows 1\nxllcorner 500\nyllcorner 200\ncellsize 10\n7\n";
    ConversionSettings s = window(1, 1, 1, 1);
    s.useXllYllOffsets = true;
    s.unitScale = 2;
    EXPECT_EQ(body(convertText(grid, s)).substr(0, 29), "v 1000.0000 420.0000 14.0000\n");
    std::string centred = grid;
    centred.replace(centred.find("xllcorner"), 9, "xllcenter");
    EXPECT_EQ(body(convertText(centred, s)).substr(0, 28), "v 990.0000 420.0000 14.0000\n");
    s.useXllYllOffsets = false;
    s.unitScale = 1;
    s.presetIndex = 1;  // Blender negates east: a west edge at +0 prints as -0
    EXPECT_EQ(body(convertText(grid, s)).substr(0, 26), "v 5.0000 7.0000 5.0000\nv -");
}

TEST(Interpolated, StagesStepsAndIntervals) {
    std::string grid = "ncols 1\nnrows 100\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int r = 0; r < 100; ++r) grid += "5\n";
    const ConversionRun run = convertText(grid, window(1, 1, 1, 100));
    ASSERT_EQ(run.stages.size(), 4u);
    EXPECT_EQ(run.stages[1], "Getting elevation data from input file... /5");
    EXPECT_EQ(run.stages[2], "Calculating vertices and quads... /5");
    EXPECT_EQ(run.stages[3], "Creating output *.OBJ file... /10");
    EXPECT_EQ(run.steps[0], 20);  // tick interval 5 rows
    EXPECT_EQ(run.steps[1], 25);  // 99 / 20 = 4 rows a step
    EXPECT_EQ(run.steps[2], 10);  // 202 vertices + 100 cells, interval 30
}

TEST(Interpolated, CancellationInEachStageKeepsTheClosingSections) {
    for (int stage = 1; stage <= 3; ++stage) {
        const ConversionRun run = convertText(twoByTwo, window(1, 1, 2, 2), stage);
        EXPECT_EQ(run.result, conversionFinished);
        EXPECT_EQ(run.stats.status, -1);
        EXPECT_EQ(body(run), "# 0 vertices\n\no grid\ng grid\n# 0 quads") << "stage " << stage;
    }
    // Cancelled after the first vertex line (interval 1): one vertex, no face.
    const ConversionRun late = convertText(twoByTwo, window(1, 1, 2, 2), 3, 1);
    EXPECT_EQ(body(late), "v -1.0000 1.0000 1.0000\n# 1 vertices\n\no grid\ng grid\n# 0 quads");
}

TEST(Interpolated, AdjacentCropsOfARealGridShareTheirEdge) {
    const std::filesystem::path grid = sharedGrid("landlab_hugo_site.asc");
    GridHeader header;
    ASSERT_EQ(readGridHeader(grid, header), 1);
    auto convert = [&](std::int32_t xMin, std::int32_t xMax) {
        ScratchDir dir;
        ConversionRequest request = requestFor(grid, dir / "part.obj", window(xMin, 1, xMax, header.nrows));
        std::atomic<bool> cancel{false};
        SilentProgress progress;
        ConversionStats stats;
        EXPECT_EQ(runConversion(request, cancel, progress, stats), conversionFinished);
        return readFile(dir / "part.obj");
    };
    const std::string west = convert(1, 30), east = convert(31, header.ncols);
    auto edgeLines = [](const std::string& obj, const std::string& x) {
        std::set<std::string> found;
        std::istringstream in(obj);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("v " + x + " ", 0) == 0) found.insert(line);
        return found;
    };
    // The shared edge is the west edge of column 31.
    const CellEdges edges = makeCellEdges(header, false, 1.0);
    char text[fixed4MaxChars];
    const std::string x(text, formatFixed4(xWest(edges, 31), text));
    const std::set<std::string> a = edgeLines(west, x), b = edgeLines(east, x);
    ASSERT_FALSE(a.empty());
    std::size_t shared = 0;
    for (const std::string& line : a) shared += b.count(line);
    // Every corner that both crops write is written identically.
    std::set<std::string> aNorths, bNorths;
    for (const std::string& line : a) aNorths.insert(line.substr(0, line.rfind(' ')));
    for (const std::string& line : b) bNorths.insert(line.substr(0, line.rfind(' ')));
    std::size_t bothHave = 0;
    for (const std::string& n : aNorths) bothHave += bNorths.count(n);
    EXPECT_GT(shared, 10u);
    EXPECT_EQ(shared, bothHave);
}
