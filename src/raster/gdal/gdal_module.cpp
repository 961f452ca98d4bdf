// The GDAL module's one export: openGdalRaster behind the loader's entry name.

#include <cstring>

#include "morvale_version.h"
#include "raster/gdal/gdal_cell_source.h"

extern "C" __attribute__((visibility("default"))) void morvale_open_gdal_raster(const char* version,
                                                                                const std::filesystem::path& path,
                                                                                const morvale::RasterOptions& options,
                                                                                morvale::RasterOpened& opened) {
    if (std::strcmp(version, MORVALE_VERSION_TEXT) != 0) {
        opened.status = morvale::RasterOpenStatus::unopenable;
        opened.reason = std::string("the GDAL reader module is version ") + MORVALE_VERSION_TEXT + ", the program " +
                        version + ": reinstall them together";
        return;
    }
    opened = morvale::openGdalRaster(path, options);
}

// The type the loader calls it as.
static_assert(std::is_same_v<decltype(&morvale_open_gdal_raster), morvale::RasterModuleEntry>);
