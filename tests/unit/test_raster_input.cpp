// Rasters read through GDAL against the Esri ASCII reader: the real grids
// made into GeoTIFFs by gdal_translate convert to the same bytes, rasters in
// degrees land in metres where the projected original lies; what GDAL cannot
// read is refused in test_bad_input.cpp. The GeoTIFFs are made here, from ../shared/data/grids.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <sstream>

#include "cli_child.h"
#include "test_support.h"
#include "tool_run.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Runs a GDAL command line; the test fails when it does.
void gdal(const std::string& command) {
    const ToolRun run = runTool(command);
    ASSERT_EQ(run.status, 0) << command << "\n" << run.output;
}

// An OBJ file without the lines that name the input or the minute of the run.
std::string meshBody(const fs::path& obj) {
    std::istringstream lines(withoutClock(readFile(obj)));
    std::string body, line;
    while (std::getline(lines, line))
        if (line.find("Original input filename") == std::string::npos) body += line + "\n";
    return body;
}

// The smallest and largest of each vertex coordinate.
struct Extent {
    std::array<double, 3> low{DBL_MAX, DBL_MAX, DBL_MAX};
    std::array<double, 3> high{-DBL_MAX, -DBL_MAX, -DBL_MAX};
};

Extent vertexExtent(const fs::path& obj) {
    std::istringstream lines(readFile(obj));
    Extent extent;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("v ", 0) != 0) continue;
        std::istringstream numbers(line.substr(2));
        for (int axis = 0; axis < 3; ++axis) {
            double value = 0.0;
            numbers >> value;
            extent.low[axis] = std::min(extent.low[axis], value);
            extent.high[axis] = std::max(extent.high[axis], value);
        }
    }
    return extent;
}

}  // namespace

TEST(RasterInput, RealGridsAsGeoTiffsGiveTheAsciiGridsBytes) {
    ScratchDir dir;
    // Integer grids also through Int16, as integer DEMs ship.
    const std::vector<std::string> integerGrids{"landlab_hugo_site", "ava_testRel2_noeol", "richdem_pit"};
    const std::vector<std::vector<std::string>> runs{
        {"--offsets"},
        {"--mode", "floating-planes", "--crop", "2,2,9,7", "--offsets"},
        {"--crop", "2,1,30,25", "--max-error", "0.5", "--normals"},
        {"--mode", "floating-planes", "--max-error", "1"},
    };
    int compared = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(sharedGrid(""))) {
        if (entry.path().extension() != ".asc") continue;
        const std::string stem = entry.path().stem().string();
        // The same name beside each other, so the object names agree.
        const fs::path ascDir = dir / (stem + "-asc"), tifDir = dir / (stem + "-tif");
        fs::create_directories(ascDir);
        fs::create_directories(tifDir);
        const fs::path asc = ascDir / (stem + ".asc");
        fs::copy_file(entry.path(), asc);
        std::vector<std::string> types{"Float64"};
        if (std::find(integerGrids.begin(), integerGrids.end(), stem) != integerGrids.end()) types.push_back("Int16");
        for (const std::string& type : types) {
            const fs::path tif = tifDir / (stem + ".tif");
            fs::remove(tif);
            // Grids whose header GDAL refuses are left out; the ASCII reader alone reads those.
            if (runTool("gdal_translate -q -oo DATATYPE=Float64 -ot " + type + " " + quoted(entry.path()) + " " +
                        quoted(tif))
                    .status != 0)
                continue;
            for (const std::vector<std::string>& extra : runs) {
                std::string trace = stem + " " + type;
                for (const std::string& arg : extra) trace += " " + arg;
                SCOPED_TRACE(trace);
                const fs::path ascObj = ascDir / "out.obj", tifObj = tifDir / "out.obj";
                std::vector<std::string> ascArgs{asc.string(), "-o", ascObj.string(), "-q"};
                std::vector<std::string> tifArgs{tif.string(), "-o", tifObj.string(), "-q"};
                ascArgs.insert(ascArgs.end(), extra.begin(), extra.end());
                tifArgs.insert(tifArgs.end(), extra.begin(), extra.end());
                const ChildRun fromAsc = runConverter(ascArgs), fromTif = runConverter(tifArgs);
                if (fromAsc.status == 3) break;  // a header only GDAL accepts
                EXPECT_EQ(fromTif.status, fromAsc.status) << fromTif.out;
                EXPECT_EQ(meshBody(tifObj), meshBody(ascObj));
                ++compared;
            }
        }
    }
    EXPECT_GE(compared, 4 * 16);
}

