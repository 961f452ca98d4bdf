// The binary outputs read by real readers: the Khronos glTF validator (no
// errors, no warnings), admesh (a closed solid with the expected volume) and
// assimp (the expected counts). A reader that is not installed skips its test
// with a note; tools/setup-deps.sh installs all three.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <regex>

#include "glb/glb_writer.h"
#include "mesh/solid/solid_filter.h"
#include "stl/stl_writer.h"
#include "terrain_stream.h"
#include "test_support.h"
#include "tool_run.h"
#include "tiles/tile_jobs.h"

using namespace morvale;
using namespace testing_support;

namespace {

// A number following `label` and blanks or a colon in a reader's report; NaN when absent.
double reported(const std::string& output, const std::string& label) {
    std::smatch match;
    if (!std::regex_search(output, match, std::regex(label + R"([ :]+(-?[0-9.]+))"))) return std::nan("");
    return std::stod(match[1]);
}

TerrainGrid testGrid(bool holes) {
    TerrainGrid g(9, 7);
    for (int r = 0; r <= g.rows; ++r)
        for (int c = 0; c <= g.cols; ++c) g.height(r, c) = 100.0 + 8.0 * std::sin(0.6 * c) * std::cos(0.4 * r);
    if (holes)
        for (auto [r, c] : {std::pair{3, 3}, {3, 4}, {4, 3}, {0, 8}, {6, 0}})
            g.data[static_cast<std::size_t>(r * g.cols + c)] = false;
    g.cell = 30.0;
    return g;
}

// A 2 x 2 RGB PNG with a stored (uncompressed) deflate block.
std::string tinyPng() {
    auto crc = [](const std::string& bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(static_cast<std::uint32_t>(data.size())) + type + data + be32(crc(type + data));
    };
    const std::string raw = std::string("\0\xFF\0\0\0\xFF\0", 7) + std::string("\0\0\0\xFF\xFF\xFF\xFF", 7);
    std::uint32_t a = 1, b = 0;
    for (unsigned char ch : raw) {
        a = (a + ch) % 65521;
        b = (b + a) % 65521;
    }
    const std::string zlib = std::string("\x78\x01\x01", 3) + std::string{static_cast<char>(raw.size()), 0} +
                             std::string{static_cast<char>(~raw.size()), static_cast<char>(0xFF)} + raw +
                             be32(b << 16 | a);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", be32(2) + be32(2) + std::string("\x08\x02\0\0\0", 5)) +
           chunk("IDAT", zlib) + chunk("IEND", "");
}

bool validatorInstalled(const std::filesystem::path& modules) {
    return toolInstalled("node") && std::filesystem::exists(modules / "gltf-validator");
}
constexpr const char* validatorMissing =
    "node or the glTF validator is not installed (tools/setup-deps.sh installs them)";

struct GlbCase {
    const char* name;
    StreamChoices choices;
    bool holes = false;
    bool offsets = false;
    bool texture = false;
    bool solid = false;
    bool cancelled = false;
};

}  // namespace

TEST(MeshReaders, GltfValidatorAndAssimpAcceptEveryGlbAndGltf) {
    const std::filesystem::path modules = MORVALE_NODE_MODULES;
    if (!validatorInstalled(modules)) MORVALE_SKIP_UNLESS_CI(validatorMissing);
    ScratchDir dir;
    writeFile(dir / "drape.png", tinyPng());
    StreamChoices triangles, attributes, shared;
    triangles.triangles = true;
    attributes.uv = true;
    attributes.normals = NormalLayout::perVertex;
    shared.normals = NormalLayout::shared;
    const GlbCase cases[] = {
        {"quads", {}},
        {"holes-triangles", triangles, true},
        {"normals-uv", attributes, true},
        {"shared-normal", shared},
        {"offsets", attributes, false, true},
        {"texture", attributes, true, true, true},
        {"solid", attributes, true, false, true, true},
        {"solid-triangles", triangles, true, true, false, true},
        {"cancelled", attributes, false, true, true, false, true},
    };
    std::string files;
    for (const GlbCase& c : cases) {
        for (const GltfContainer container : {GltfContainer::binary, GltfContainer::separate}) {
            std::atomic<bool> cancel{c.cancelled};
            GlbWriter writer(&cancel, nullptr);
            GlbOptions options;
            if (c.offsets) {
                options.offset[0] = 652713.25;
                options.offset[1] = 5172045.75;
                options.offset[2] = 88.5;
            }
            if (c.texture) options.texture = dir / "drape.png";
            options.container = container;
            const char* extension = container == GltfContainer::binary ? ".glb" : ".gltf";
            const std::filesystem::path path = dir / (std::string(c.name) + extension);
            ASSERT_TRUE(writer.open(path, options));
            TerrainGrid g = testGrid(c.holes);
            g.west = options.offset[0];
            g.south = options.offset[1];
            SolidOptions solidOptions;
            solidOptions.baseElevation = 80.0;
            SolidFilter solid(writer, solidOptions, &cancel);
            MeshSink& sink = c.solid ? static_cast<MeshSink&>(solid) : writer;
            streamTerrain(g, sink, c.choices);
            const MeshWritten written = sink.end();
            ASSERT_TRUE(written.ok) << c.name;
            files.append(1, ' ').append(quoted(path));

            if (c.cancelled || !toolInstalled("assimp")) continue;
            const ToolRun info = runTool("assimp info " + quoted(path));
            // assimp drops vertices no face names: a solid has none (base
            // copies only of the outline's vertices, under the walls).
            EXPECT_EQ(reported(info.output, "Vertices"), static_cast<double>(written.vertices))
                << c.name << info.output;
            // A solid is triangles, whatever its surface was.
            const double trianglesWritten =
                static_cast<double>(written.faces) * (c.choices.triangles || c.solid ? 1 : 2);
            EXPECT_EQ(reported(info.output, "Faces"), trianglesWritten) << c.name;
        }
    }
    const ToolRun report = runTool("node " + quoted(std::filesystem::path(MORVALE_TOOLS_DIR) / "gltf-validate.js") +
                                   " " + quoted(modules) + files);
    EXPECT_EQ(report.status, 0) << report.output;
    EXPECT_EQ(std::count(report.output.begin(), report.output.end(), '\n'), 2 * std::ptrdiff_t{std::size(cases)})
        << report.output;
    if (!toolInstalled("assimp"))
        MORVALE_SKIP_UNLESS_CI("assimp (Debian assimp-utils) is not installed: counts not checked");
}

