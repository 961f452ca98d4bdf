#pragma once
// Telling a raster of another format from a corrupted grid: an image, an
// archive or an SRTM height file fed to the converter is named, and the user
// is told how to get an Esri ASCII grid from it. Looked at only once a header
// failed to read, so a grid never pays for it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace morvale {

struct RasterKind {
    const char* what = nullptr;  // "a TIFF image"; null: none of the known kinds
    bool archive = false;        // a zip or gzip file, which may hold a grid of either kind
};

// How many leading bytes the signatures need.
inline constexpr std::size_t rasterSignatureBytes = 8;

// By the first bytes of a file (TIFF, BigTIFF, PNG, JPEG, zip, gzip), and for
// an SRTM height file, which has no signature, by its name (N00E000.hgt) and
// size (1201 or 3601 samples square, two bytes each).
RasterKind rasterKindOf(const unsigned char* bytes, std::size_t size, std::string_view fileName,
                        std::uintmax_t fileSize);

// The same on a file; none when it cannot be read.
RasterKind fileRasterKind(const std::filesystem::path& path);

// True when the file's name ends in .asc (any case): an Esri ASCII grid by name,
// which only the grid's own reader reads.
bool hasAsciiGridExtension(const std::filesystem::path& path);

// What to tell the user after the file's name (UTF-8): what it is, and how
// to make an Esri ASCII grid of it.
std::string notAGridText(const RasterKind& kind, const std::filesystem::path& path);

}  // namespace morvale
