#include "grid/raster_signature.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/input_file.h"

namespace morvale {
namespace {

struct Signature {
    const char* bytes;
    std::size_t size;
    RasterKind kind;
};

constexpr Signature signatures[] = {
    {"II*\0", 4, {"a TIFF image"}},
    {"MM\0*", 4, {"a TIFF image"}},
    {"II+\0", 4, {"a BigTIFF image"}},
    {"MM\0+", 4, {"a BigTIFF image"}},
    {"\x89PNG\r\n\x1a\n", 8, {"a PNG image"}},
    {"\xff\xd8\xff", 3, {"a JPEG image"}},
    {"PK\x03\x04", 4, {"a zip archive", true}},
    {"PK\x05\x06", 4, {"a zip archive", true}},  // an empty one
    {"\x1f\x8b", 2, {"a gzip-compressed file", true}},
};

// SRTM tiles are named by their south-west corner: N00E000.hgt, any case.
bool isSrtmName(std::string_view name) {
    constexpr std::size_t length = 11;
    if (name.size() != length) return false;
    auto upper = [&](std::size_t i) { return static_cast<char>(name[i] & ~0x20); };
    auto digit = [&](std::size_t i) { return name[i] >= '0' && name[i] <= '9'; };
    return (upper(0) == 'N' || upper(0) == 'S') && digit(1) && digit(2) && (upper(3) == 'E' || upper(3) == 'W') &&
           digit(4) && digit(5) && digit(6) && name[7] == '.' && upper(8) == 'H' && upper(9) == 'G' && upper(10) == 'T';
}

constexpr std::uintmax_t srtmBytes(std::uintmax_t samples) { return 2 * samples * samples; }

}  // namespace

RasterKind rasterKindOf(const unsigned char* bytes, std::size_t size, std::string_view fileName,
                        std::uintmax_t fileSize) {
    for (const Signature& s : signatures)
        if (size >= s.size && std::memcmp(bytes, s.bytes, s.size) == 0) return s.kind;
    if (isSrtmName(fileName) && (fileSize == srtmBytes(1201) || fileSize == srtmBytes(3601)))
        return {"an SRTM height file"};
    return {};
}

RasterKind fileRasterKind(const std::filesystem::path& path) {
    const FileHandle file = openForReading(path);
    if (!file) return {};
    unsigned char sample[rasterSignatureBytes];
    const std::size_t got = std::fread(sample, 1, sizeof sample, file.get());
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    const std::u8string name = path.filename().u8string();  // the pattern is ASCII: any encoding of the rest will do
    return rasterKindOf(sample, got, std::string_view(reinterpret_cast<const char*>(name.data()), name.size()),
                        error ? 0 : size);
}

std::string notAGridText(const RasterKind& kind, const std::filesystem::path& path) {
    auto shellWord = [](const std::filesystem::path& p) {
        const std::u8string text = p.u8string();
        std::string word(reinterpret_cast<const char*>(text.data()), text.size());
        return word.find_first_of(" '\"$&;()") == std::string::npos ? word : "'" + word + "'";
    };
    std::filesystem::path grid = path;
    grid.replace_extension(path.extension() == ".asc" ? ".grid.asc" : ".asc");
    const std::string command = "gdal_translate -of AAIGrid " + shellWord(path) + " " + shellWord(grid);
    std::string text = "is " + std::string(kind.what) + ", not an Esri ASCII grid, the only input this build reads; ";
    if (kind.archive)
        return text + "unpack it (a grid inside converts as it is, another raster after\n  " +
               "gdal_translate -of AAIGrid IN OUT.asc)";
    return text + "convert it with\n  " + command;
}

bool hasAsciiGridExtension(const std::filesystem::path& path) {
    const std::u8string extension = path.extension().u8string();
    if (extension.size() != 4) return false;
    const char8_t* asc = u8".asc";
    for (std::size_t i = 0; i < 4; ++i)
        if ((extension[i] | 0x20) != asc[i]) return false;
    return true;
}

}  // namespace morvale
