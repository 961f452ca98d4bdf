#pragma once
// Telling a grid whose X and Y are degrees of longitude and latitude: its Z
// is in metres (or feet), so the mesh comes out as a needle thousands of
// times taller than wide. Such a grid is converted as asked, with a warning
// that says how to reproject it.

#include <filesystem>
#include <string>

#include "grid/grid_header.h"

namespace morvale {

enum class DegreesSign {
    none,
    header,  // cell size under 0.01 and a corner within longitude and latitude
    prj,     // the .prj beside the grid is a geographic WKT (GEOGCS, no PROJCS)
};

// By the header, then by NAME.prj beside the grid (any case of the extension).
DegreesSign gridInDegrees(const GridHeader& header, const std::filesystem::path& gridPath);

// The EPSG code of the UTM zone (WGS 84) of a point in degrees: 6 degrees of
// longitude a zone, 326NN north of the equator, 327NN south.
int utmEpsgAt(double longitude, double latitude);
// The same at the grid's centre, the grid read in degrees.
int utmEpsgOfCentre(const GridHeader& header);

// The warning after the grid's name (UTF-8), with the commands that give
// metres: the UTM zone of the grid's centre, through a GeoTIFF.
std::string degreesWarningText(DegreesSign sign, const GridHeader& header, const std::filesystem::path& gridPath);

}  // namespace morvale
