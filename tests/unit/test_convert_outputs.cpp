// morvale-convert writing OBJ, GLB, glTF and STL, solids and simplified meshes, read
// back by the real readers (the glTF validator, admesh, assimp) and by a plain
// parse of the OBJ for the error bound and the seams of adjacent crops. A
// reader that is not installed skips its part with a note.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

#include "cli_child.h"
#include "conversion_fixture.h"
#include "mesh/simplify/terrain_simplifier.h"
#include "mesh_file_shape.h"
#include "obj_shape.h"
#include "threemf/threemf_writer.h"
#include "test_support.h"
#include "tool_run.h"

using namespace testing_support;

namespace {

ToolRun convert(const std::filesystem::path& input, const std::string& args) {
    std::string command(1, '\'');
    command.append(MORVALE_CLI_PATH).append("' ").append(quoted(input)).append(" ").append(args);
    return runTool(command);
}

// A number after `label` and blanks or a colon in a report; NaN when absent.
double reported(const std::string& output, const std::string& label) {
    std::smatch match;
    if (!std::regex_search(output, match, std::regex(label + R"([ :]+(-?[0-9][0-9 .]*))"))) return std::nan("");
    std::string digits = match[1];
    digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
    return std::stod(digits);
}

// An OBJ as written with the "3ds max" preset: v east north elevation.
struct Obj {
    std::vector<std::array<double, 3>> v;
    std::vector<std::string> vText;  // the vertex lines, to compare bytes
    std::vector<std::vector<std::int64_t>> f;
};

Obj readObj(const std::filesystem::path& path) {
    Obj obj;
    std::istringstream lines(readFile(path));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream in(line.substr(std::min<std::size_t>(2, line.size())));
        if (line.rfind("v ", 0) == 0) {
            std::array<double, 3> p{};
            in >> p[0] >> p[1] >> p[2];
            obj.v.push_back(p);
            obj.vText.push_back(line);
        } else if (line.rfind("f ", 0) == 0) {
            std::vector<std::int64_t> face;
            for (std::int64_t k; in >> k;) face.push_back(k);
            obj.f.push_back(face);
        }
    }
    return obj;
}

// A closed STL's volume by the divergence theorem, summed in double from its own corners.
double stlVolume(const std::filesystem::path& path) {
    const StlShape shape = inspectStl(readFile(path));
    double volume = 0.0;
    for (std::size_t t = 0; t + 9 <= shape.corners.size(); t += 9) {
        const float* c = &shape.corners[t];
        const double ax = c[0], ay = c[1], az = c[2], bx = c[3], by = c[4], bz = c[5], cx = c[6], cy = c[7], cz = c[8];
        volume += (ax * (by * cz - bz * cy) - ay * (bx * cz - bz * cx) + az * (bx * cy - by * cx)) / 6.0;
    }
    return volume;
}

// The surface height of triangle (a, b, c) at (x, y), when (x, y) lies inside it.
bool heightIn(const std::array<double, 3>& a, const std::array<double, 3>& b, const std::array<double, 3>& c, double x,
              double y, double& z) {
    const double d = (b[1] - c[1]) * (a[0] - c[0]) + (c[0] - b[0]) * (a[1] - c[1]);
    if (d == 0.0) return false;
    const double l1 = ((b[1] - c[1]) * (x - c[0]) + (c[0] - b[0]) * (y - c[1])) / d;
    const double l2 = ((c[1] - a[1]) * (x - c[0]) + (a[0] - c[0]) * (y - c[1])) / d;
    const double l3 = 1.0 - l1 - l2;
    constexpr double slack = -1e-9;
    if (l1 < slack || l2 < slack || l3 < slack) return false;
    z = l1 * a[2] + l2 * b[2] + l3 * c[2];
    return true;
}

}  // namespace

