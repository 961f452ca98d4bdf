#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "glb/glb_writer.h"
#include "mesh_file_shape.h"
#include "terrain_stream.h"
#include "test_support.h"

using namespace morvale;
using namespace testing_support;

namespace {

struct CountingProgress final : ProgressReporter {
    int steps = 0;
    void showPreparing() override {}
    void beginStage(std::string_view, int) override {}
    void step() override { ++steps; }
};

// One quad (or two triangles) per cell of a cols x rows grid with the given corner heights.
TerrainGrid rampGrid(int cols, int rows) {
    TerrainGrid g(cols, rows);
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c) g.height(r, c) = 10.0 + c + 2.0 * r;
    return g;
}

GlbShape writeGlb(const std::filesystem::path& path, TerrainGrid g, const StreamChoices& choices,
                  const GlbOptions& options = {}, MeshWritten* written = nullptr) {
    GlbWriter writer(nullptr, nullptr);
    EXPECT_TRUE(writer.open(path, options));
    streamTerrain(g, writer, choices);
    const MeshWritten w = writer.end();
    EXPECT_TRUE(w.ok);
    if (written) *written = w;
    GlbShape shape = inspectGlb(readFile(path));
    EXPECT_TRUE(shape.sound) << shape.problem;
    return shape;
}

}  // namespace

TEST(GlbWriter, AxesOffsetsAndQuadSplit) {
    ScratchDir dir;
    TerrainGrid g(1, 1);
    g.west = 500000.25;
    g.south = 4000000.5;
    g.height(0, 0) = 101.0;  // north-west corner
    GlbOptions options;
    options.offset[0] = 500000.123456789;
    options.offset[1] = 4000000.987654321;
    options.offset[2] = 100.0;
    MeshWritten written;
    const GlbShape shape = writeGlb(dir / "quad.glb", g, {}, options, &written);
    EXPECT_EQ(written.vertices, 4);
    EXPECT_EQ(written.faces, 1);
    // The offset goes to the node exactly, in glTF axes (east, elevation, -north).
    EXPECT_EQ(shape.translation[0], 500000.123456789);
    EXPECT_EQ(shape.translation[1], 100.0);
    EXPECT_EQ(shape.translation[2], -4000000.987654321);
    // Vertex 1 is the north-west corner: small float coordinates relative to the offset.
    EXPECT_FLOAT_EQ(shape.positions[0], static_cast<float>(500000.25 - 500000.123456789));
    EXPECT_FLOAT_EQ(shape.positions[1], 1.0f);
    EXPECT_FLOAT_EQ(shape.positions[2], static_cast<float>(-(4000001.5 - 4000000.987654321)));
    // The quad bl, br, tr, tl = 3, 4, 2, 1 split on its bl-tr diagonal.
    EXPECT_EQ(shape.indices, (std::vector<std::uint32_t>{2, 3, 1, 2, 1, 0}));
}

TEST(GlbWriter, TrianglesFaceUpInGltfAxes) {
    ScratchDir dir;
    for (bool triangles : {false, true}) {
        StreamChoices choices;
        choices.triangles = triangles;
        const GlbShape shape = writeGlb(dir / "ramp.glb", rampGrid(3, 2), choices);
        ASSERT_EQ(shape.indices.size(), 3u * 12);
        for (std::size_t t = 0; t < shape.indices.size(); t += 3) {
            const float* a = &shape.positions[3 * shape.indices[t]];
            const float* b = &shape.positions[3 * shape.indices[t + 1]];
            const float* c = &shape.positions[3 * shape.indices[t + 2]];
            // y of (b - a) x (c - a): positive when counter-clockwise seen from above (+Y).
            const double ny = double(b[2] - a[2]) * (c[0] - a[0]) - double(b[0] - a[0]) * (c[2] - a[2]);
            EXPECT_GT(ny, 0.0) << "triangle " << t / 3;
        }
    }
}

TEST(GlbWriter, NormalsAndTextureCoordinates) {
    ScratchDir dir;
    StreamChoices choices;
    choices.uv = true;
    choices.normals = NormalLayout::perVertex;  // the stream sends (0.6, 0, 0.8) for every vertex
    GlbShape shape = writeGlb(dir / "attributes.glb", rampGrid(2, 2), choices);
    ASSERT_EQ(shape.normals.size(), 27u);
    EXPECT_FLOAT_EQ(shape.normals[0], 0.6f);
    EXPECT_FLOAT_EQ(shape.normals[1], 0.8f);
    EXPECT_FLOAT_EQ(shape.normals[2], -0.0f);
    // Vertex 1, the north-west corner, has v = 1 north: glTF's v = 0 is the image's top.
    ASSERT_EQ(shape.uvs.size(), 18u);
    EXPECT_FLOAT_EQ(shape.uvs[0], 0.0f);
    EXPECT_FLOAT_EQ(shape.uvs[1], 0.0f);
    EXPECT_FLOAT_EQ(shape.uvs[16], 1.0f);  // the south-east corner, last
    EXPECT_FLOAT_EQ(shape.uvs[17], 1.0f);

    choices.normals = NormalLayout::shared;  // the default shared normal: up
    shape = writeGlb(dir / "shared.glb", rampGrid(2, 1), choices);
    ASSERT_EQ(shape.normals.size(), 18u);
    for (std::size_t v = 0; v < 6; ++v) EXPECT_EQ(shape.normals[3 * v + 1], 1.0f);
}

