#pragma once
// A tile's own cells, from its file: the Esri ASCII reader for a grid, and in
// a build with GDAL the raster cell source for any other raster (a GeoTIFF
// tile), so that a set of GeoTIFFs meets exactly as a set of grids does.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <type_traits>

#include "base/input_file.h"
#include "base/progress_reporter.h"
#include "grid/cell_source.h"
#include "grid/grid_body.h"
#include "grid/grid_header.h"

namespace morvale {

// True when the tile is read through GDAL (not an .asc, in a build with GDAL).
bool isRasterTile(const std::filesystem::path& path);

// The raster tile's cells of `window` and its ring up to lastRow, into `sink`;
// `opened` is false when GDAL no longer opens it, and `readError` is GDAL's
// message when the read failed midway ("" when it did not).
GridBodyCounts readRasterTile(const std::filesystem::path& path, const CropWindow& window, std::int32_t lastRow,
                              const std::atomic<bool>& cancelRequested, ProgressReporter& progress, CellSink& sink,
                              bool& opened, std::string& readError);

// The cells of `window` of the tile at `path` (whose header is `header`) and
// of its one-cell ring, rows up to lastRow, as readGridBody hands them over.
// `opened` is false when the file could not be opened or positioned;
// `readError` is set when a raster's read failed midway (a grid's short body
// shows in its counts instead).
template <class OnCell>
GridBodyCounts readTileBody(const std::filesystem::path& path, const GridHeader& header, const CropWindow& window,
                            std::int32_t lastRow, const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                            OnCell&& onCell, bool& opened, std::string& readError) {
    readError.clear();
    if (isRasterTile(path)) {
        CallingCellSink<std::remove_reference_t<OnCell>> sink(onCell);
        return readRasterTile(path, window, lastRow, cancelRequested, progress, sink, opened, readError);
    }
    FileHandle input = openForReading(path);
    opened = input && seekTo(input.get(), header.dataStart);
    if (!opened) return {};
    return readGridBody(input.get(), header, window, lastRow, cancelRequested, progress, onCell);
}

}  // namespace morvale
