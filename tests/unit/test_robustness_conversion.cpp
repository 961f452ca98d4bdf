// Regressions of the whole-conversion fuzz oracle: for odd grids, in every
// preset, with and without offsets and centring, both builders write a file
// whose every vertex line is three "%.4f" numbers, whose counts match its
// lines, and whose faces name existing vertices; both modes keep the same cells.

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "conversion_fixture.h"

using namespace morvale;
using namespace testing_support;

namespace {

bool isFixed4(std::string_view t) {
    if (!t.empty() && t[0] == '-') t.remove_prefix(1);
    if (t == "inf" || t == "nan") return true;
    const std::size_t point = t.find('.');
    if (point == 0 || point == std::string_view::npos || t.size() - point != 5) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (i != point && (t[i] < '0' || t[i] > '9')) return false;
    return true;
}

struct Shape {
    long long vertices = 0, faces = 0, vertexComment = -1, quadComment = -1;
};

// Checks the structure with gtest expectations and returns the counts.
Shape checkObj(const std::string& obj) {
    Shape shape;
    EXPECT_TRUE(obj.size() >= 6 && obj.compare(obj.size() - 6, 6, " quads") == 0);
    std::istringstream in(obj);
    std::string line;
    while (std::getline(in, line)) {
        if (!in.eof()) {
            EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
            if (!line.empty()) line.pop_back();
        }
        if (line.rfind("v ", 0) == 0) {
            std::istringstream numbers(line.substr(2));
            std::string a, b, c, extra;
            numbers >> a >> b >> c >> extra;
            EXPECT_TRUE(isFixed4(a) && isFixed4(b) && isFixed4(c) && extra.empty()) << line;
            ++shape.vertices;
        } else if (line.rfind("f ", 0) == 0) {
            std::istringstream numbers(line.substr(2));
            for (int i = 0; i < 4; ++i) {
                long long v = 0;
                numbers >> v;
                EXPECT_TRUE(v >= 1 && v <= shape.vertexComment) << line;
            }
            ++shape.faces;
        } else if (line.size() > 11 && line.compare(line.size() - 9, 9, " vertices") == 0) {
            shape.vertexComment = std::atoll(line.c_str() + 2);
        } else if (in.eof() && line.rfind("# ", 0) == 0) {
            shape.quadComment = std::atoll(line.c_str() + 2);
        }
    }
    EXPECT_EQ(shape.vertexComment, shape.vertices);
    return shape;
}

}  // namespace

TEST(RobustConversion, OddGridsGiveWellFormedFilesInEveryPresetAndMode) {
    const std::string oddGrids[] = {
        // A fuzz input: positional keywords with control bytes, a body cut by junk.
        std::string("ncols 3\nnrows 3\nxcllo\x03\x04" "er 0\nner 0\nc 1\n1\xff\xff 2 3 + 6 7 8 9\n"),
        // Values whose products overflow, tiny values, no-data and nan cells.
        "ncols 3\nnrows 2\nxllcorner -1e300\nyllcorner 1e300\ncellsize 1e300\nNODATA_value -9999\n"
        "1.7e308 -1.7e308 4.9e-324\n-9999 nan 1e-300\n",
        // A cell size far below the print precision.
        "ncols 2\nnrows 2\nxllcenter 0.00001\nyllcenter -0.00001\ncellsize 1e-9\n-0.00004 0.00005\n-0 7\n",
    };
    const char* const scales[] = {"1", "-0.001", "1e300"};
    int runs = 0;
    for (const std::string& grid : oddGrids) {
        SCOPED_TRACE(grid);
        ScratchDir dir;
        writeFile(dir / "grid.asc", grid);
        GridHeader header;
        ASSERT_EQ(readGridHeader(dir / "grid.asc", header), 1);
        for (std::int32_t preset = 0; preset < 6; ++preset) {
            for (const char* scale : scales) {
                for (const int flags : {0, 3}) {
                    SCOPED_TRACE(std::to_string(preset) + " " + scale + " " + std::to_string(flags));
                    SettingsControls controls;
                    controls.presetSelection = preset;
                    controls.unitScaleText = std::wstring(scale, scale + std::strlen(scale));
                    controls.useXllYllOffsets = (flags & 1) != 0;
                    controls.centerZ = (flags & 2) != 0;
                    ConversionSettings settings = correctSettings(controls, header.ncols, header.nrows).settings;
                    Shape shapes[2];
                    for (const TerrainMode mode : {TerrainMode::Interpolated, TerrainMode::FloatingPlanes}) {
                        settings.mode = mode;
                        const ConversionRun run = convertText(grid, settings);
                        ASSERT_EQ(run.result, conversionFinished);
                        const Shape shape = checkObj(run.obj);
                        EXPECT_EQ(shape.faces, shape.quadComment);
                        EXPECT_EQ(run.stats.vertexCount, shape.vertices);
                        shapes[mode == TerrainMode::FloatingPlanes] = shape;
                        ++runs;
                    }
                    EXPECT_EQ(shapes[1].vertices, 4 * shapes[1].quadComment);
                    EXPECT_EQ(shapes[0].quadComment, shapes[1].quadComment);
                }
            }
        }
    }
    EXPECT_EQ(runs, 3 * 6 * 3 * 2 * 2);
}
