#pragma once
// The seam index: the border lines of every tile of a set, which is all a
// tile's conversion needs of its neighbours.
//
// A corner's mean reaches one cell out of a tile; a vertex normal uses the
// neighbouring corners and so reaches two. The index keeps `depth` lines along
// each edge (two by default), stored per tile as: the first `depth` rows in
// full, then for each middle row its first and last `depth` cells, then the
// last `depth` rows in full (fewer when the tile is narrower or lower than
// twice the depth; no cell is stored twice). Values are the doubles the body
// reader handed over, bit for bit; a cell without data (a no-data value, or a
// cell the tile's file never reached) holds a NaN, which no parsed number is.
//
// collectTileSeams is the first pass: it reads a tile's body once and keeps
// only its border, so memory is the borders of the set, never its cells.

#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "base/progress_reporter.h"
#include "grid/body_window.h"
#include "tiles/tile_set.h"

namespace morvale {

inline constexpr std::int32_t seamDepth = 2;
inline constexpr double seamNoData = std::numeric_limits<double>::quiet_NaN();

inline bool isSeamNoData(double value) { return std::isnan(value); }

struct SeamTile {
    std::string name;  // the tile's file name, for messages
    TileWindow window;
    // Range of the tile's data values; zMin > zMax when it has none.
    double zMin = std::numeric_limits<double>::max();
    double zMax = -std::numeric_limits<double>::max();
    std::vector<double> border;  // borderCellCount values; empty when not loaded
    // What the tile's file was when its border was read, so that a tile
    // edited since is told: its size, modification time (nanoseconds of the
    // file clock) and the hash of its border (seamBorderHash).
    std::uint64_t fileBytes = 0;
    std::int64_t modified = 0;
    std::uint64_t borderHash = 0;
};

// The size and modification time of a tile's file; false when it cannot be read.
struct TileStamp {
    bool ok = false;
    std::uint64_t fileBytes = 0;
    std::int64_t modified = 0;
};
TileStamp tileStamp(const std::filesystem::path& path);

// FNV-1a 64, the index's checksum: `hash` starts at fnvStart and goes on over each block.
inline constexpr std::uint64_t fnvStart = 0xcbf29ce484222325ull;
std::uint64_t fnvHash(std::uint64_t hash, const unsigned char* bytes, std::size_t count);
// That of the border's values as stored (little-endian bit patterns).
std::uint64_t seamBorderHash(const std::vector<double>& border);

struct SeamIndex {
    GridHeader merged;  // the set's merged grid (tile_set.h)
    std::int32_t depth = seamDepth;
    std::vector<SeamTile> tiles;
};

// Values stored for a tile of this size.
std::int64_t borderCellCount(const TileWindow& window, std::int32_t depth);

// Where the tile's cell (0-based row and column within the tile) is stored,
// or -1 when it lies deeper inside than `depth`.
std::int64_t borderSlot(const TileWindow& window, std::int32_t depth, std::int32_t row, std::int32_t col);

// The first pass for one tile: reads its body once into out (window, name,
// range, border, and the file's stamp and border hash). Returns the counts of the read; opened is false when the
// file could not be opened or positioned (the border is then all no data).
struct SeamCollection {
    bool opened = false;
    GridBodyCounts counts;
    std::string readError;  // a raster tile's read failed midway: GDAL's message
};
SeamCollection collectTileSeams(const SetTile& tile, std::int32_t depth, const std::atomic<bool>& cancelRequested,
                                ProgressReporter& progress, SeamTile& out);

}  // namespace morvale
