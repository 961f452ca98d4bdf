#include "raster/gdal/utm_warp.h"

#include <gdal_utils.h>

#include <cstdio>

#include "raster/gdal/gdal_session.h"

namespace morvale {

UtmWarp warpToUtm(GDALDatasetH source, int band, int epsg) {
    UtmWarp warp;
    warp.epsg = epsg;
    // The band alone as Float64, so that the warp's output holds NaN as its no-data.
    const std::string bandText = std::to_string(band);
    const char* selectArgs[] = {"-of", "VRT", "-ot", "Float64", "-b", bandText.c_str(), nullptr};
    GDALTranslateOptions* select = GDALTranslateOptionsNew(const_cast<char**>(selectArgs), nullptr);
    int usageError = 0;
    warp.selected = select != nullptr ? GDALTranslate("", source, select, &usageError) : nullptr;
    GDALTranslateOptionsFree(select);
    if (warp.selected == nullptr) {
        warp.reason = gdalLastError();
        return warp;
    }
    const std::string target = "EPSG:" + std::to_string(epsg);
    const char* warpArgs[] = {"-of", "VRT", "-t_srs", target.c_str(), "-r", "bilinear", "-dstnodata", "nan", nullptr};
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(const_cast<char**>(warpArgs), nullptr);
    warp.warped = options != nullptr ? GDALWarp("", nullptr, 1, &warp.selected, options, &usageError) : nullptr;
    GDALWarpAppOptionsFree(options);
    if (warp.warped == nullptr) warp.reason = gdalLastError();
    return warp;
}

std::string utmZoneText(int epsg) {
    char text[64];
    std::snprintf(text, sizeof text, "UTM zone %d%c (EPSG:%d)", epsg % 100, epsg >= 32700 ? 'S' : 'N', epsg);
    return text;
}

}  // namespace morvale
