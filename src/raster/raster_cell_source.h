#pragma once
// The second cell source: any raster GDAL reads (GeoTIFF, SRTM .hgt, VRT
// mosaics, PNG heightmaps...), handed over exactly as the Esri ASCII reader
// hands over a grid's cells, so the conversion above cannot tell them apart.
//
// The header comes from the raster's size and geotransform (raster_header.h).
// A raster in degrees of latitude and longitude is warped on the fly to the
// UTM zone of its centre (a warped VRT, bilinear, at GDAL's suggested cell
// size), so that X, Y and Z share a unit, unless the raster's own grid is
// kept. The band's no-data value (within the ASCII reader's 1e-6) and
// NaN or infinite cells are holes; the band's scale and offset are applied.
//
// Cells are read in strips of GDAL's natural block height (held to a few
// megabytes), through a block cache of two rows of blocks (a warp's: 64 MB),
// so memory stays bounded whatever the raster's size. A read that fails midway stops the
// reading: the counts come up short and readError() gives GDAL's message.

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
    unopenable,  // GDAL does not read this file (it may still be an Esri ASCII grid)
    refused,     // GDAL reads it, but it cannot be converted (the reason says why)
};

class RasterCellSource;

struct RasterOpened {
    RasterOpenStatus status = RasterOpenStatus::unopenable;
    std::unique_ptr<RasterCellSource> source;  // set when opened
    std::string reason;                        // why not, one line, to follow the file's name
    std::vector<std::string> notes;            // what the user should know (a warp, a cell size assumed)
    std::vector<std::string> warnings;         // what the user may not have wanted (a cell size replaced)
    std::string crsText;                       // "UTM zone 13N (EPSG:32613), warped from degrees", or ""
};

RasterOpened openRaster(const std::filesystem::path& path, const RasterOptions& options);

class RasterCellSource final : public CellSource {
public:
    struct Handles;  // the datasets, closed in reverse order of opening
    RasterCellSource(std::unique_ptr<Handles> handles, const GridHeader& header, double scale, double offset);
    ~RasterCellSource() override;

    const GridHeader& header() const { return header_; }

    GridBodyCounts read(const CropWindow& window, std::int32_t lastRow, const std::atomic<bool>& cancelRequested,
                        ProgressReporter& progress, CellSink& sink) const override;
    bool countsTheWindowAsked() const override { return true; }

    // GDAL's message when the last read failed midway ("" when it did not).
    const std::string& readError() const { return readError_; }
    bool failedMidway() const override { return !readError_.empty(); }

private:
    std::unique_ptr<Handles> handles_;
    GridHeader header_;
    double scale_;
    double offset_;
    mutable std::string readError_;
};

}  // namespace morvale
