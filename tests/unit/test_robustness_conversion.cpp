// Regressions of the whole-conversion fuzz oracle: for odd grids, in every
// preset, with and without offsets and centring, both builders write a file
// whose every vertex line is three "%.4f" numbers, whose counts match its
// lines, and whose faces name existing vertices; both modes keep the same cells.

#include <gtest/gtest.h>

#include <cstring>

#include "app/settings_correction.h"
#include "conversion_fixture.h"
#include "obj_shape.h"

using namespace morvale;
using namespace testing_support;

TEST(RobustConversion, OddGridsGiveWellFormedFilesInEveryPresetAndMode) {
    const std::string oddGrids[] = {
        // A fuzz input: positional keywords with control bytes, a body cut by junk.
        std::string("ncols 3\nnrows 3\nxcllo\x03\x04"
                    "er 0\nner 0\nc 1\n1\xff\xff 2 3 + 6 7 8 9\n"),
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
                    ObjShape shapes[2];
                    for (const TerrainMode mode : {TerrainMode::Interpolated, TerrainMode::FloatingPlanes}) {
                        settings.mode = mode;
                        const ConversionRun run = convertText(grid, settings);
                        ASSERT_EQ(run.result, conversionFinished);
                        const ObjShape shape = inspectObj(run.obj);
                        EXPECT_TRUE(shape.sound) << shape.problem;
                        EXPECT_EQ(shape.faceLines, shape.quadComment);
                        EXPECT_EQ(run.stats.vertexCount, shape.vertexLines);
                        shapes[mode == TerrainMode::FloatingPlanes] = shape;
                        ++runs;
                    }
                    EXPECT_EQ(shapes[1].vertexLines, 4 * shapes[1].quadComment);
                    EXPECT_EQ(shapes[0].quadComment, shapes[1].quadComment);
                }
            }
        }
    }
    EXPECT_EQ(runs, 3 * 6 * 3 * 2 * 2);
}
