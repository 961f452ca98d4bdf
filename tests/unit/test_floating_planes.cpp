#include <gtest/gtest.h>

#include <cstdio>

#include "base/input_file.h"
#include "base/output_file.h"
#include "conversion_fixture.h"
#include "mesh/floating_planes.h"
#include "mesh/forwarding_sink.h"
#include "obj/obj_mesh_writer.h"

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

// Forwards the stream to a writer but refuses planes as cells: the builder
// then hands over every plane's four vertices.
class AsVertices final : public ForwardingSink {
public:
    using ForwardingSink::ForwardingSink;
    bool acceptsPlanes(const PlaneLattice&) override { return false; }
};

// The OBJ after the header of the grid's floating planes, as cells or as vertices.
std::string planesObj(const std::filesystem::path& grid, TerrainJob job, std::int32_t preset, bool asVertices) {
    GridHeader header;
    EXPECT_EQ(readGridHeader(grid, header), 1);
    std::FILE* input = std::fopen(grid.string().c_str(), "rb");
    EXPECT_TRUE(input != nullptr && seekTo(input, header.dataStart));
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    job.header = &header;
    job.input = input;
    job.cancelRequested = &cancel;
    job.progress = &progress;
    const std::filesystem::path path = grid.parent_path() / "planes.obj";
    {
        OutputFile output;
        EXPECT_TRUE(output.open(path));
        const std::string headerText = objHeaderText();
        ObjMeshWriter writer(output, path, ObjTexts{headerText, "grid.asc", "grid"}, preset, cancel, progress,
                             job.threaded);
        writer.countQuadsAs(QuadComment::planesHandedOver);
        AsVertices vertices(writer);
        EXPECT_TRUE(buildFloatingPlanesMesh(job, asVertices ? static_cast<MeshSink&>(vertices) : writer).written);
        output.close();
    }
    std::fclose(input);
    return afterHeader(readFile(path));
}

}  // namespace

// The writer's own lines of planes handed over as cells are those of their
// vertices: every axis order and sign, edges at zero (negative zeros), holes,
// crops, offsets, both texture extents, shared normals, with and without
// threads, and edges too long for the kept texts.
TEST(FloatingPlanes, PlanesAsCellsWriteTheLinesOfTheirVertices) {
    ScratchDir dir;
    const struct {
        std::string text;
        CropWindow whole;
    } grids[] = {{"ncols 7\nnrows 5\nxllcorner -2.5\nyllcorner -1\ncellsize 0.5\nNODATA_value -9999\n"
                  "1 2 3 4 5 6 7\n-1.5 0 -9999 0.25 9 8 7\n-9999 -9999 1e6 2 3 4 5\n3 3 3 3 3 3 -0.00004\n"
                  "1 1 1 1 1 1 1\n",
                  {1, 1, 7, 5}},
                 {"ncols 3\nnrows 2\nxllcorner 12345678901\nyllcorner 4\ncellsize 1000\n1 2 3\n4 5 6\n", {1, 1, 3, 2}}};
    for (const auto& grid : grids) {
        writeFile(dir / "grid.asc", grid.text);
        for (const bool offsets : {false, true}) {
            for (std::int32_t preset = 0; preset < 6; ++preset) {
                TerrainJob job;
                job.useXllYllOffsets = offsets;
                job.unitScale = preset % 2 == 0 ? 1.0 : -0.1;
                job.threaded = preset < 3;
                job.attributes.uv = preset % 3 != 0;
                job.attributes.normals = preset % 3 != 1;
                job.attributes.uvExtent = preset % 2 == 0 ? UvExtentMode::grid : UvExtentMode::window;
                job.window = preset == 4 ? CropWindow{2, 2, 3, 2} : grid.whole;
                const std::string cells = planesObj(dir / "grid.asc", job, preset, false);
                ASSERT_EQ(cells, planesObj(dir / "grid.asc", job, preset, true)) << offsets << " " << preset;
                ASSERT_NE(cells.find(" quads"), std::string::npos);
            }
        }
    }
}

// Plane faces go to the writer as ranges, in turns as long as a chunk
// holds: numbers that pass 10^8 (longer lines, no digit word) in a run long
// enough for several turns on both threads, plain and with attributes.
TEST(FloatingPlanes, PlaneFaceRangesPastAHundredMillionKeepTheirOrder) {
    ScratchDir dir;
    constexpr std::int64_t first = 24'990'001, count = 40'000;
    for (const bool attributes : {false, true}) {
        std::string expected;
        for (std::int64_t p = first; p < first + count; ++p) {
            expected += "f";
            for (std::int64_t v = 4 * p; v > 4 * p - 4; --v) {
                const std::string n = std::to_string(v);
                expected += " " + n + (attributes ? "/" + n + "/1" : "");
            }
            expected += "\r\n";
        }
        std::atomic<bool> cancel{false};
        SilentProgress progress;
        OutputFile output;
        ASSERT_TRUE(output.open(dir / "faces.obj"));
        {
            ObjMeshWriter writer(output, dir / "faces.obj", ObjTexts{"", "grid.asc", "grid"}, 0, cancel, progress,
                                 true);
            PlaneLattice lattice;
            lattice.edges.cellEdge = 1.0;
            ASSERT_TRUE(writer.acceptsPlanes(lattice));
            MeshInfo info;
            info.planes = &lattice;
            info.uv = attributes;
            if (attributes) info.normals = NormalLayout::shared;
            writer.begin(info);
            writer.endVertices();
            FaceBatch batch;
            batch.count = count;
            batch.firstPlane = first;
            writer.faces(batch);
            EXPECT_TRUE(writer.end().ok);
        }
        output.close();
        const std::string obj = readFile(dir / "faces.obj");
        const std::size_t start = obj.find("g grid\r\n") + 8;
        ASSERT_EQ(obj.substr(start, expected.size()), expected) << attributes;
    }
}

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

    // A cancel raised by the third step of the faces stops them there, as a line-by-line loop would.
    const std::string faces = lines(afterHeader(convertText(grid, planes(1, 1, 5, 5), 2, 3).obj));
    EXPECT_NE(faces.find("g grid\nf 4 3 2 1\n"), std::string::npos);
    EXPECT_NE(faces.find("\nf 24 23 22 21\n# 25 quads"), std::string::npos) << faces;
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
