#include "raster/gdal/gdal_session.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>

#include <algorithm>
#include <mutex>

namespace morvale {

void startGdal() {
    static std::once_flag started;
    std::call_once(started, [] {
        CPLSetErrorHandler(CPLQuietErrorHandler);
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        GDALSetCacheMax64(static_cast<GIntBig>(gdalCacheBytes));
        GDALAllRegister();
    });
}

void setGdalCache(std::size_t bytes) {
    GDALSetCacheMax64(static_cast<GIntBig>(std::clamp(bytes, gdalCacheLeastBytes, gdalCacheBytes)));
}

std::string gdalLastError() {
    std::string text = CPLGetLastErrorMsg();
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace morvale