TEST(ConvertOutputs, EveryFormatPassesItsReaders) {
    ScratchDir dir;
    const bool assimp = toolInstalled("assimp");
    const std::filesystem::path modules = MORVALE_NODE_MODULES;
    std::string glbFiles;
    int glbCount = 0;
    for (const char* grid : {"flopy_freyberg_top.asc", "landlab_hugo_site.asc", "gdal_nodata_nan.asc"}) {
        for (const char* settings :
             {"", "--mode floating-planes", "--offsets --preset blender", "--max-error 1", "--solid",
              "--mode floating-planes --max-error 0", "--max-triangles 60 --solid", "--crop 2,3,9,12 --center-z"}) {
            for (const char* format : {"obj", "glb", "gltf", "stl"}) {
                const std::string name = std::to_string(glbCount++) + "." + format;
                const std::filesystem::path out = dir / name;
                const ToolRun converted = convert(sharedGrid(grid), std::string(settings) + " -o " + quoted(out));
                ASSERT_EQ(converted.status, 0) << grid << " " << settings << "\n" << converted.output;
                const double triangles = reported(converted.output, "Triangles");
                const bool gltf = std::string(format).starts_with("gl");
                if (gltf) glbFiles.append(" ").append(quoted(out));
                if (!assimp || triangles == 0) continue;  // assimp refuses a file without a mesh
                const ToolRun info = runTool("assimp info " + quoted(out));
                ASSERT_EQ(info.status, 0) << name << " " << settings << info.output;
                EXPECT_EQ(reported(info.output, "Faces"), triangles) << grid << " " << settings << " " << format;
                // assimp joins equal vertices (the planes' shared corners, the OBJ's), unrolls STL's
                // and drops vertices no face names (a solid has none: base copies only under walls).
                if (gltf && std::string(settings).find("floating") == std::string::npos) {
                    EXPECT_EQ(reported(info.output, "Vertices"), reported(converted.output, "Vertices"))
                        << grid << " " << settings << " " << format;
                }
            }
        }
    }
    if (!assimp) std::puts("assimp (Debian assimp-utils) is not installed: counts not checked");
    if (!toolInstalled("node") || !std::filesystem::exists(modules / "gltf-validator"))
        MORVALE_SKIP_UNLESS_CI("node or the glTF validator is not installed (tools/setup-deps.sh installs them)");
    const ToolRun report = runTool("node " + quoted(std::filesystem::path(MORVALE_TOOLS_DIR) / "gltf-validate.js") +
                                   " " + quoted(modules) + glbFiles);
    EXPECT_EQ(report.status, 0) << report.output;
}

// The solid's volume against prisms summed from the surface of the same run.
TEST(ConvertOutputs, SolidsAreClosedWithThePrismVolume) {
    if (!toolInstalled("admesh")) MORVALE_SKIP_UNLESS_CI("admesh is not installed (tools/setup-deps.sh installs it)");
    ScratchDir dir;
    const double base = 10.0;  // below the lowest data cell (13.5): a base above it is refused
    for (const char* settings : {"", "--max-error 0.5", "--crop 3,5,17,30"}) {
        const std::string common = std::string(settings) + " --scale 1 -q ";
        ASSERT_EQ(convert(sharedGrid("flopy_freyberg_top.asc"), common + "-o " + quoted(dir / "surface.obj")).status,
                  0);
        ASSERT_EQ(
            convert(sharedGrid("flopy_freyberg_top.asc"), common + "--solid 10 -o " + quoted(dir / "solid.stl")).status,
            0);
        const Obj surface = readObj(dir / "surface.obj");
        double volume = 0.0;
        for (const auto& face : surface.f) {
            for (std::size_t k = 1; k + 1 < face.size(); ++k) {  // fan from the first corner
                const auto& a = surface.v[static_cast<std::size_t>(face[0] - 1)];
                const auto& b = surface.v[static_cast<std::size_t>(face[k] - 1)];
                const auto& c = surface.v[static_cast<std::size_t>(face[k + 1] - 1)];
                const double area = 0.5 * ((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]));
                volume += area * ((a[2] + b[2] + c[2]) / 3.0 - base);
            }
        }
        const ToolRun report = runTool("admesh " + quoted(dir / "solid.stl"));
        ASSERT_EQ(report.status, 0) << report.output;
        for (const char* zero : {"Edges fixed", "Facets removed", "Facets added", "Facets reversed", "Backwards edges",
                                 "Total disconnected facets"})
            EXPECT_EQ(reported(report.output, zero), 0.0) << settings << " " << zero << "\n" << report.output;
        EXPECT_NEAR(reported(report.output, "Volume"), volume, 1e-5 * volume) << settings;
        // admesh sums in single precision; in double from the STL's own corners the volume is exact.
        EXPECT_NEAR(stlVolume(dir / "solid.stl"), volume, 1e-6 * volume) << settings;
    }
}

