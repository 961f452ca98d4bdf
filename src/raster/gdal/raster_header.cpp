#include "raster/gdal/raster_header.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace morvale {

RasterHeaderStatus rasterHeader(const RasterGeometry& geometry, GridHeader& header) {
    if (geometry.columns <= 0 || geometry.rows <= 0) return RasterHeaderStatus::zeroSize;
    constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
    if (geometry.columns > largest || geometry.rows > largest) return RasterHeaderStatus::tooLarge;
    header = GridHeader{};
    header.ncols = static_cast<std::int32_t>(geometry.columns);
    header.nrows = static_cast<std::int32_t>(geometry.rows);
    header.dataStart = -1;
    if (!geometry.georeferenced) {
        header.cellsize = 1.0;
        return RasterHeaderStatus::ok;
    }
    const double* t = geometry.transform;
    if (t[2] != 0.0 || t[4] != 0.0) return RasterHeaderStatus::rotated;
    if (!(t[1] > 0.0 && t[5] < 0.0)) return RasterHeaderStatus::notNorthUp;
    if (std::fabs(t[1] + t[5]) > squareCellTolerance * t[1]) return RasterHeaderStatus::notSquare;
    header.cellsize = t[1];
    header.xll = t[0];
    header.yll = t[3] + static_cast<double>(geometry.rows) * t[5];
    return RasterHeaderStatus::ok;
}

std::string rasterHeaderProblem(RasterHeaderStatus status, const RasterGeometry& geometry) {
    const double* t = geometry.transform;
    char text[320];
    switch (status) {
    case RasterHeaderStatus::ok: return {};
    case RasterHeaderStatus::zeroSize:
        std::snprintf(text, sizeof text, "has no cells (%lld x %lld)", static_cast<long long>(geometry.columns),
                      static_cast<long long>(geometry.rows));
        break;
    case RasterHeaderStatus::tooLarge:
        std::snprintf(text, sizeof text, "has %lld x %lld cells, more columns or rows than a grid may have",
                      static_cast<long long>(geometry.columns), static_cast<long long>(geometry.rows));
        break;
    case RasterHeaderStatus::rotated:
        std::snprintf(text, sizeof text,
                      "is rotated or sheared (geotransform terms %.10g and %.10g); warp it north-up first: "
                      "gdalwarp IN OUT.tif",
                      t[2], t[4]);
        break;
    case RasterHeaderStatus::notNorthUp:
        std::snprintf(text, sizeof text,
                      "is not north-up (cell sides %.10g and %.10g); warp it north-up first: gdalwarp IN OUT.tif", t[1],
                      t[5]);
        break;
    case RasterHeaderStatus::notSquare:
        std::snprintf(text, sizeof text,
                      "has cells of %.10g by %.10g, not square; resample them square first: "
                      "gdalwarp -tr SIZE SIZE IN OUT.tif",
                      t[1], -t[5]);
        break;
    }
    return text;
}

}  // namespace morvale
