#pragma once
// The seam index in pieces, so that the first pass runs as one task per tile
// (or per group of tiles) too: each task writes the piece of the tiles it was
// given (seam_file.h), and a conversion reads every piece's table and merges
// them into one index on the union of their merged grids. The borders are
// then read only for the tiles near the one being converted, from whichever
// piece holds them. One piece alone is the single-file index, unchanged.
//
// Pieces join when they share the cell size, the lattice and the border
// depth; two pieces that list cells of the same tile do not join. The
// union's lower-left corner is taken from the westernmost and southernmost
// pieces (each took it from one of its tiles), so it is the corner the whole
// set's plan would have found.
//
// A neighbour that no piece lists is told apart from a hole: when a tile's
// ring reaches cells no piece covers, the grids of the tile's folder that no
// piece names are placed on the lattice, and one that reaches into the ring
// is a neighbour whose piece is missing.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tiles/seam_file.h"
#include "tiles/seam_index.h"

namespace morvale {

enum class SeamPiecesResult : std::uint8_t {
    ok,
    none,         // no piece given, or a folder holding none
    pieceFailed,  // a piece cannot be read: `file` says why
    cellSize,     // a piece has another cell size than the first
    offLattice,   // a piece's grid lies off the first's lattice
    depth,        // a piece keeps another number of border lines
    overlap,      // two pieces list cells of the same tile
    tooLarge,     // the union would have more than 2^31 - 1 rows or columns
};

struct SeamPieces {
    SeamIndex index;  // the union; every tile's border empty until loaded
    std::vector<std::filesystem::path> files;
    std::vector<std::size_t> pieceOf;              // per tile of the index: its piece in `files`
    std::vector<std::size_t> firstTile;            // per piece: its first tile in the index (its tiles follow)
    std::vector<std::int64_t> rowShift, colShift;  // per piece: its window offsets in the union minus its own
};

struct SeamPiecesRead {
    SeamPiecesResult result = SeamPiecesResult::ok;
    SeamFileResult file = SeamFileResult::ok;  // with pieceFailed
    std::size_t piece = 0;                     // the piece in question
    std::size_t other = 0;                     // with overlap: the piece it overlaps
};

// The index files named: a folder stands for its ".seams" files, sorted by name.
std::vector<std::filesystem::path> listSeamPieces(const std::vector<std::filesystem::path>& given);

// Reads the pieces' tables and merges them.
SeamPiecesRead readSeamPieceTables(const std::vector<std::filesystem::path>& files, SeamPieces& pieces);

// Reads the borders of the tiles within the index's depth of `near` (a
// window of the union), or of every tile when near is null.
SeamPiecesRead loadSeamPieceBorders(SeamPieces& pieces, const TileWindow* near);

// "the seam pieces 'a.seams' and 'b.seams' have different cell sizes" and the like.
std::string seamPiecesText(const SeamPieces& pieces, const SeamPiecesRead& read);

// The first grid of the tile's folder that no tile of the index names and
// that lies on the index's lattice within `ring` cells of `window` (a window
// of the union) without being the tile itself; empty when there is none, or
// when every cell of the ring is covered by a tile of the index.
std::filesystem::path unindexedNeighbour(const SeamIndex& index, const std::filesystem::path& tilePath,
                                         const TileWindow& window, std::int32_t ring);

}  // namespace morvale