// lib3mf reads every 3MF back: a closed solid in millimetres with the
// summary's triangles (only the vertices they name), whatever the options.
TEST(ConvertOutputs, ThreeMfReadsBackAsTheSolidWritten) {
    ScratchDir dir;
    for (const char* grid : {"flopy_freyberg_top.asc", "landlab_hugo_site.asc"}) {
        for (const char* settings : {"", "--max-error 1", "--size 120 --z-scale 3 --base-thickness 2",
                                     "--crop 20,10,60,40 --solid 0 --preset blender", "--max-triangles 60"}) {
            const std::filesystem::path out = dir / "print.3mf";
            const ToolRun converted = convert(sharedGrid(grid), std::string(settings) + " -o " + quoted(out));
            ASSERT_EQ(converted.status, 0) << grid << " " << settings << "\n" << converted.output;
            morvale::ThreeMfContents contents;
            ASSERT_TRUE(morvale::readThreeMf(out, contents)) << grid << " " << settings;
            EXPECT_EQ(contents.objects, 1);
            EXPECT_TRUE(contents.millimetres);
            EXPECT_TRUE(contents.manifold) << grid << " " << settings;
            EXPECT_EQ(contents.triangles, reported(converted.output, "Triangles")) << grid << " " << settings;
            EXPECT_LE(contents.vertices, reported(converted.output, "Vertices")) << "only the vertices faces name";
        }
    }
}

// Two runs of one conversion write the same 3MF bytes (lib3mf would draw its
// UUIDs at random), and another content gets another object UUID.
TEST(ConvertOutputs, ThreeMfBytesFollowTheContentAlone) {
    ScratchDir dir;
    const std::filesystem::path grid = dir / "g.asc";
    writeFile(grid, "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n4 5 6\n");
    for (const char* out : {"first.3mf", "second.3mf"})
        ASSERT_EQ(convert(grid, "-q -o " + quoted(dir / out)).status, 0) << out;
    ASSERT_EQ(convert(grid, "-q --z-scale 2 -o " + quoted(dir / "tall.3mf")).status, 0);
    EXPECT_TRUE(readFile(dir / "first.3mf") == readFile(dir / "second.3mf")) << "two runs wrote two files";
    morvale::ThreeMfContents flat, tall;
    ASSERT_TRUE(morvale::readThreeMf(dir / "first.3mf", flat));
    ASSERT_TRUE(morvale::readThreeMf(dir / "tall.3mf", tall));
    EXPECT_NE(flat.objectUuid, tall.objectUuid);
}

// What a print asks for: elevations exaggerated (after centring; the
// simplifier's bound stays in grid units, so it keeps the same triangles), a
// size in millimetres, and a base thickness under the lowest point.
TEST(ConvertOutputs, PrintingOptionsScaleTheModel) {
    ScratchDir dir;
    const std::filesystem::path grid = sharedGrid("flopy_freyberg_top.asc");
    for (const char* settings : {"--center-z", "--max-error 1 --center-z", "--mode floating-planes"}) {
        const std::string common = std::string(settings) + " -q --format stl ";
        ASSERT_EQ(convert(grid, common + "-o " + quoted(dir / "flat.stl")).status, 0);
        ASSERT_EQ(convert(grid, common + "--z-scale 2.5 -o " + quoted(dir / "tall.stl")).status, 0);
        const StlShape flat = inspectStl(readFile(dir / "flat.stl")), tall = inspectStl(readFile(dir / "tall.stl"));
        ASSERT_EQ(flat.count, tall.count) << settings;
        for (std::size_t i = 0; i < flat.corners.size(); i += 3) {
            ASSERT_EQ(flat.corners[i], tall.corners[i]);
            ASSERT_EQ(flat.corners[i + 1], tall.corners[i + 1]);
            ASSERT_NEAR(tall.corners[i + 2], 2.5f * flat.corners[i + 2], 1e-3f) << settings << " corner " << i / 3;
        }
    }
    // 20 x 40 cells of 250 (grid units taken as metres): the longer side, 10 km, becomes 150 mm.
    const ToolRun print = convert(grid, "--size 150 --z-scale 4 --base-thickness 3 -o " + quoted(dir / "print.stl"));
    ASSERT_EQ(print.status, 0) << print.output;
    const StlShape solid = inspectStl(readFile(dir / "print.stl"));
    float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
    for (std::size_t i = 0; i < solid.corners.size(); ++i) {
        low[i % 3] = std::min(low[i % 3], solid.corners[i]);
        high[i % 3] = std::max(high[i % 3], solid.corners[i]);
    }
    EXPECT_NEAR(std::max(high[0] - low[0], high[1] - low[1]), 150.0, 1e-3);
    EXPECT_NEAR(reported(print.output, "Map scale: 1"), 66667, 0.5) << print.output;
    EXPECT_NEAR(reported(print.output, "Model height"), high[2] - low[2], 0.006) << print.output;
    EXPECT_EQ(reported(print.output, "Base thickness"), 3.0) << print.output;
    EXPECT_EQ(reported(print.output, "Vertical exaggeration"), 4.0) << print.output;
    // The base lies 3 mm under the surface's lowest corner: the lowest corner above the base.
    float lowestAbove = 1e30f;
    for (std::size_t i = 2; i < solid.corners.size(); i += 3)
        if (solid.corners[i] > low[2]) lowestAbove = std::min(lowestAbove, solid.corners[i]);
    EXPECT_NEAR(lowestAbove - low[2], 3.0f, 1e-4f);
}

