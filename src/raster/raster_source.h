#pragma once
// The second cell source: any raster GDAL reads (GeoTIFF, SRTM .hgt, VRT
// mosaics, PNG heightmaps...), handed over exactly as the Esri ASCII reader
// hands over a grid's cells, so the conversion above cannot tell them apart.
//
// GDAL is loaded only when a raster is opened: the reader lives in a module
// of its own (rasterModuleFileName), which links GDAL and its hundred-odd
// libraries, found beside the program or in ../lib/morvale from it. Linked
// into the program instead, GDAL would cost every run, an .asc conversion or
// a tile task among them, some 40 ms and 30 MB at start. Without the module
// openRaster says so (unopenable, with the loader's reason); the rest of the
// program works as in a build without GDAL.
//
// What the module does (raster/gdal/gdal_cell_source.h): the header comes
// from the raster's size and geotransform; a raster in degrees is warped on
// the fly to the UTM zone of its centre, unless its own grid is kept; the
// band's no-data value (within the ASCII reader's tolerance) and NaN or
// infinite cells are holes; the band's scale and offset are applied. Cells
// are read in strips through a capped block cache, so memory stays bounded
// whatever the raster's size. A read that fails midway stops the reading: the
// counts come up short and readError() gives GDAL's message.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grid/cell_source.h"
#include "grid/grid_header.h"

namespace morvale {

struct RasterOptions {
    std::int32_t band = 1;           // 1-based
    bool keepCrs = false;            // a raster in degrees stays in degrees
    std::optional<double> cellsize;  // replaces the raster's cell size
};

enum class RasterOpenStatus : std::uint8_t {
    opened,
    unopenable,  // GDAL does not read this file (it may still be an Esri ASCII grid), or is not here
    refused,     // GDAL reads it, but it cannot be converted (the reason says why)
};

class RasterCellSource : public CellSource {
public:
    virtual const GridHeader& header() const = 0;
    // GDAL's message when the last read failed midway ("" when it did not).
    virtual const std::string& readError() const = 0;
    bool failedMidway() const final { return !readError().empty(); }
    bool countsTheWindowAsked() const final { return true; }
};

struct RasterOpened {
    RasterOpenStatus status = RasterOpenStatus::unopenable;
    std::unique_ptr<RasterCellSource> source;  // set when opened
    std::string reason;                        // why not, one line, to follow the file's name
    std::vector<std::string> notes;            // what the user should know (a warp, a cell size assumed)
    std::vector<std::string> warnings;         // what the user may not have wanted (a cell size replaced)
    std::string crsText;                       // "UTM zone 13N (EPSG:32613), warped from degrees", or ""
};

// Loads the GDAL module (once per process; it stays loaded, as the sources it
// makes run its code) and opens `path` through it.
RasterOpened openRaster(const std::filesystem::path& path, const RasterOptions& options);

// The module's file and the one function it exports, with C linkage so that
// it is found by this name. The module answers only a program of its own
// version (`version`, MORVALE_VERSION_TEXT): another's records may differ.
inline constexpr const char* rasterModuleFileName = "morvale-gdal.so";
inline constexpr const char* rasterModuleEntryName = "morvale_open_gdal_raster";
using RasterModuleEntry = void (*)(const char* version, const std::filesystem::path& path, const RasterOptions& options,
                                   RasterOpened& opened);

}  // namespace morvale