TEST(RasterInput, RastersInDegreesLandInMetresWhereTheProjectedOriginalLies) {
    ScratchDir dir;
    const fs::path projected = dir / "projected.tif", degrees = dir / "degrees.tif";
    // A 1 m river DEM in UTM zone 11 north, and the same warped to latitude and longitude.
    gdal("gdal_translate -q -oo DATATYPE=Float64 -a_srs EPSG:32611 " +
         quoted(sharedGrid("landlab_DEM-kootenai_37x50_1x1.asc")) + " " + quoted(projected));
    gdal("gdalwarp -q -t_srs EPSG:4326 -r bilinear " + quoted(projected) + " " + quoted(degrees));
    const ChildRun original =
        runConverter({projected.string(), "-o", (dir / "p.obj").string(), "--offsets", "--scale", "1", "-q"});
    const ChildRun warped =
        runConverter({degrees.string(), "-o", (dir / "d.obj").string(), "--offsets", "--scale", "1"});
    ASSERT_EQ(original.status, 0) << original.out;
    ASSERT_EQ(warped.status, 0) << warped.out;
    EXPECT_TRUE(contains(warped.out, "UTM zone 11N (EPSG:32611), warped from degrees")) << warped.out;
    const Extent p = vertexExtent(dir / "p.obj"), d = vertexExtent(dir / "d.obj");
    // The default preset keeps the grid's X and Y as the first two coordinates; the cell is 1 m.
    for (int axis = 0; axis < 2; ++axis) {
        EXPECT_NEAR(d.low[axis], p.low[axis], 1.0);
        EXPECT_NEAR(d.high[axis], p.high[axis], 1.0);
    }
    // Bilinear resampling stays within the original elevations, and near their extremes.
    EXPECT_GE(d.low[2], p.low[2]);
    EXPECT_LE(d.high[2], p.high[2]);
    EXPECT_NEAR(d.high[2] - d.low[2], p.high[2] - p.low[2], 0.05 * (p.high[2] - p.low[2]));

    // Its own grid kept, X and Y stay degrees.
    const ChildRun kept = runConverter(
        {degrees.string(), "-o", (dir / "k.obj").string(), "--offsets", "--scale", "1", "--keep-crs", "-q"});
    EXPECT_EQ(kept.status, 0) << kept.out;
    const Extent k = vertexExtent(dir / "k.obj");
    EXPECT_NEAR(k.low[0], -116.2, 0.5);
    EXPECT_NEAR(k.low[1], 48.7, 0.5);
}

