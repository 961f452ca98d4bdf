#include "mesh/axis_order.h"
#include "obj/obj_writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <iterator>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "obj/obj_mesh_writer.h"
#include "plain_lines.h"
#include "test_support.h"

namespace {

using namespace morvale;

std::string vertexLine(double a, double b, double c) {
    char line[vertexLineMaxChars];
    return std::string(line, formatVertexLine(line, a, b, c));
}

std::string faceLine(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    char line[faceLineMaxChars];
    return std::string(line, formatFaceLine(line, a, b, c, d));
}

TEST(ObjWriter, FileOfAnEmptyWindowIsExact) {
    testing_support::ScratchDir dir;
    OutputFile output;
    ASSERT_TRUE(output.open(dir / "empty.obj"));
    std::tm startedAt{};
    startedAt.tm_year = 2024 - 1900;
    startedAt.tm_mon = 2;
    startedAt.tm_mday = 7;
    startedAt.tm_hour = 9;
    startedAt.tm_min = 5;
    writeObjHeaderAt(output, objHeaderText(), "my dem \xC3\xA9.asc", startedAt);
    writeVertexCount(output, 0);
    writeObjectAndGroup(output, "my dem");
    writeQuadCount(output, 0);
    writeObjectAndGroup(output, "");
    writeObjectAndGroup(output, std::string_view("cut\0here", 8));
    writeVertexCount(output, 5'000'000'000);
    ASSERT_TRUE(output.close());
    EXPECT_EQ(testing_support::readFile(dir / "empty.obj"),
              "# Morvale (v0.4)\r\n# " + std::string(authorSiteAddress) +
                  "\r\n#\r\n"
                  "# File conversion started at: 2024-03-07, 09:05\r\n"
                  "# Original input filename: my dem \xC3\xA9.asc\r\n\r\n\r\n"
                  "# 0 vertices\r\n\r\n"
                  "o my dem\r\ng my dem\r\n"
                  "# 0 quads"
                  "o \r\ng \r\n"
                  "o cut\r\ng cut\r\n"
                  "# 5000000000 vertices\r\n\r\n");
}

TEST(ObjWriter, LineFormats) {
    EXPECT_EQ(vertexLine(1e20, 123456.78905, -7), "v 100000000000000000000.0000 123456.7891 -7.0000\r\n");
    EXPECT_EQ(vertexLine(-DBL_MAX, -DBL_MAX, -DBL_MAX).size(), vertexLineMaxChars);
    EXPECT_EQ(faceLine(8'000'000'004, 8'000'000'003, 2, 1), "f 8000000004 8000000003 2 1\r\n");
    EXPECT_EQ(faceLine(INT64_MIN, INT64_MIN, INT64_MIN, INT64_MIN).size(), faceLineMaxChars);
}

// The OBJ writer as a mesh sink: the axis order, negative zeros, long
// coordinates, numbers past 32 bits, triangles, and the counts it writes.
TEST(ObjWriter, MeshStreamBecomesObjText) {
    for (const int corners : {4, 3}) {
        testing_support::ScratchDir dir;
        OutputFile output;
        ASSERT_TRUE(output.open(dir / "mesh.obj"));
        std::atomic<bool> cancel{false};
        SilentProgress progress;
        const std::string header = objHeaderText();
        {
            ObjMeshWriter writer(output, dir / "mesh.obj", ObjTexts{header, "in.asc", "terrain"}, 1, cancel, progress,
                                 true);
            MeshInfo info;
            info.faceCorners = corners;
            writer.begin(info);
            const double positions[] = {0.0, 2.5, -0.00001, 1e20, 123456.78905, -7, 0.0, 2.5, -0.00001};
            writer.vertices(VertexBatch{.count = 2, .position = positions});
            writer.vertices(VertexBatch{.count = 1, .position = positions + 6, .cancellable = true});
            writer.endVertices();
            const std::int64_t quads[] = {4, 3, 2, 1, 8'000'000'004, 8'000'000'003, 2, 1};
            const std::int64_t triangles[] = {4, 3, 2, 8'000'000'004, 8'000'000'003, 2};
            writer.faces(FaceBatch{.count = 2, .vertex = corners == 4 ? quads : triangles, .cancellable = true});
            const MeshWritten written = writer.end();
            EXPECT_EQ(written.vertices, 3);
            EXPECT_EQ(written.faces, 2);
            EXPECT_TRUE(written.ok);
        }
        ASSERT_TRUE(output.close());
        const std::string text = testing_support::readFile(dir / "mesh.obj");
        const std::string faceText =
            corners == 4 ? "f 4 3 2 1\r\nf 8000000004 8000000003 2 1\r\n" : "f 4 3 2\r\nf 8000000004 8000000003 2\r\n";
        EXPECT_EQ(text.substr(text.find("in.asc\r\n\r\n\r\n") + 12),
                  "v -0.0000 -0.0000 2.5000\r\n"
                  "v -100000000000000000000.0000 -7.0000 123456.7891\r\n"
                  "v -0.0000 -0.0000 2.5000\r\n"
                  "# 3 vertices\r\n\r\no terrain\r\ng terrain\r\n" +
                      faceText + "# 2 quads");
    }
}

// A triangle stream with attributes: each vertex's "v", "vt" and "vn" side
// by side, the normal turned like the position, the material lines in place,
// faces naming all three; a shared normal is written once and named by all.
TEST(ObjWriter, AttributeStreamOfTriangles) {
    for (const NormalLayout normals : {NormalLayout::perVertex, NormalLayout::shared}) {
        testing_support::ScratchDir dir;
        OutputFile output;
        ASSERT_TRUE(output.open(dir / "mesh.obj"));
        std::atomic<bool> cancel{false};
        SilentProgress progress;
        const std::string header = objHeaderText();
        {
            ObjMeshWriter writer(output, dir / "mesh.obj", ObjTexts{header, "in.asc", "terrain"}, 1, cancel, progress,
                                 false);
            writer.useMaterial("mtllib mesh.mtl\n", "usemtl terrain\n");
            MeshInfo info;
            info.faceCorners = 3;
            info.uv = true;
            info.normals = normals;
            info.sharedNormal[0] = 0.6;
            info.sharedNormal[2] = 0.8;
            writer.begin(info);
            const double positions[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
            const double perVertex[] = {0.6, 0, 0.8, 0, -0.6, 0.8, 0, 0, 1};
            const double uv[] = {0, 1, 0.5, 0.25, 1.0 / 3, 1e-6};
            writer.vertices(VertexBatch{.count = 3,
                                        .position = positions,
                                        .normal = normals == NormalLayout::perVertex ? perVertex : nullptr,
                                        .uv = uv});
            writer.endVertices();
            const std::int64_t triangles[] = {1, 2, 3, 3, 2, 1};
            writer.faces(FaceBatch{.count = 2, .vertex = triangles});
            EXPECT_EQ(writer.end().vertices, 3);
        }
        ASSERT_TRUE(output.close());
        const std::string text = testing_support::readFile(dir / "mesh.obj");
        const bool shared = normals == NormalLayout::shared;
        const std::string expected =
            std::string("mtllib mesh.mtl\r\n") + (shared ? "vn -0.6000 0.8000 0.0000\r\n" : "") +
            "v -1.0000 3.0000 2.0000\r\nvt 0.000000 1.000000\r\n" + (shared ? "" : "vn -0.6000 0.8000 0.0000\r\n") +
            "v -4.0000 6.0000 5.0000\r\nvt 0.500000 0.250000\r\n" + (shared ? "" : "vn -0.0000 0.8000 -0.6000\r\n") +
            "v -7.0000 9.0000 8.0000\r\nvt 0.333333 0.000001\r\n" + (shared ? "" : "vn -0.0000 1.0000 0.0000\r\n") +
            "# 3 vertices\r\n\r\no terrain\r\ng terrain\r\nusemtl terrain\r\n" +
            (shared ? "f 1/1/1 2/2/1 3/3/1\r\nf 3/3/1 2/2/1 1/1/1\r\n"
                    : "f 1/1/1 2/2/2 3/3/3\r\nf 3/3/3 2/2/2 1/1/1\r\n") +
            "# 2 quads";
        EXPECT_EQ(text.substr(text.find("in.asc\r\n\r\n\r\n") + 12), expected);
    }
}

// Floating planes mixed with lone vertices, batches cut anywhere (through a
// plane too), rows and columns met again after others, long texts: every
// line is the plain formatter's. The writer reuses a plane's edge texts for
// the next plane; a lone vertex or a cut in between must not leave it stale.
TEST(ObjWriter, PlanesAndLoneVerticesInAnyMix) {
    const double edges[] = {0.0, 2.5, 5.0, 7.5, -1e20, -1e40, 1e-5, 123456.78905};
    std::mt19937_64 random(11);
    const auto edge = [&] { return edges[random() % std::size(edges)]; };
    std::vector<double> positions;
    for (int item = 0; item < 4000; ++item) {
        const double z = random() % 8 == 0 ? 1e33 : static_cast<double>(random() % 1000) / 8;
        if (random() % 4 == 0) {
            positions.insert(positions.end(), {edge(), edge(), z});
            continue;
        }
        // Mostly the next plane of the row: its west edge the last east edge.
        const std::size_t k = positions.size();
        const bool next = k >= 12 && random() % 4 != 0;
        const double west = next ? positions[k - 9] : edge(), east = edge();
        const double north = next ? positions[k - 11] : edge(), south = next ? positions[k - 2] : edge();
        positions.insert(positions.end(), {west, north, z, east, north, z, east, south, z, west, south, z});
    }
    const std::size_t count = positions.size() / 3;
    for (const std::int32_t preset : {0, 1, 4}) {
        std::string expected;
        for (std::size_t i = 0; i < count; ++i) {
            const double* p = &positions[3 * i];
            const VertexCoordinates c = applyAxisOrder(preset, p[0], p[1], p[2]);
            expected += vertexLine(c.first, c.second, c.third);
        }
        testing_support::ScratchDir dir;
        OutputFile output;
        ASSERT_TRUE(output.open(dir / "mix.obj"));
        std::atomic<bool> cancel{false};
        SilentProgress progress;
        const std::string header = objHeaderText();
        {
            ObjMeshWriter writer(output, dir / "mix.obj", ObjTexts{header, "in.asc", "t"}, preset, cancel, progress,
                                 false);
            writer.begin(MeshInfo{});
            for (std::size_t done = 0; done < count;) {
                const std::size_t n = std::min<std::size_t>(count - done, 1 + random() % 90);
                writer.vertices(VertexBatch{.count = n, .position = &positions[3 * done]});
                done += n;
            }
            writer.endVertices();
            writer.end();
        }
        ASSERT_TRUE(output.close());
        const std::string text = testing_support::readFile(dir / "mix.obj");
        const std::size_t from = text.find("in.asc\r\n\r\n\r\n") + 12;
        EXPECT_EQ(text.substr(from, text.find("# ", from) - from), expected) << "preset " << preset;
    }
}

TEST(ObjWriter, BigOutputsArriveWholeAcrossBufferRefills) {
    testing_support::ScratchDir dir;
    OutputFile output;
    ASSERT_TRUE(output.open(dir / "big.obj"));
    std::string expected;
    for (int i = 0; i < 60'000; ++i) {
        writeVertexLine(output, i * 0.5, -i, 1e6 + i);
        expected += vertexLine(i * 0.5, -i, 1e6 + i);
        if (i == 30'000) {  // a block larger than the whole buffer
            std::string block(3 << 20, 'x');
            output.write(block);
            expected += block;
        }
        writeFaceLine(output, i, i + 1, i + 2, i + 3);
        expected += faceLine(i, i + 1, i + 2, i + 3);
    }
    output.writeText("a\nb\n");
    expected += "a\r\nb\r\n";
    ASSERT_TRUE(output.close());
    EXPECT_EQ(testing_support::readFile(dir / "big.obj"), expected);
}

TEST(ObjWriter, FailuresAreReported) {
    testing_support::ScratchDir dir;
    OutputFile output;
    EXPECT_FALSE(output.open(dir / "missing folder" / "x.obj"));
    EXPECT_FALSE(output.isOpen());
#ifdef __linux__
    ASSERT_TRUE(output.open("/dev/full"));
    writeObjHeader(output, objHeaderText(), "name.asc");
    EXPECT_FALSE(output.close());
#endif
}

}  // namespace

namespace {

// The OBJ text after the header of a mesh with per-vertex normals and
// texture coordinates in batches of the given sizes, written threaded or not,
// the vertex block written ahead and cut after `kept` vertices (or not ahead).
std::string attributeMesh(const std::vector<std::size_t>& batches, bool threaded, std::int64_t kept) {
    std::mt19937_64 random(23);
    testing_support::ScratchDir dir;
    OutputFile output;
    EXPECT_TRUE(output.open(dir / "mesh.obj"));
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    const std::string header = objHeaderText();
    {
        ObjMeshWriter writer(output, dir / "mesh.obj", ObjTexts{header, "in.asc", "t"}, 2, cancel, progress, threaded);
        MeshInfo info;
        info.uv = true;
        info.normals = NormalLayout::perVertex;
        info.verticesAhead = kept >= 0;
        writer.begin(info);
        for (const std::size_t count : batches) {
            std::vector<double> position, normal, uv;
            for (std::size_t k = 0; k < count; ++k) {
                const double z = static_cast<double>(random() % 100000) / 64;
                position.insert(position.end(), {static_cast<double>(k), -static_cast<double>(k % 7), z});
                // Now and then lines too long for the helper's records.
                const bool huge = random() % 50 == 0;
                normal.insert(normal.end(), {huge ? -1e300 : 0.6, 0.0, huge ? 1e-300 : 0.8});
                uv.insert(uv.end(), {static_cast<double>(k) / 4096, random() % 60 == 0 ? 123456789.5 : 0.25});
            }
            writer.vertices(
                VertexBatch{.count = count, .position = position.data(), .normal = normal.data(), .uv = uv.data()});
        }
        if (kept >= 0) {
            writer.writingStage();
            writer.keepVertices(kept);
        }
        writer.endVertices();
        const std::int64_t quad[] = {1, 2, 3, 4};
        writer.faces(FaceBatch{.count = 1, .vertex = quad});
        writer.end();
    }
    EXPECT_TRUE(output.close());
    const std::string text = testing_support::readFile(dir / "mesh.obj");
    return text.substr(text.find("in.asc\r\n"));
}

// With a helper thread, vertex batches are held back while it formats their
// attribute lines: the bytes must be those of one thread, whatever the batch
// sizes (larger than the helper takes too), long lines and a cut block.
TEST(ObjWriter, AttributeLinesOfAHelperThreadAreThoseOfOneThread) {
    const std::vector<std::size_t> batches = {4096, 1, 3000, 5000, 4096, 17};
    for (const std::int64_t kept : {std::int64_t{-1}, std::int64_t{16210}, std::int64_t{4097}}) {
        const std::string one = attributeMesh(batches, false, kept);
        // Not EXPECT_EQ: a diff of texts this long takes minutes.
        EXPECT_TRUE(attributeMesh(batches, true, kept) == one) << kept;
        EXPECT_NE(one.find(kept == 4097 ? "# 4097 vertices" : "# 16210 vertices"), std::string::npos);
    }
}

}  // namespace
