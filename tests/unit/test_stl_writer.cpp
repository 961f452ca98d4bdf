#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

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

}  // namespace

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

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fail writes";
    StlWriter full(nullptr, nullptr);
    StlOptions options;
    options.spoolPath = dir / "full.tmp";
    ASSERT_TRUE(full.open("/dev/full", options));
    TerrainGrid big = bumpyGrid(200, 100);
    streamTerrain(big, full, {});
    EXPECT_FALSE(full.end().ok);
}
