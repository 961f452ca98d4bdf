#pragma once
// The seam index on disk, so that one tile converts alone with only the index
// at hand (one process per tile on a batch scheduler).
//
// Layout, every number little-endian whatever the machine:
//   "MVSEAMS" 0x1A, u32 version (2), u32 depth,
//   merged grid: i32 ncols, i32 nrows, f64 xll, f64 yll, f64 cellsize,
//                f64 nodataValue, i32 hasNodata,
//   u64 tile count, u64 FNV-1a 64 of the table below,
//   table, per tile: i32 rowOffset, i32 colOffset, i32 nrows, i32 ncols,
//                    f64 zMin, f64 zMax, u64 data offset (from the file's
//                    start), u64 value count, u64 FNV-1a 64 of the data,
//                    u64 the tile file's size, i64 its modification time,
//                    u32 name length, the name's UTF-8 bytes,
//   data, per tile: its border values as f64 bit patterns (NaN: no data).
// Doubles are stored as their bit patterns, so a round trip is exact. The
// table comes first and every tile's data is found by its offset, so a reader
// that needs only a few tiles' borders reads the table and those alone.

#include <filesystem>
#include <system_error>

#include "tiles/seam_index.h"

namespace morvale {

enum class SeamFileResult : std::uint8_t {
    ok,
    unopenable,   // cannot be opened or created
    notSeams,     // does not start with the magic
    newVersion,   // written by a later version of the format
    oldVersion,   // written by an earlier one, which lacks what a reader now needs
    damaged,      // cut short, or a checksum or a value out of range
    writeFailed,  // a write or the final flush failed
};

// Writes the index at path (under a temporary name beside it, renamed into
// place once complete); on failure `reason`, when given, gets the system's error.
SeamFileResult writeSeamFile(const std::filesystem::path& path, const SeamIndex& index,
                             std::error_code* reason = nullptr);

// Reads the index at path. With `near`, the border values are read only for
// the tiles within `depth` cells of that window (the others keep an empty
// border); without it, for every tile.
SeamFileResult readSeamFile(const std::filesystem::path& path, SeamIndex& index, const TileWindow* near = nullptr);

// Reads the merged grid and the table only: every tile keeps an empty border.
SeamFileResult readSeamTable(const std::filesystem::path& path, SeamIndex& index);

// "the seam index is damaged" and the like.
const char* seamFileResultText(SeamFileResult result);

}  // namespace morvale
