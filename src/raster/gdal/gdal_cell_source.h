#pragma once
// The GDAL side of the raster cell source (raster/raster_source.h): opens a
// raster as the converter reads it, and reads its cells.
//
// The header comes from the raster's size and geotransform (raster_header.h).
// A raster in degrees of latitude and longitude is warped on the fly to the
// UTM zone of its centre (a warped VRT, bilinear, at GDAL's suggested cell
// size), so that X, Y and Z share a unit, unless the raster's own grid is
// kept. Cells are read in strips of GDAL's natural block height (held to a
// megabyte), through a block cache of one row of blocks (a warp's: 64 MB).
//
// The module's entry calls openGdalRaster; the fuzz target calls it directly.

#include <filesystem>

#include "raster/raster_source.h"

namespace morvale {

RasterOpened openGdalRaster(const std::filesystem::path& path, const RasterOptions& options);

}  // namespace morvale
