#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>

#include "app/settings_correction.h"
#include "conversion_fixture.h"
#include "mesh_file_shape.h"
#include "stl/stl_writer.h"
#include "terrain_stream.h"
#include "test_support.h"

using namespace morvale;
using namespace testing_support;

namespace {

TerrainGrid bumpyGrid(int cols, int rows) {
    TerrainGrid g(cols, rows);
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c) g.height(r, c) = std::sin(0.7 * c) * 3.0 + 0.25 * r;
    return g;
}

StlShape writeStl(const std::filesystem::path& path, TerrainGrid g, const StreamChoices& choices,
                  const StlOptions& options = {}, MeshWritten* written = nullptr) {
    StlWriter writer(nullptr, nullptr);
    EXPECT_TRUE(writer.open(path, options));
    streamTerrain(g, writer, choices);
    const MeshWritten w = writer.end();
    EXPECT_TRUE(w.ok);
    if (written) *written = w;
    StlShape shape = inspectStl(readFile(path));
    EXPECT_TRUE(shape.sound) << shape.problem;
    return shape;
}

// Rough ground with holes, cells of 2.5 units, through a whole conversion.
StlShape convertToStl(const std::filesystem::path& dir, std::int32_t preset, bool solid) {
    std::string grid = "ncols 11\nnrows 8\nxllcorner 100\nyllcorner 200\ncellsize 2.5\nnodata_value -9999\n";
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 11; ++c)
            grid +=
                (r * 11 + c) % 17 == 5 ? "-9999 " : std::to_string(40 + 9 * std::sin(0.9 * c + 0.4 * r) + r % 3) + " ";
        grid += "\n";
    }
    writeFile(dir / "rough.asc", grid);
    ConversionSettings settings = wholeGrid(TerrainMode::Interpolated, 11, 8);
    settings.presetIndex = preset;
    ConversionRequest request = requestFor(dir / "rough.asc", dir / "rough.stl", settings);
    request.format = OutputFormat::stl;
    request.solid = solid;
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    ConversionStats stats;
    EXPECT_EQ(runConversion(request, cancel, progress, stats), conversionFinished);
    const StlShape shape = inspectStl(readFile(dir / "rough.stl"));
    EXPECT_TRUE(shape.sound) << shape.problem;
    return shape;
}

}  // namespace

TEST(StlWriter, EachFacetNormalIsTheRightHandNormalOfItsCorners) {
    // Every facet of a surface and of a solid (walls, bottom) in every preset's
    // axes: unit length and the direction of (b - a) x (c - a), which is how
    // readers that trust the normal (and those that recompute it) see the facet.
    ScratchDir dir;
    for (bool solid : {false, true}) {
        for (std::int32_t preset = 0; preset < static_cast<std::int32_t>(exportPresets.size()); ++preset) {
            const StlShape shape = convertToStl(dir.path(), preset, solid);
            ASSERT_GT(shape.count, 100u);
            for (std::uint32_t t = 0; t < shape.count; ++t) {
                const float* p = &shape.corners[9 * t];
                double u[3], v[3];
                for (int axis = 0; axis < 3; ++axis) {
                    u[axis] = double{p[3 + axis]} - p[axis];
                    v[axis] = double{p[6 + axis]} - p[axis];
                }
                const double cross[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                         u[0] * v[1] - u[1] * v[0]};
                const double area2 = std::sqrt(cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2]);
                ASSERT_GT(area2, 0.0) << "a degenerate facet " << t;
                const float* n = &shape.normals[3 * t];
                const double length = std::sqrt(double{n[0]} * n[0] + double{n[1]} * n[1] + double{n[2]} * n[2]);
                const double along = (n[0] * cross[0] + n[1] * cross[1] + n[2] * cross[2]) / area2;
                ASSERT_NEAR(length, 1.0, 1e-6) << "solid " << solid << " preset " << preset << " facet " << t;
                ASSERT_NEAR(along, 1.0, 1e-6) << "solid " << solid << " preset " << preset << " facet " << t;
            }
        }
    }
}

TEST(StlWriter, FacetsFaceTheElevationAxisOfEachPreset) {
    ScratchDir dir;
    struct Preset {
        std::int32_t index;
        int upAxis;
        float upSign;
    } presets[] = {{0, 2, 1}, {1, 1, 1}, {3, 1, 1}, {4, 2, 1}};
    for (const Preset& p : presets) {
        StlOptions options;
        options.presetIndex = p.index;
        MeshWritten written;
        const StlShape shape = writeStl(dir / "s.stl", bumpyGrid(5, 4), {}, options, &written);
        EXPECT_EQ(written.faces, 20);
        ASSERT_EQ(shape.count, 40u);
        for (std::uint32_t t = 0; t < shape.count; ++t) {
            const float* n = &shape.normals[3 * t];
            EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-6);
            EXPECT_GT(n[p.upAxis] * p.upSign, 0.3f) << "preset " << p.index << " triangle " << t;
        }
    }
    // "Blender" writes (-east, elevation, north): the first corner of the first
    // triangle is the bottom-left of the north-west cell, at east 0, north 3.
    StlOptions blender;
    blender.presetIndex = 1;
    TerrainGrid g = bumpyGrid(5, 4);
    const float elevation = static_cast<float>(g.height(1, 0));
    const StlShape shape = writeStl(dir / "b.stl", g, {}, blender);
    EXPECT_EQ(shape.corners[0], -0.0f);
    EXPECT_EQ(shape.corners[1], elevation);
    EXPECT_EQ(shape.corners[2], 3.0f);
}

TEST(StlWriter, SpooledVerticesGiveTheSameFile) {
    ScratchDir dir;
    StlOptions inMemory;
    StlOptions spooled;
    spooled.memoryBudget = 200;  // a few vertices: everything else through the spool file and its pages
    spooled.spoolPath = dir / "spool.tmp";
    for (bool triangles : {false, true}) {
        StreamChoices choices;
        choices.triangles = triangles;
        writeStl(dir / "a.stl", bumpyGrid(120, 40), choices, inMemory);
        writeStl(dir / "b.stl", bumpyGrid(120, 40), choices, spooled);
        EXPECT_EQ(readFile(dir / "a.stl"), readFile(dir / "b.stl"));
        EXPECT_FALSE(std::filesystem::exists(dir / "spool.tmp"));
    }
}

TEST(StlWriter, CancelAndLimits) {
    ScratchDir dir;
    std::atomic<bool> cancel{true};
    StlWriter writer(&cancel, nullptr);
    ASSERT_TRUE(writer.open(dir / "c.stl", {}));
    TerrainGrid g = bumpyGrid(3, 3);
    streamTerrain(g, writer, {});
    const MeshWritten w = writer.end();
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.faces, 0);
    const StlShape shape = inspectStl(readFile(dir / "c.stl"));
    EXPECT_TRUE(shape.sound) << shape.problem;
    EXPECT_EQ(shape.count, 0u);

    EXPECT_TRUE(stlFits(2147483647, 4));
    EXPECT_FALSE(stlFits(2147483648, 4));
    EXPECT_TRUE(stlFits(4294967295, 3));
    EXPECT_FALSE(stlFits(4294967296, 3));

    if (!std::filesystem::exists("/dev/full")) MORVALE_SKIP_UNLESS_CI("no /dev/full to fail writes");
    StlWriter full(nullptr, nullptr);
    StlOptions options;
    options.spoolPath = dir / "full.tmp";
    ASSERT_TRUE(full.open("/dev/full", options));
    TerrainGrid big = bumpyGrid(200, 100);
    streamTerrain(big, full, {});
    EXPECT_FALSE(full.end().ok);
}
