#pragma once
// A raster in degrees seen in metres: one band of it, as Float64, warped to
// the UTM zone of its centre through GDAL's warped VRT (bilinear, at the cell
// size GDAL suggests), cells outside the source or over its no-data NaN. The
// warp runs block by block as the VRT is read; nothing is written.

#include <gdal.h>

#include <string>

namespace morvale {

struct UtmWarp {
    GDALDatasetH selected = nullptr;  // the band as Float64 (a VRT the warp reads)
    GDALDatasetH warped = nullptr;    // band 1: the band in metres; null when the warp failed
    int epsg = 0;
    std::string reason;  // GDAL's message when it failed
};

// Both datasets belong to the caller, who closes `warped` first.
UtmWarp warpToUtm(GDALDatasetH source, int band, int epsg);

// "UTM zone 13N (EPSG:32613)".
std::string utmZoneText(int epsg);

}  // namespace morvale
