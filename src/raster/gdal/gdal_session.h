#pragma once
// GDAL as this program uses it: every driver registered once, its block cache
// capped so that a raster of any size streams in bounded memory, its messages
// kept for ours instead of printed, and no side files (.aux.xml) written
// beside an input.

#include <cstddef>
#include <string>

namespace morvale {

// GDAL's block cache, whatever the raster's size.
inline constexpr std::size_t gdalCacheBytes = std::size_t{64} << 20;
// The least it is given: a few blocks of any raster.
inline constexpr std::size_t gdalCacheLeastBytes = std::size_t{1} << 20;

// Sets GDAL up on first use; later calls do nothing. Thread-safe.
void startGdal();

// Sets GDAL's block cache to `bytes`, held within gdalCacheLeastBytes and
// gdalCacheBytes. A raster read once in rows needs only the row of blocks it
// is in: a larger cache would only hold blocks already read.
void setGdalCache(std::size_t bytes);

// GDAL's last error message on this thread, on one line ("" when none).
std::string gdalLastError();

}  // namespace morvale
