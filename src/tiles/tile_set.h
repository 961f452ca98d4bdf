#pragma once
// Tile sets: several grids that lie on one lattice seen as crop windows of one
// virtual merged grid.
//
// Converting a tile of a set is converting the window of the merged grid that
// the tile covers: its own cells come from its file, the ring around it from
// its neighbours' border lines (seam_index.h). Placement then uses the merged
// grid's header, so every tile's vertices are those of the same corners in the
// conversion of the merged grid, and neighbours share their border vertices
// bit for bit.
//
// Lattice rule: a tile belongs to the set when its cell size matches the set's
// to within a relative 1e-9 and its lower-left corner lies on the set's lattice
// to within a millionth of a cell in both directions. The set is the largest
// group of inputs that share one lattice (ties go to the group met first);
// tiles of another cell size, off the lattice, or overlapping a tile met
// before them are converted alone. A set of one tile is no set: that tile is
// converted alone too (it would give the same mesh). A hole in the set (a missing tile) is simply
// no data in the merged grid.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "grid/body_window.h"
#include "grid/grid_header.h"

namespace morvale {

// Where a tile lies in the merged grid: 0-based offsets of its first row (from
// the north) and first column (from the west), and its size.
struct TileWindow {
    std::int32_t rowOffset = 0;
    std::int32_t colOffset = 0;
    std::int32_t nrows = 0;
    std::int32_t ncols = 0;
};

inline bool operator==(const TileWindow& a, const TileWindow& b) {
    return a.rowOffset == b.rowOffset && a.colOffset == b.colOffset && a.nrows == b.nrows && a.ncols == b.ncols;
}

// The tile's window as the 1-based crop window of the merged grid.
inline CropWindow mergedCropWindow(const TileWindow& w) {
    return {w.colOffset + 1, w.rowOffset + 1, w.colOffset + w.ncols, w.rowOffset + w.nrows};
}

// One input whose header was read.
struct TileHeader {
    std::filesystem::path path;
    GridHeader header;
};

struct SetTile {
    std::filesystem::path path;
    GridHeader header;  // the tile's own (its body reading and checks stay its own)
    TileWindow window;
};

enum class AloneReason : std::uint8_t {
    cellSize,    // another cell size than the set's
    offLattice,  // corner off the set's lattice
    overlaps,    // shares cells with `other`, a tile of the set
    notInIndex,  // on the lattice of a seam index that does not list it
    changed,     // listed in the seam index, but its border lines changed since
    tooLarge,    // the set would have more rows or columns than a grid may
    lonely,      // no other input shares its lattice: there is no set
};

struct AloneTile {
    std::filesystem::path path;
    GridHeader header;
    AloneReason reason = AloneReason::offLattice;
    std::filesystem::path other;  // the tile it overlaps
    double measure = 0.0;         // its cell size, or how far off the lattice it lies (in cells)
};

struct TileSetPlan {
    // ncols, nrows, xll and yll of the lower-left corner, the set's cell size
    // and the no-data value of the tile the set was measured from; dataStart
    // is -1: the merged grid has no file.
    GridHeader merged;
    std::vector<SetTile> tiles;
    std::vector<AloneTile> alone;
};

// The lower-left corner of a grid (its xll and yll as corners).
double cornerXll(const GridHeader& header);
double cornerYll(const GridHeader& header);

// Plans the set of the given inputs (in the order given; see the lattice rule above).
TileSetPlan planTileSet(const std::vector<TileHeader>& inputs);

// One tile as a set of its own: the piece of a seam index that one task of a
// distributed first pass writes (planTileSet leaves a lonely tile alone).
TileSetPlan planOneTile(const TileHeader& input);

// Places tiles on the lattice of an existing merged grid (a seam index's):
// each tile that lies on it with a window listed in `known` joins the set;
// the others are alone (notInIndex when on the lattice but not listed).
TileSetPlan placeOnMergedGrid(const GridHeader& merged, const std::vector<TileWindow>& known,
                              const std::vector<TileHeader>& inputs);

// The window of `header` on the lattice of `merged`, or the reason it has none.
struct LatticePlace {
    bool onLattice = false;
    AloneReason reason = AloneReason::offLattice;
    double measure = 0.0;
    std::int64_t gx = 0;  // lattice column of the west edge, from merged's west edge
    std::int64_t gy = 0;  // lattice row of the south edge, from merged's south edge
};
LatticePlace placeOnLattice(const GridHeader& reference, const GridHeader& header);

// The path in single quotes, as the messages about tiles name files.
std::string quotedPath(const std::filesystem::path& path);

// "'b.asc' overlaps 'a.asc'" and the like: why a tile is not part of the set.
std::string aloneReasonText(const AloneTile& tile);

// Two tiles of the set that meet along part of an edge only (a staggered
// layout), as indices into plan.tiles: the simplifier keeps a seam's corners
// alike on both sides only where the two share the whole edge. Found is false
// when every edge two tiles share is whole.
struct PartialSeam {
    bool found = false;
    std::size_t a = 0, b = 0;
};
PartialSeam findPartialSeam(const TileSetPlan& plan);

// The grids (".asc", any letter case) of a folder, and in a build with GDAL
// its GeoTIFFs (".tif", ".tiff"), sorted by name.
std::vector<std::filesystem::path> listFolderGrids(const std::filesystem::path& folder);

}  // namespace morvale