TEST(ConvertOutputs, MaxErrorKeepsItsBoundAndCropsShareTheirBorder) {
    ScratchDir dir;
    for (const double bound : {0.0, 0.5, 3.0}) {
        const std::string e = " --scale 1 -q --max-error " + std::to_string(bound);
        const std::filesystem::path grid = sharedGrid("landlab_hugo_site.asc");
        ASSERT_EQ(convert(grid, "--scale 1 -q -o " + quoted(dir / "full.obj")).status, 0);
        ASSERT_EQ(convert(grid, e + " -o " + quoted(dir / "simple.obj")).status, 0);
        const Obj full = readObj(dir / "full.obj"), simple = readObj(dir / "simple.obj");
        EXPECT_LT(simple.v.size(), full.v.size());
        // Every kept vertex is a vertex of the full mesh, to the last digit.
        const std::set<std::string> fullLines(full.vText.begin(), full.vText.end());
        for (const std::string& line : simple.vText) EXPECT_TRUE(fullLines.count(line)) << line;
        // Every full vertex lies within the bound of the simplified surface above or below it.
        for (const auto& p : full.v) {
            double worst = -1.0;
            for (const auto& t : simple.f) {
                double z = 0.0;
                const auto& a = simple.v[static_cast<std::size_t>(t[0] - 1)];
                const auto& b = simple.v[static_cast<std::size_t>(t[1] - 1)];
                const auto& c = simple.v[static_cast<std::size_t>(t[2] - 1)];
                if (heightIn(a, b, c, p[0], p[1], z)) worst = std::max(worst, std::abs(z - p[2]));
            }
            ASSERT_GE(worst, 0.0) << "a full vertex outside the simplified surface: " << p[0] << " " << p[1];
            ASSERT_LE(worst, bound + 2e-4) << p[0] << " " << p[1];  // the OBJ's 4 decimals
        }
    }
    // Two crops side by side keep the same vertices on the line they share.
    const std::filesystem::path grid = sharedGrid("flopy_freyberg_top.asc");
    ASSERT_EQ(convert(grid, "--scale 1 -q --max-error 2 --crop 1,1,9,40 -o " + quoted(dir / "west.obj")).status, 0);
    ASSERT_EQ(convert(grid, "--scale 1 -q --max-error 2 --crop 10,1,20,40 -o " + quoted(dir / "east.obj")).status, 0);
    const Obj west = readObj(dir / "west.obj"), east = readObj(dir / "east.obj");
    double seam = -1e300;
    for (const auto& p : west.v) seam = std::max(seam, p[0]);
    std::multiset<std::string> westLine, eastLine;
    for (std::size_t i = 0; i < west.v.size(); ++i)
        if (west.v[i][0] == seam) westLine.insert(west.vText[i]);
    for (std::size_t i = 0; i < east.v.size(); ++i)
        if (east.v[i][0] == seam) eastLine.insert(east.vText[i]);
    EXPECT_FALSE(westLine.empty());
    EXPECT_EQ(westLine, eastLine);
    // A budget the holes cannot meet is said, and the coarsest surface still written.
    const ToolRun tight = convert(grid, "-q --max-triangles 2 -o " + quoted(dir / "tight.obj"));
    EXPECT_EQ(tight.status, 0);
    EXPECT_NE(tight.output.find("cannot be reached"), std::string::npos) << tight.output;
}