// A tile of a set: its header is the merged grid's, its mesh a window of it,
// draped with its share of the set's image and offset by the set's centre.
TEST(MeshReaders, GltfValidatorAcceptsTheTilesOfASet) {
    const std::filesystem::path modules = MORVALE_NODE_MODULES;
    if (!validatorInstalled(modules)) MORVALE_SKIP_UNLESS_CI(validatorMissing);
    ScratchDir dir;
    writeFile(dir / "drape.png", tinyPng());
    writeFile(dir / "west.asc",
              "ncols 3\nnrows 2\nxllcorner 652710\nyllcorner 5172040\ncellsize 2\n"
              "NODATA_value -9999\n81.5 82 83\n84 -9999 86.25\n");
    writeFile(dir / "east.asc",
              "ncols 2\nnrows 2\nxllcorner 652716\nyllcorner 5172040\ncellsize 2\n"
              "NODATA_value -9999\n83.5 84\n85 86\n");
    std::vector<TileHeader> inputs;
    for (const char* name : {"west.asc", "east.asc"}) {
        inputs.push_back({dir / name, {}});
        ASSERT_EQ(readGridHeader(inputs.back().path, inputs.back().header), gridHeaderOk);
    }
    const TileSetPlan plan = planTileSet(inputs);
    ASSERT_EQ(plan.tiles.size(), 2u);
    std::atomic<bool> cancel{false};
    SetProgress quiet;
    std::vector<char> opened;
    const SeamIndex index = collectSetSeams(plan, seamDepth, 1, cancel, quiet, opened);
    ConversionRequest common;
    common.format = OutputFormat::glb;
    common.settings.useXllYllOffsets = true;
    common.attributes.normals = true;
    common.attributes.texture = dir / "drape.png";
    const std::vector<TileJob> jobs = prepareTileJobs(plan, common, dir.path());
    std::string files;
    for (const TileOutcome& o : runTileJobs(jobs, &index, 1, cancel, tileConverter(), quiet))
        EXPECT_EQ(exitCode(o.exitStatus), 0);
    for (const TileJob& job : jobs) files.append(1, ' ').append(quoted(job.request.outputPath));
    EXPECT_EQ(jobs[0].request.outputPath, dir / "west.glb");
    const ToolRun report = runTool("node " + quoted(std::filesystem::path(MORVALE_TOOLS_DIR) / "gltf-validate.js") +
                                   " " + quoted(modules) + files);
    EXPECT_EQ(report.status, 0) << report.output;
    EXPECT_EQ(std::count(report.output.begin(), report.output.end(), '\n'), 2) << report.output;
}

TEST(MeshReaders, AdmeshFindsClosedSolidsWithThePrismVolume) {
    if (!toolInstalled("admesh")) MORVALE_SKIP_UNLESS_CI("admesh is not installed (tools/setup-deps.sh installs it)");
    ScratchDir dir;
    for (bool triangles : {false, true}) {
        for (std::int32_t preset : {0, 2}) {
            const std::filesystem::path path = dir / "solid.stl";
            StlWriter writer(nullptr, nullptr);
            StlOptions options;
            options.presetIndex = preset;
            ASSERT_TRUE(writer.open(path, options));
            TerrainGrid g = testGrid(true);
            const double base = defaultSolidBase(92.0, 108.0);
            SolidOptions solidOptions;
            solidOptions.baseElevation = base;
            solidOptions.spoolPath = dir / "surface.tmp";
            SolidFilter solid(writer, solidOptions, nullptr);
            StreamChoices choices;
            choices.triangles = triangles;
            streamTerrain(g, solid, choices);
            const MeshWritten written = solid.end();
            ASSERT_TRUE(written.ok);

            const ToolRun report = runTool("admesh " + quoted(path));
            ASSERT_EQ(report.status, 0) << report.output;
            EXPECT_NE(report.output.find("All facets connected."), std::string::npos) << report.output;
            for (const char* zero : {"Total disconnected facets", "Edges fixed", "Facets removed", "Facets added",
                                     "Facets reversed", "Backwards edges", "Normals fixed", "Degenerate facets"})
                EXPECT_EQ(reported(report.output, zero), 0.0) << zero << "\n" << report.output;
            EXPECT_EQ(reported(report.output, "Number of parts"), 1.0);
            const double expected = prismVolume(g, base);
            EXPECT_NEAR(reported(report.output, "Volume"), expected, expected * 1e-5) << report.output;

            if (!toolInstalled("assimp")) continue;
            const ToolRun info = runTool("assimp info " + quoted(path));
            EXPECT_EQ(reported(info.output, "Faces"), static_cast<double>(written.faces));  // the solid is triangles
        }
    }
}