TEST(GlbWriter, EmbedsPngOrJpegOnlyWithTextureCoordinates) {
    ScratchDir dir;
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "rest of a picture";
    const std::string jpeg = "\xFF\xD8\xFF\xE0 jpeg";
    writeFile(dir / "a.png", png);
    writeFile(dir / "b.jpg", jpeg);
    writeFile(dir / "c.txt", "not a picture");
    struct Case {
        const char* image;
        bool uv;
        TextureStatus status;
        const char* mime;
        std::string bytes;
    } cases[] = {
        {"a.png", true, TextureStatus::embedded, "image/png", png},
        {"b.jpg", true, TextureStatus::embedded, "image/jpeg", jpeg},
        {"c.txt", true, TextureStatus::notPngOrJpeg, "", ""},
        {"missing.png", true, TextureStatus::unreadable, "", ""},
        {"a.png", false, TextureStatus::noUv, "", ""},
    };
    for (const Case& c : cases) {
        GlbWriter writer(nullptr, nullptr);
        GlbOptions options;
        options.texture = dir / c.image;
        ASSERT_TRUE(writer.open(dir / "t.glb", options));
        TerrainGrid g = rampGrid(2, 2);
        StreamChoices choices;
        choices.uv = c.uv;
        streamTerrain(g, writer, choices);
        EXPECT_TRUE(writer.end().ok);
        EXPECT_EQ(writer.textureStatus(), c.status) << c.image;
        const GlbShape shape = inspectGlb(readFile(dir / "t.glb"));
        ASSERT_TRUE(shape.sound) << c.image << ": " << shape.problem;
        EXPECT_EQ(shape.imageMime, c.mime) << c.image;
        EXPECT_EQ(shape.imageBytes, c.bytes) << c.image;
        EXPECT_EQ(shape.vertexCount, 9) << c.image;  // the image's odd length did not shift the vertices
    }
}

TEST(GlbWriter, CancelLeavesAValidFile) {
    ScratchDir dir;
    std::atomic<bool> cancel{false};
    CountingProgress progress;
    // Cancelled before the stream: a scene with an empty node.
    {
        cancel = true;
        GlbWriter writer(&cancel, &progress);
        ASSERT_TRUE(writer.open(dir / "c.glb", {}));
        TerrainGrid g = rampGrid(4, 4);
        streamTerrain(g, writer, {});
        const MeshWritten w = writer.end();
        EXPECT_TRUE(w.ok);
        EXPECT_EQ(w.faces, 0);
        const GlbShape shape = inspectGlb(readFile(dir / "c.glb"));
        EXPECT_TRUE(shape.sound) << shape.problem;
        EXPECT_FALSE(shape.hasMesh);
    }
    // Cancelled after the second face row: the rows before it stay, each stepped once.
    cancel = false;
    GlbWriter writer(&cancel, &progress);
    ASSERT_TRUE(writer.open(dir / "d.glb", {}));
    CancelAfter sink(writer, cancel, 5 + 2);  // five vertex rows, two face rows
    TerrainGrid g = rampGrid(4, 4);
    StreamChoices choices;
    choices.stepAfterRows = true;
    progress.steps = 0;
    streamTerrain(g, sink, choices);
    const MeshWritten w = sink.end();
    EXPECT_EQ(w.faces, 8);
    EXPECT_EQ(w.vertices, 25);
    EXPECT_EQ(progress.steps, 5 + 2);  // every vertex row, two face rows
    const GlbShape shape = inspectGlb(readFile(dir / "d.glb"));
    EXPECT_TRUE(shape.sound) << shape.problem;
    EXPECT_EQ(shape.indices.size(), 8u * 6);
}

TEST(GlbWriter, KeptVerticesRetakeTheirBounds) {
    ScratchDir dir;
    GlbWriter writer(nullptr, nullptr);
    ASSERT_TRUE(writer.open(dir / "k.glb", {}));
    MeshInfo info;
    info.faceCorners = 3;
    info.verticesAhead = true;
    writer.begin(info);
    // The last vertex holds the extremes and is cut by keepVertices.
    const double position[] = {0, 0, 1, 1, 0, 2, 0, 1, 3, 50, 60, 70};
    VertexBatch batch;
    batch.count = 4;
    batch.position = position;
    writer.vertices(batch);
    writer.writingStage();
    writer.keepVertices(3);
    writer.endVertices();
    const std::int64_t faces[] = {1, 2, 3, 1, 2, 4};  // the second names a vertex that is gone
    FaceBatch fb;
    fb.count = 2;
    fb.vertex = faces;
    writer.faces(fb);
    const MeshWritten w = writer.end();
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.vertices, 3);
    EXPECT_EQ(w.faces, 1);
    const GlbShape shape = inspectGlb(readFile(dir / "k.glb"));
    ASSERT_TRUE(shape.sound) << shape.problem;  // min and max are checked against the data there
    EXPECT_EQ(shape.vertexCount, 3);
}