// A simplified mesh is centred by the shift of the full one: each kept
// vertex is the full mesh's vertex at its x, y, to the last digit.
TEST(ConvertOutputs, SimplifiedMeshesAreCentredAsTheFullOne) {
    ScratchDir dir;
    const std::filesystem::path grid = sharedGrid("landlab_hugo_site.asc");
    const std::string common = "-q --scale 2.5 --crop 5,4,70,50 --center-z -o ";
    ASSERT_EQ(convert(grid, common + quoted(dir / "full.obj")).status, 0);
    std::map<std::pair<double, double>, std::string> full;
    const Obj fullObj = readObj(dir / "full.obj");
    for (std::size_t i = 0; i < fullObj.v.size(); ++i) full[{fullObj.v[i][0], fullObj.v[i][1]}] = fullObj.vText[i];
    for (const char* simplify : {"--max-error 0", "--max-triangles 300"}) {
        const ToolRun run = convert(grid, std::string(simplify) + " " + common + quoted(dir / "simple.obj"));
        ASSERT_EQ(run.status, 0) << simplify << "\n" << run.output;
        const Obj simple = readObj(dir / "simple.obj");
        EXPECT_LT(simple.v.size(), fullObj.v.size()) << simplify;
        for (std::size_t i = 0; i < simple.v.size(); ++i)
            EXPECT_EQ(full[std::make_pair(simple.v[i][0], simple.v[i][1])], simple.vText[i]) << simplify;
    }
    // Floating planes are never centred, merged or not.
    const std::string planes = "-q --mode floating-planes --max-error 0 -o ";
    ASSERT_EQ(convert(grid, planes + quoted(dir / "planes.obj")).status, 0);
    ASSERT_EQ(convert(grid, "--center-z " + planes + quoted(dir / "centred.obj")).status, 0);
    EXPECT_EQ(readObj(dir / "planes.obj").vText, readObj(dir / "centred.obj").vText);
}

TEST(ConvertOutputs, BadSettingsWriteNothing) {
    ScratchDir dir;
    const std::filesystem::path grid = dir / "g.asc";
    writeFile(grid, "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3\n4 5 6\n");
    const std::filesystem::path out = dir / "out.glb";
    for (const char* args :
         {"--max-error -1", "--max-error nan", "--max-error 1x", "--max-triangles 1", "--max-triangles 2.5",
          "--format png", "--mode floating-planes --solid", "--max-error 1 --max-triangles 10",
          "--mode floating-planes --max-triangles 10", "--solid 5 --center-z"}) {
        const ToolRun r = convert(grid, std::string(args) + " -o " + quoted(out));
        EXPECT_EQ(r.status, 2) << args << "\n" << r.output;
        EXPECT_NE(r.output.find("morvale-convert: "), std::string::npos) << args;
        EXPECT_FALSE(std::filesystem::exists(out)) << args;
    }
    // The same-file check holds for the binary formats too: the input survives.
    const std::string before = readFile(grid);
    EXPECT_EQ(convert(grid, "--format stl -o " + quoted(grid)).status, 4);
    EXPECT_EQ(readFile(grid), before);
    // The default output takes the format's extension.
    ASSERT_EQ(convert(grid, "-q --format glb").status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "g.glb"));
}

// Far from the origin, the GLB's float32 vertices stay those of the centred
// grid and the real-world position goes into the node's translation.
TEST(ConvertOutputs, GlbOffsetsGoIntoTheTranslation) {
    ScratchDir dir;
    const std::filesystem::path grid = dir / "far.asc";
    writeFile(grid, "ncols 3\nnrows 2\nxllcorner 600000\nyllcorner 5000000\ncellsize 2\n1 2 3\n4 5 6\n");
    ASSERT_EQ(convert(grid, "-q --scale 1 --offsets -o " + quoted(dir / "far.glb")).status, 0);
    ASSERT_EQ(convert(grid, "-q --scale 1 -o " + quoted(dir / "near.glb")).status, 0);
    const std::string far = readFile(dir / "far.glb"), near = readFile(dir / "near.glb");
    EXPECT_NE(far.find("\"translation\":[600003,0,-5000002]"), std::string::npos) << far.substr(0, 600);
    const std::regex bounds(R"("min":\[[^\]]*\],"max":\[[^\]]*\])");
    std::smatch farBounds, nearBounds;
    ASSERT_TRUE(std::regex_search(far, farBounds, bounds));
    ASSERT_TRUE(std::regex_search(near, nearBounds, bounds));
    EXPECT_EQ(farBounds.str(), nearBounds.str());
}