TEST(RasterInput, ImagesWithoutGeoreferencingScalesAndBandsAreTakenAsGdalReadsThem) {
    ScratchDir dir;
    const fs::path grid = sharedGrid("ava_testRel2_noeol.asc");
    fs::copy_file(grid, dir / "rel.asc");
    // A 16-bit PNG heightmap: no georeferencing, so cell size 1 and a note;
    // this grid's cells are 1 and centred, so without offsets the bytes agree.
    gdal("gdal_translate -q -of PNG -ot UInt16 -a_nodata none --config GDAL_PAM_ENABLED NO " + quoted(grid) + " " +
         quoted(dir / "rel.png"));
    fs::remove(dir / "rel.png.aux.xml");
    ASSERT_EQ(runConverter({(dir / "rel.asc").string(), "-o", (dir / "a.obj").string(), "-q"}).status, 0);
    const ChildRun png = runConverter({(dir / "rel.png").string(), "-o", (dir / "p.obj").string(), "-q"});
    EXPECT_EQ(png.status, 0) << png.out;
    EXPECT_TRUE(contains(png.out, "has no georeferencing: cell size 1")) << png.out;
    EXPECT_EQ(meshBody(dir / "p.obj"), meshBody(dir / "a.obj"));
    // --cellsize sets it; over a raster's own it warns.
    const ChildRun sized = runConverter(
        {(dir / "rel.png").string(), "-o", (dir / "s.obj").string(), "--cellsize", "2", "--scale", "1", "-q"});
    EXPECT_EQ(sized.status, 0) << sized.out;
    EXPECT_FALSE(contains(sized.out, "georeferencing")) << sized.out;
    EXPECT_NEAR(vertexExtent(dir / "s.obj").high[0] - vertexExtent(dir / "s.obj").low[0], 2.0 * 20, 1e-9);

    // Scale and offset of the band, and the second band: GDAL's own unscaled
    // ASCII grid of the raster is what the mesh must show.
    gdal("gdal_translate -q -ot Int16 -a_scale 0.5 -a_offset 100 " + quoted(grid) + " " + quoted(dir / "scaled.tif"));
    gdal("gdal_translate -q -unscale -ot Float64 -of AAIGrid " + quoted(dir / "scaled.tif") + " " +
         quoted(dir / "unscaled.asc"));
    gdal("gdal_translate -q -ot Int16 " + quoted(grid) + " " + quoted(dir / "plain.tif"));
    gdal("gdalbuildvrt -q -separate " + quoted(dir / "two.vrt") + " " + quoted(dir / "plain.tif") + " " +
         quoted(dir / "scaled.tif"));
    ASSERT_EQ(runConverter({(dir / "unscaled.asc").string(), "-o", (dir / "u.obj").string(), "-q"}).status, 0);
    ASSERT_EQ(runConverter({(dir / "scaled.tif").string(), "-o", (dir / "t.obj").string(), "-q"}).status, 0);
    EXPECT_EQ(vertexExtent(dir / "t.obj").high, vertexExtent(dir / "u.obj").high);
    EXPECT_EQ(vertexExtent(dir / "t.obj").low, vertexExtent(dir / "u.obj").low);
    const ChildRun second =
        runConverter({(dir / "two.vrt").string(), "-o", (dir / "b.obj").string(), "--band", "2", "-q"});
    EXPECT_EQ(second.status, 0) << second.out;
    EXPECT_EQ(vertexExtent(dir / "b.obj").high, vertexExtent(dir / "u.obj").high);
    // --cellsize over a raster's own cell size warns.
    const ChildRun replaced =
        runConverter({(dir / "scaled.tif").string(), "-o", (dir / "r.obj").string(), "--cellsize", "2", "-q"});
    EXPECT_EQ(replaced.status, 0) << replaced.out;
    EXPECT_TRUE(contains(replaced.out, "--cellsize 2 replaces the raster's cell size, 1\n")) << replaced.out;
}

