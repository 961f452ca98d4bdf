#include "tiles/seam_pieces.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <map>
#include <set>
#include <system_error>

#include "tiles/tile_set.h"

namespace morvale {

namespace {

bool overlaps(const TileWindow& a, const TileWindow& b) {
    return std::int64_t{a.rowOffset} < std::int64_t{b.rowOffset} + b.nrows &&
           std::int64_t{b.rowOffset} < std::int64_t{a.rowOffset} + a.nrows &&
           std::int64_t{a.colOffset} < std::int64_t{b.colOffset} + b.ncols &&
           std::int64_t{b.colOffset} < std::int64_t{a.colOffset} + a.ncols;
}

bool hasSeamsExtension(const std::filesystem::path& path) {
    const std::u8string text = path.extension().u8string();  // string() may throw on Windows beyond ASCII
    std::string extension(text.begin(), text.end());
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".seams";
}

}  // namespace

std::vector<std::filesystem::path> listSeamPieces(const std::vector<std::filesystem::path>& given) {
    std::vector<std::filesystem::path> files;
    std::set<std::filesystem::path> seen;
    // A piece named twice (also through its folder) is read once; the names are compared as written,
    // without asking the file system, which a folder of many thousand pieces would feel.
    const auto add = [&](const std::filesystem::path& path) {
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(path, error);
        if (seen.insert((error ? path : absolute).lexically_normal()).second) files.push_back(path);
    };
    for (const std::filesystem::path& path : given) {
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            add(path);
            continue;
        }
        std::vector<std::filesystem::path> inFolder;
        for (std::filesystem::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
            if (it->is_regular_file(error) && hasSeamsExtension(it->path())) inFolder.push_back(it->path());
        std::sort(inFolder.begin(), inFolder.end());
        for (const std::filesystem::path& piece : inFolder) add(piece);
    }
    return files;
}

SeamPiecesRead readSeamPieceTables(const std::vector<std::filesystem::path>& files, SeamPieces& pieces) {
    pieces = SeamPieces{};
    pieces.files = files;
    if (files.empty()) return {SeamPiecesResult::none};
    std::vector<SeamIndex> tables(files.size());
    for (std::size_t p = 0; p < files.size(); ++p)
        if (const SeamFileResult r = readSeamTable(files[p], tables[p]); r != SeamFileResult::ok)
            return {SeamPiecesResult::pieceFailed, r, p};

    // Each piece's grid on the first's lattice: columns from its west edge, rows from its south edge.
    const GridHeader& first = tables[0].merged;
    std::vector<LatticePlace> places(files.size());
    std::size_t westPiece = 0, southPiece = 0;
    std::int64_t west = 0, south = 0, east = first.ncols, north = first.nrows;
    for (std::size_t p = 0; p < files.size(); ++p) {
        const GridHeader& m = tables[p].merged;
        places[p] = placeOnLattice(first, m);
        if (!places[p].onLattice)
            return {
                places[p].reason == AloneReason::cellSize ? SeamPiecesResult::cellSize : SeamPiecesResult::offLattice,
                SeamFileResult::ok, p};
        if (tables[p].depth != tables[0].depth) return {SeamPiecesResult::depth, SeamFileResult::ok, p};
        if (places[p].gx < west) west = places[p].gx, westPiece = p;
        if (places[p].gy < south) south = places[p].gy, southPiece = p;
        east = std::max(east, places[p].gx + m.ncols);
        north = std::max(north, places[p].gy + m.nrows);
    }
    constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
    if (east - west > largest || north - south > largest) return {SeamPiecesResult::tooLarge};

    SeamIndex& index = pieces.index;
    index.depth = tables[0].depth;
    index.merged = first;
    index.merged.ncols = static_cast<std::int32_t>(east - west);
    index.merged.nrows = static_cast<std::int32_t>(north - south);
    index.merged.xll = tables[westPiece].merged.xll;
    index.merged.yll = tables[southPiece].merged.yll;
    for (std::size_t p = 0; p < files.size(); ++p) {
        const GridHeader& m = tables[p].merged;
        pieces.rowShift.push_back(north - (places[p].gy + m.nrows));
        pieces.colShift.push_back(places[p].gx - west);
        pieces.firstTile.push_back(index.tiles.size());
        for (SeamTile& tile : tables[p].tiles) {
            tile.window.rowOffset += static_cast<std::int32_t>(pieces.rowShift[p]);
            tile.window.colOffset += static_cast<std::int32_t>(pieces.colShift[p]);
            index.tiles.push_back(std::move(tile));
            pieces.pieceOf.push_back(p);
        }
    }
    // Two pieces listing cells of one tile: each tile is compared only with those
    // in the same squares of a lattice as coarse as the largest tile, so that a
    // set of any size is checked in one pass.
    std::int64_t square = 1;
    for (const SeamTile& tile : index.tiles)
        square = std::max<std::int64_t>({square, tile.window.nrows, tile.window.ncols});
    std::map<std::pair<std::int64_t, std::int64_t>, std::vector<std::size_t>> squares;
    for (std::size_t t = 0; t < index.tiles.size(); ++t) {
        const TileWindow& w = index.tiles[t].window;
        for (std::int64_t r = w.rowOffset / square; r <= (std::int64_t{w.rowOffset} + w.nrows - 1) / square; ++r)
            for (std::int64_t c = w.colOffset / square; c <= (std::int64_t{w.colOffset} + w.ncols - 1) / square; ++c) {
                std::vector<std::size_t>& there = squares[{r, c}];
                for (const std::size_t other : there)
                    if (overlaps(index.tiles[other].window, w))
                        return {SeamPiecesResult::overlap, SeamFileResult::ok, pieces.pieceOf[t],
                                pieces.pieceOf[other]};
                there.push_back(t);
            }
    }
    return {};
}

SeamPiecesRead loadSeamPieceBorders(SeamPieces& pieces, const TileWindow* near) {
    SeamIndex& index = pieces.index;
    // The pieces that hold a tile near the window; the others are not opened.
    std::vector<char> wanted(pieces.files.size(), near == nullptr);
    if (near != nullptr) {
        const TileWindow wide{near->rowOffset - index.depth, near->colOffset - index.depth,
                              near->nrows + 2 * index.depth, near->ncols + 2 * index.depth};
        for (std::size_t t = 0; t < index.tiles.size(); ++t)
            if (overlaps(index.tiles[t].window, wide)) wanted[pieces.pieceOf[t]] = 1;
    }
    for (std::size_t p = 0; p < pieces.files.size(); ++p) {
        if (!wanted[p]) continue;
        // The window in the piece's own offsets.
        TileWindow local{};
        if (near != nullptr) {
            local = *near;
            local.rowOffset = static_cast<std::int32_t>(local.rowOffset - pieces.rowShift[p]);
            local.colOffset = static_cast<std::int32_t>(local.colOffset - pieces.colShift[p]);
        }
        SeamIndex piece;
        if (const SeamFileResult r = readSeamFile(pieces.files[p], piece, near ? &local : nullptr);
            r != SeamFileResult::ok)
            return {SeamPiecesResult::pieceFailed, r, p};
        for (std::size_t k = 0; k < piece.tiles.size(); ++k) {
            const std::size_t t = pieces.firstTile[p] + k;
            if (t < index.tiles.size() && pieces.pieceOf[t] == p)
                index.tiles[t].border = std::move(piece.tiles[k].border);
        }
    }
    return {};
}

std::string seamPiecesText(const SeamPieces& pieces, const SeamPiecesRead& read) {
    const auto name = [&](std::size_t p) { return p < pieces.files.size() ? quotedPath(pieces.files[p]) : "?"; };
    const std::string first = name(0);
    switch (read.result) {
    case SeamPiecesResult::ok: return "ok";
    case SeamPiecesResult::none: return "no seam index found (a folder of pieces holds .seams files)";
    case SeamPiecesResult::pieceFailed:
        return "the seam index " + name(read.piece) + " " + seamFileResultText(read.file);
    case SeamPiecesResult::cellSize:
        return "the seam pieces " + first + " and " + name(read.piece) +
               " have different cell sizes: they are not pieces of one set";
    case SeamPiecesResult::offLattice:
        return "the seam pieces " + first + " and " + name(read.piece) +
               " lie on different lattices: they are not pieces of one set";
    case SeamPiecesResult::depth:
        return "the seam pieces " + first + " and " + name(read.piece) +
               " keep different numbers of border lines: write them again with --write-seams";
    case SeamPiecesResult::overlap:
        return "the seam pieces " + name(read.other) + " and " + name(read.piece) +
               " both list cells of one tile: give each tile's piece once";
    case SeamPiecesResult::tooLarge: return "the seam pieces together would have more than 2147483647 rows or columns";
    }
    return "the seam pieces cannot be used";
}

std::filesystem::path unindexedNeighbour(const SeamIndex& index, const std::filesystem::path& tilePath,
                                         const TileWindow& window, std::int32_t ring) {
    // Ring cells that no tile of the index covers (also those beyond the union's edge).
    const std::int64_t top = std::int64_t{window.rowOffset} - ring,
                       bottom = std::int64_t{window.rowOffset} + window.nrows + ring;
    const std::int64_t left = std::int64_t{window.colOffset} - ring,
                       right = std::int64_t{window.colOffset} + window.ncols + ring;
    const TileWindow wide{static_cast<std::int32_t>(top), static_cast<std::int32_t>(left),
                          static_cast<std::int32_t>(bottom - top), static_cast<std::int32_t>(right - left)};
    std::vector<TileWindow> around;  // a few tiles of a set of any size
    for (const SeamTile& t : index.tiles)
        if (overlaps(t.window, wide)) around.push_back(t.window);
    const auto covered = [&](std::int64_t row, std::int64_t col) {
        for (const TileWindow& t : around)
            if (row >= t.rowOffset && row < std::int64_t{t.rowOffset} + t.nrows && col >= t.colOffset &&
                col < std::int64_t{t.colOffset} + t.ncols)
                return true;
        return false;
    };
    const auto inTile = [&](std::int64_t row, std::int64_t col) {
        return row >= window.rowOffset && row < std::int64_t{window.rowOffset} + window.nrows &&
               col >= window.colOffset && col < std::int64_t{window.colOffset} + window.ncols;
    };
    // Walk the ring once: its outline, `ring` cells deep.
    bool gap = false;
    for (std::int64_t row = top; row < bottom && !gap; ++row)
        for (std::int64_t col = left; col < right && !gap; ++col) {
            if (inTile(row, col)) {
                col = std::int64_t{window.colOffset} + window.ncols - 1;  // skip the tile's own cells
                continue;
            }
            gap = !covered(row, col);
        }
    if (!gap) return {};

    std::set<std::string> named;
    for (const SeamTile& t : index.tiles) named.insert(t.name);
    const std::u8string own = tilePath.filename().u8string();
    for (const std::filesystem::path& grid :
         listFolderGrids(tilePath.parent_path().empty() ? "." : tilePath.parent_path())) {
        const std::u8string file = grid.filename().u8string();
        if (file == own || named.count(std::string(file.begin(), file.end()))) continue;
        GridHeader header;
        if (readGridHeader(grid, header) != gridHeaderOk) continue;
        const LatticePlace place = placeOnLattice(index.merged, header);
        const std::int64_t row = std::int64_t{index.merged.nrows} - (place.gy + header.nrows);
        constexpr std::int64_t farthest = std::numeric_limits<std::int32_t>::max() / 2;
        if (!place.onLattice || std::max(std::abs(row), std::abs(place.gx)) > farthest) continue;
        const TileWindow there{static_cast<std::int32_t>(row), static_cast<std::int32_t>(place.gx), header.nrows,
                               header.ncols};
        if (overlaps(there, wide) && !overlaps(there, window)) return grid;
    }
    return {};
}

}  // namespace morvale