// Past kFacesInMemory triangles the simplifier's faces wait in a file beside
// the output, never in the working or temporary folder (where the old Windows
// runtime's tmpfile() goes: the drive's root), and the file goes at the end:
// after success, failure and Ctrl-C alike.
TEST(ConvertOutputs, TheFaceSpoolStaysBesideTheOutput) {
    namespace fs = std::filesystem;
    ScratchDir dir;
    const fs::path cwd = dir / "cwd", tmp = dir / "tmp", folder = dir / "out", out = folder / "rough.obj";
    for (const fs::path& sub : {cwd, tmp, folder}) fs::create_directory(sub);
    // Rough terrain: at --max-error 0 nearly two triangles per cell.
    const int side = 760;
    std::mt19937 random(7);
    std::string grid = "ncols 760\nnrows 760\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    for (int cell = 1; cell <= side * side; ++cell) grid += std::to_string(random() % 100) + (cell % side ? " " : "\n");
    writeFile(dir / "rough.asc", grid);
    const std::string args = quoted(dir / "rough.asc") + " --max-error 0 -o " + quoted(out);
    auto run = [&] {
        return runTool("cd " + quoted(cwd) + " && TMPDIR=" + quoted(tmp) + " '" MORVALE_CLI_PATH "' " + args);
    };
    auto names = [](const fs::path& path) {
        std::set<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(path)) found.insert(entry.path().filename());
        return found;
    };
    const std::set<std::string> none, outputOnly{"rough.obj"};

    const ToolRun done = run();
    ASSERT_EQ(done.status, 0) << done.output;
    EXPECT_GT(reported(done.output, "Triangles"), static_cast<double>(morvale::kFacesInMemory));
    EXPECT_EQ(names(folder), outputOnly);
    EXPECT_EQ(names(cwd), none);
    EXPECT_EQ(names(tmp), none);

    // Ctrl-C while the faces come back from the spool.
    bool sent = false;
    const ChildRun cancelled = runConverter({(dir / "rough.asc").string(), "--max-error", "0", "-o", out.string()},
                                            [&sent](const std::string& shown, pid_t child) {
                                                if (!sent && contains(shown, "Creating output *.OBJ file..."))
                                                    sent = kill(child, SIGINT) == 0;
                                            });
    EXPECT_TRUE(sent);
    EXPECT_TRUE(cancelled.status == 130 || cancelled.status == 0) << cancelled.out;
    EXPECT_EQ(names(folder), outputOnly);

    // A folder in the spool's place: the run fails rather than spool elsewhere.
    fs::create_directory(folder / "rough.obj.faces.tmp");
    const ToolRun refused = run();
    EXPECT_EQ(refused.status, 4) << refused.output;
    EXPECT_EQ(names(folder), (std::set<std::string>{"rough.obj", "rough.obj.faces.tmp"}));
    EXPECT_TRUE(fs::is_empty(folder / "rough.obj.faces.tmp"));
    EXPECT_EQ(names(cwd), none);
    EXPECT_EQ(names(tmp), none);
}

