#include "grid/degrees_grid.h"

#include <cmath>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "base/input_file.h"

namespace morvale {
namespace {

// Finer than about a kilometre per cell, as no grid in metres is coarse
// enough to be read as degrees, and DEMs in degrees are this fine.
constexpr double degreesCellBelow = 0.01;

// The .prj's first bytes: enough for its opening keyword and a projected
// system's, which names its geographic one inside.
constexpr std::size_t prjSampleBytes = 4096;

bool prjSaysGeographic(const std::filesystem::path& gridPath) {
    for (const char* extension : {".prj", ".PRJ"}) {
        std::filesystem::path prj = gridPath;
        prj.replace_extension(extension);
        const FileHandle file = openForReading(prj);
        if (!file) continue;
        char sample[prjSampleBytes];
        const std::string_view text(sample, std::fread(sample, 1, sizeof sample, file.get()));
        const std::size_t start = text.find_first_not_of(" \t\r\n");
        if (start == std::string_view::npos) return false;
        const std::string_view wkt = text.substr(start);
        return (wkt.starts_with("GEOGCS") || wkt.starts_with("GEOGCRS")) &&
               text.find("PROJCS") == std::string_view::npos && text.find("PROJCRS") == std::string_view::npos;
    }
    return false;
}

}  // namespace

DegreesSign gridInDegrees(const GridHeader& header, const std::filesystem::path& gridPath) {
    if (header.cellsize > 0.0 && header.cellsize < degreesCellBelow && std::fabs(header.xll) <= 180.0 &&
        std::fabs(header.yll) <= 90.0)
        return DegreesSign::header;
    return prjSaysGeographic(gridPath) ? DegreesSign::prj : DegreesSign::none;
}

int utmEpsgAt(double longitude, double latitude) {
    int zone = static_cast<int>(std::floor((longitude + 180.0) / 6.0)) + 1;
    zone = zone < 1 ? 1 : zone > 60 ? 60 : zone;
    return (latitude < 0.0 ? 32700 : 32600) + zone;
}

int utmEpsgOfCentre(const GridHeader& header) {
    return utmEpsgAt(header.xll + 0.5 * header.ncols * header.cellsize,
                     header.yll + 0.5 * header.nrows * header.cellsize);
}

std::string degreesWarningText(DegreesSign sign, const GridHeader& header, const std::filesystem::path& gridPath) {
    const int epsg = utmEpsgOfCentre(header);
    const std::u8string path = gridPath.u8string(), name = gridPath.stem().u8string();
    const std::string input(reinterpret_cast<const char*>(path.data()), path.size());
    const std::string stem = std::string(reinterpret_cast<const char*>(name.data()), name.size()) + "_utm";
    char text[1024];
    std::snprintf(text, sizeof text,
                  "looks like a grid in degrees (%s): X and Y are in degrees while Z is not, so the mesh will be a "
                  "needle; for metres, reproject it:\n  gdalwarp %s-t_srs EPSG:%d %s %s.tif\n"
                  "and convert that GeoTIFF (morvale-convert reads it where built with GDAL), or make a grid of it:\n"
                  "  gdal_translate -of AAIGrid %s.tif %s.asc",
                  sign == DegreesSign::prj ? "its .prj is geographic"
                                           : "cell size under 0.01, corner within longitude and latitude",
                  sign == DegreesSign::prj ? "" : "-s_srs EPSG:4326 ", epsg, input.c_str(), stem.c_str(), stem.c_str(),
                  stem.c_str());
    return text;
}

}  // namespace morvale
