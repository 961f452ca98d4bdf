#include "tiles/tile_body.h"

#include "grid/raster_signature.h"
#ifdef MORVALE_GDAL
#include "raster/raster_source.h"
#endif

namespace morvale {

#ifdef MORVALE_GDAL

bool isRasterTile(const std::filesystem::path& path) { return !hasAsciiGridExtension(path); }

GridBodyCounts readRasterTile(const std::filesystem::path& path, const CropWindow& window, std::int32_t lastRow,
                              const std::atomic<bool>& cancelRequested, ProgressReporter& progress, CellSink& sink,
                              bool& opened, std::string& readError) {
    const RasterOpened raster = openRaster(path, RasterOptions{});
    opened = raster.status == RasterOpenStatus::opened;
    if (!opened) return {};
    const GridBodyCounts counts = raster.source->read(window, lastRow, cancelRequested, progress, sink);
    readError = raster.source->readError();
    return counts;
}

#else

bool isRasterTile(const std::filesystem::path&) { return false; }

GridBodyCounts readRasterTile(const std::filesystem::path&, const CropWindow&, std::int32_t, const std::atomic<bool>&,
                              ProgressReporter&, CellSink&, bool& opened, std::string&) {
    opened = false;
    return {};
}

#endif

}  // namespace morvale