// The writing stage names the output format in every builder (the OBJ's text
// is the window's), and a solid OBJ's closing comment counts all its faces:
// surface, bottom and walls.
TEST(ConvertOutputs, TheWritingStageNamesTheFormat) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n3 4\n");
    const struct {
        morvale::OutputFormat format;
        const char* stage;
    } formats[] = {{morvale::OutputFormat::obj, "Creating output *.OBJ file... /10"},
                   {morvale::OutputFormat::glb, "Creating output *.GLB file... /10"},
                   {morvale::OutputFormat::gltf, "Creating output *.GLTF file... /10"},
                   {morvale::OutputFormat::stl, "Creating output *.STL file... /10"}};
    for (const auto& f : formats) {
        for (const int variant : {0, 1, 2, 3}) {
            morvale::ConversionSettings settings =
                wholeGrid(variant == 1 || variant == 2 ? morvale::TerrainMode::FloatingPlanes
                                                       : morvale::TerrainMode::Interpolated,
                          2, 2);
            morvale::ConversionRequest request = requestFor(dir / "grid.asc", dir / "out", settings);
            request.format = f.format;
            if (variant >= 2) request.maxError = 0.5;
            std::atomic<bool> cancel{false};
            RecordingProgress progress;
            morvale::ConversionStats stats;
            ASSERT_EQ(morvale::runConversion(request, cancel, progress, stats), morvale::conversionFinished);
            EXPECT_EQ(progress.events.back(), f.stage) << variant;
        }
    }
    morvale::ConversionRequest solid =
        requestFor(dir / "grid.asc", dir / "solid.obj", wholeGrid(morvale::TerrainMode::Interpolated, 2, 2));
    solid.solid = true;
    std::atomic<bool> cancel{false};
    RecordingProgress progress;
    morvale::ConversionStats stats;
    ASSERT_EQ(morvale::runConversion(solid, cancel, progress, stats), morvale::conversionFinished);
    // Surface, walls and bottom, all triangles; the last line keeps its word.
    const std::string obj = readFile(dir / "solid.obj");
    std::size_t faceLines = 0;
    for (std::size_t at = obj.find("\nf "); at != std::string::npos; at = obj.find("\nf ", at + 1)) ++faceLines;
    EXPECT_EQ(faceLines, 8u + 16 + 6);
    EXPECT_TRUE(obj.ends_with("\n# 30 quads")) << obj.substr(obj.size() - 20);
}

// A solid OBJ names every vertex it writes (a base copy only where a wall
// stands) and each edge once each way: closed, consistently turned.
TEST(ConvertOutputs, SolidObjsNameEveryVertex) {
    ScratchDir dir;
    for (const char* grid : {"flopy_freyberg_top.asc", "landlab_hugo_site.asc"}) {
        for (const char* settings : {"--solid", "--solid --max-error 1"}) {
            const std::filesystem::path out = dir / "solid.obj";
            ASSERT_EQ(convert(sharedGrid(grid), std::string(settings) + " -q -o " + quoted(out)).status, 0);
            const Obj obj = readObj(out);
            std::vector<char> named(obj.v.size(), 0);
            std::map<std::pair<std::int64_t, std::int64_t>, int> edges;
            for (const auto& face : obj.f) {
                for (std::size_t k = 0; k < face.size(); ++k) {
                    named[static_cast<std::size_t>(face[k] - 1)] = 1;
                    ++edges[{face[k], face[(k + 1) % face.size()]}];
                }
            }
            EXPECT_EQ(std::count(named.begin(), named.end(), 0), 0) << grid << " " << settings;
            std::size_t unmatched = 0;
            for (const auto& [edge, count] : edges) {
                const auto back = edges.find({edge.second, edge.first});
                unmatched += back == edges.end() || back->second != count ? 1 : 0;
            }
            EXPECT_EQ(unmatched, 0u) << grid << " " << settings;
        }
    }
}

// What a new row of the writers' table must bring: a name that parses, an
// extension that picks it in any case, help lines that fit the help's right
// column, a writing stage, a writer, and a refusal for what it does not hold.
TEST(ConvertOutputs, EveryWriterRowIsComplete) {
    constexpr unsigned everything =
        morvale::holdsUv | morvale::holdsNormals | morvale::holdsTexture | morvale::holdsSolid;
    for (const morvale::OutputWriter& row : morvale::outputWriters()) {
        SCOPED_TRACE(row.name);
        morvale::OutputFormat parsed{};
        ASSERT_TRUE(morvale::parseOutputFormat(row.name, parsed));
        EXPECT_EQ(parsed, row.format);
        std::string upper = std::string("mesh") + row.extension;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(morvale::formatOfPath(upper), row.format);
        std::istringstream lines(row.description);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 52u) << line;
        EXPECT_NE(row.writingStage, nullptr);
        EXPECT_NE(row.open, nullptr);
        EXPECT_EQ((row.holds & everything) != everything, row.holdsNotMessage != nullptr);
    }
}