TEST(GlbWriter, LimitsAndWriteErrors) {
    MeshInfo quads;
    EXPECT_EQ(glbFits(1000, 1000, quads, 0), GlbFit::fits);
    EXPECT_EQ(glbFits(std::int64_t{1} << 32, 1, quads, 0), GlbFit::tooManyVertices);
    EXPECT_EQ(glbFits((std::int64_t{1} << 32) - 1, 1, quads, 0), GlbFit::fileTooLarge);  // 48 GiB of positions
    EXPECT_EQ(glbFits(1000, std::int64_t{200} << 20, quads, 0), GlbFit::fileTooLarge);   // 200 Mi quads: 4.8 GiB
    EXPECT_EQ(glbFits(1000, std::int64_t{170} << 20, quads, 0), GlbFit::fits);
    EXPECT_STRNE(glbFitMessage(GlbFit::fileTooLarge), "");

    // A coordinate past float32's range fails the write but keeps the file readable.
    ScratchDir dir;
    {
        GlbWriter writer(nullptr, nullptr);
        ASSERT_TRUE(writer.open(dir / "far.glb", {}));
        TerrainGrid g = rampGrid(2, 2);
        g.height(1, 1) = 1e39;
        streamTerrain(g, writer, {});
        EXPECT_FALSE(writer.end().ok);
        const GlbShape shape = inspectGlb(readFile(dir / "far.glb"));
        EXPECT_TRUE(shape.sound) << shape.problem;
    }

    if (!std::filesystem::exists("/dev/full")) MORVALE_SKIP_UNLESS_CI("no /dev/full to fail writes");
    GlbWriter writer(nullptr, nullptr);
    ASSERT_TRUE(writer.open("/dev/full", {}));
    TerrainGrid g = rampGrid(40, 40);
    streamTerrain(g, writer, {});
    EXPECT_FALSE(writer.end().ok);
}

// A .gltf holds the GLB's JSON, its buffer naming NAME.bin, and NAME.bin the
// GLB's BIN chunk; either both files are there or neither.
TEST(GlbWriter, GltfHoldsTheGlbDocumentAndBufferApart) {
    ScratchDir dir;
    writeFile(dir / "a.png", std::string("\x89PNG\r\n\x1a\n", 8) + "odd length");
    StreamChoices choices;
    choices.uv = true;
    choices.normals = NormalLayout::perVertex;
    GlbOptions options;
    options.texture = dir / "a.png";
    writeGlb(dir / "t.glb", rampGrid(3, 2), choices, options);
    options.container = GltfContainer::separate;
    GlbWriter writer(nullptr, nullptr);
    ASSERT_TRUE(writer.open(dir / "t w.gltf", options));
    TerrainGrid g = rampGrid(3, 2);
    streamTerrain(g, writer, choices);
    EXPECT_TRUE(writer.end().ok);

    const std::string glb = readFile(dir / "t.glb");
    ASSERT_GT(glb.size(), 28u);
    const std::uint32_t jsonLength = loadU32(reinterpret_cast<const unsigned char*>(glb.data()) + 12);
    std::string json = glb.substr(20, jsonLength);
    json.erase(json.find_last_not_of(' ') + 1);
    json.insert(json.size() - 3, R"(,"uri":"t%20w.bin")");
    EXPECT_EQ(readFile(dir / "t w.gltf"), json);
    EXPECT_EQ(readFile(dir / "t w.bin"), glb.substr(20 + jsonLength + 8));

    // No mesh, no buffer: the .gltf alone.
    std::atomic<bool> cancel{true};
    GlbWriter cancelled(&cancel, nullptr);
    ASSERT_TRUE(cancelled.open(dir / "c.gltf", options));
    streamTerrain(g, cancelled, choices);
    EXPECT_TRUE(cancelled.end().ok);
    Json document;
    ASSERT_TRUE(parseJson(readFile(dir / "c.gltf"), document));
    EXPECT_EQ(document.get("buffers"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir / "c.bin"));
    // A buffer that cannot be created: no .gltf either.
    std::filesystem::create_directory(dir / "f.bin");
    GlbWriter refused(nullptr, nullptr);
    EXPECT_FALSE(refused.open(dir / "f.gltf", options));
    EXPECT_FALSE(std::filesystem::exists(dir / "f.gltf"));
}