TEST(RasterInput, GeoTiffTilesAndTheirMosaicMeetLikeAsciiTiles) {
    ScratchDir dir;
    const fs::path whole = dir / "whole.tif";
    gdal("gdal_translate -q -oo DATATYPE=Float64 " + quoted(sharedGrid("landlab_hugo_site.asc")) + " " + quoted(whole));
    // Four tiles of the 76 x 55 grid, as GeoTIFFs and as GDAL's own ASCII grids.
    for (const fs::path& folder : {dir / "asc", dir / "tif", dir / "asc-out", dir / "tif-out"})
        fs::create_directories(folder);
    for (const auto& [x, y, w, h] :
         {std::array{0, 0, 40, 30}, std::array{40, 0, 36, 30}, std::array{0, 30, 40, 25}, std::array{40, 30, 36, 25}}) {
        std::ostringstream window, name;
        window << x << ' ' << y << ' ' << w << ' ' << h << ' ';
        name << 't' << x << '_' << y;
        gdal("gdal_translate -q -srcwin " + window.str() + quoted(whole) + " " +
             quoted(dir / "tif" / (name.str() + ".tif")));
        gdal("gdal_translate -q -of AAIGrid -srcwin " + window.str() + quoted(whole) + " " +
             quoted(dir / "asc" / (name.str() + ".asc")));
    }
    // Normals reach two cells into the neighbours: only a set that meets gives the ASCII set's bytes.
    for (const char* kind : {"asc", "tif"}) {
        const ChildRun run = runConverter({(dir / kind).string(), "-o", (dir / (std::string(kind) + "-out")).string(),
                                           "--normals", "--max-error", "1", "-q"});
        EXPECT_EQ(run.status, 0) << run.out;
    }
    int tiles = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir / "asc-out")) {
        EXPECT_EQ(meshBody(dir / "tif-out" / entry.path().filename()), meshBody(entry.path()));
        ++tiles;
    }
    EXPECT_EQ(tiles, 4);

    // A VRT that mosaics the GeoTIFF tiles converts as the whole grid does.
    gdal("gdalbuildvrt -q " + quoted(dir / "mosaic.vrt") + " " + quoted(dir / "tif") + "/*.tif");
    fs::copy_file(sharedGrid("landlab_hugo_site.asc"), dir / "mosaic.asc");
    ASSERT_EQ(runConverter({(dir / "mosaic.vrt").string(), "-o", (dir / "v.obj").string(), "-q"}).status, 0);
    ASSERT_EQ(runConverter({(dir / "mosaic.asc").string(), "-o", (dir / "a.obj").string(), "-q"}).status, 0);
    EXPECT_EQ(meshBody(dir / "v.obj"), meshBody(dir / "a.obj"));
}

TEST(RasterInput, GdalIsLoadedOnlyForARasterAndItsAbsenceIsSaid) {
    ScratchDir dir;
    const fs::path grid = sharedGrid("ava_testRel2_noeol.asc");
    gdal("gdal_translate -q " + quoted(grid) + " " + quoted(dir / "rel.tif"));
    // An Esri ASCII grid never brings GDAL (nor, to an OBJ, lib3mf) into the process; a raster does.
    const std::string convert = quoted(fs::path(MORVALE_CLI_PATH));
    const ToolRun ascii = runTool("LD_DEBUG=files " + convert + " " + quoted(grid) + " -q -o " + quoted(dir / "a.obj"));
    EXPECT_EQ(ascii.status, 0) << ascii.output;
    EXPECT_FALSE(contains(ascii.output, "libgdal")) << ascii.output.substr(0, 2000);
    EXPECT_FALSE(contains(ascii.output, "lib3MF")) << ascii.output.substr(0, 2000);
    const ToolRun raster =
        runTool("LD_DEBUG=files " + convert + " " + quoted(dir / "rel.tif") + " -q -o " + quoted(dir / "t.obj"));
    EXPECT_EQ(raster.status, 0) << raster.output;
    EXPECT_TRUE(contains(raster.output, "libgdal"));

    // The converter without its module still reads grids, and says why it reads no raster.
    fs::create_directories(dir / "alone");
    fs::copy_file(MORVALE_CLI_PATH, dir / "alone" / "morvale-convert");
    const std::string alone = quoted(dir / "alone" / "morvale-convert");
    EXPECT_EQ(runTool(alone + " " + quoted(grid) + " -q -o " + quoted(dir / "b.obj")).status, 0);
    const ToolRun refused = runTool(alone + " " + quoted(dir / "rel.tif") + " -q -o " + quoted(dir / "u.obj"));
    EXPECT_EQ(refused.status, 3);
    EXPECT_TRUE(contains(refused.output, "GDAL's reader (morvale-gdal.so) is not installed beside the program"))
        << refused.output;
    EXPECT_FALSE(fs::exists(dir / "u.obj"));
}
