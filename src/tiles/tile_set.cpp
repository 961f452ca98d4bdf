#include "tiles/tile_set.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

#include "tiles/tile_body.h"

namespace morvale {

namespace {

// "A millionth of a cell" and "the same cell size", as stated in tile_set.h.
constexpr double latticeTolerance = 1e-6;
constexpr double cellSizeTolerance = 1e-9;
// Beyond this many cells from the reference the lattice test loses its meaning
// (and llround its range).
constexpr double farthestLatticeCell = 1e15;

struct Placed {
    std::size_t input;
    std::int64_t gx;
    std::int64_t gy;
};

}  // namespace

std::string quotedPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    std::string out(1, '\'');
    out.append(text.begin(), text.end());
    out.push_back('\'');
    return out;
}

double cornerXll(const GridHeader& header) {
    return header.xllIsCenter ? header.xll - header.cellsize * 0.5 : header.xll;
}

double cornerYll(const GridHeader& header) {
    return header.yllIsCenter ? header.yll - header.cellsize * 0.5 : header.yll;
}

LatticePlace placeOnLattice(const GridHeader& reference, const GridHeader& header) {
    LatticePlace place;
    const double size = reference.cellsize;
    if (!(header.cellsize > 0.0) || !std::isfinite(header.cellsize) ||
        std::fabs(header.cellsize - size) > cellSizeTolerance * size) {
        place.reason = AloneReason::cellSize;
        place.measure = header.cellsize;
        return place;
    }
    const double fx = (cornerXll(header) - cornerXll(reference)) / size;
    const double fy = (cornerYll(header) - cornerYll(reference)) / size;
    if (!(std::fabs(fx) < farthestLatticeCell) || !(std::fabs(fy) < farthestLatticeCell)) {
        place.reason = AloneReason::offLattice;
        place.measure = std::numeric_limits<double>::infinity();
        return place;
    }
    place.gx = std::llround(fx);
    place.gy = std::llround(fy);
    const double off =
        std::max(std::fabs(fx - static_cast<double>(place.gx)), std::fabs(fy - static_cast<double>(place.gy)));
    if (off > latticeTolerance) {
        place.reason = AloneReason::offLattice;
        place.measure = off;
        return place;
    }
    place.onLattice = true;
    return place;
}

TileSetPlan planTileSet(const std::vector<TileHeader>& inputs) {
    TileSetPlan plan;
    if (inputs.empty()) return plan;

    // Group the inputs by lattice; each group is measured from its first member.
    std::vector<std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        bool placed = false;
        if (inputs[i].header.cellsize > 0.0 && std::isfinite(inputs[i].header.cellsize)) {
            for (auto& group : groups) {
                if (placeOnLattice(inputs[group.front()].header, inputs[i].header).onLattice) {
                    group.push_back(i);
                    placed = true;
                    break;
                }
            }
            if (!placed) {
                groups.push_back({i});
                placed = true;
            }
        }
    }
    std::size_t chosen = 0;
    for (std::size_t g = 1; g < groups.size(); ++g)
        if (groups[g].size() > groups[chosen].size()) chosen = g;
    const TileHeader* reference = groups.empty() ? nullptr : &inputs[groups[chosen].front()];

    // Members of the set in input order; a tile overlapping one kept before it goes alone.
    std::vector<char> handled(inputs.size(), 0);
    std::vector<Placed> placed;
    if (reference != nullptr) {
        for (const std::size_t i : groups[chosen]) {
            const GridHeader& h = inputs[i].header;
            const LatticePlace place = placeOnLattice(reference->header, h);
            // In 64-bit lattice cells relative to the reference, rows counted from the south.
            const auto hit = std::find_if(placed.begin(), placed.end(), [&](const Placed& p) {
                const GridHeader& o = inputs[p.input].header;
                return place.gx < p.gx + o.ncols && p.gx < place.gx + h.ncols && place.gy < p.gy + o.nrows &&
                       p.gy < place.gy + h.nrows;
            });
            if (hit != placed.end())
                plan.alone.push_back({inputs[i].path, h, AloneReason::overlaps, inputs[hit->input].path, 0.0});
            else
                placed.push_back({i, place.gx, place.gy});
            handled[i] = 1;
        }
    }
    if (placed.size() == 1) {
        handled[placed.front().input] = 0;
        placed.clear();
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (handled[i]) continue;
        LatticePlace place = placeOnLattice(reference ? reference->header : inputs[i].header, inputs[i].header);
        // Without a set, a grid with a usable cell size has nothing to join.
        const double size = inputs[i].header.cellsize;
        if (placed.empty() && size > 0.0 && std::isfinite(size)) place.reason = AloneReason::lonely;
        plan.alone.push_back({inputs[i].path, inputs[i].header, place.reason, {}, place.measure});
    }
    if (placed.empty()) return plan;

    std::int64_t west = placed.front().gx, south = placed.front().gy;
    std::int64_t east = west, north = south;
    std::size_t westTile = placed.front().input, southTile = placed.front().input;
    for (const Placed& p : placed) {
        const GridHeader& h = inputs[p.input].header;
        if (p.gx < west) west = p.gx, westTile = p.input;
        if (p.gy < south) south = p.gy, southTile = p.input;
        east = std::max(east, p.gx + h.ncols);
        north = std::max(north, p.gy + h.nrows);
    }
    constexpr std::int64_t largest = std::numeric_limits<std::int32_t>::max();
    if (east - west > largest || north - south > largest) {
        for (const Placed& p : placed)
            plan.alone.push_back({inputs[p.input].path, inputs[p.input].header, AloneReason::tooLarge, {}, 0.0});
        return plan;
    }

    GridHeader& merged = plan.merged;
    merged.ncols = static_cast<std::int32_t>(east - west);
    merged.nrows = static_cast<std::int32_t>(north - south);
    merged.xll = cornerXll(inputs[westTile].header);
    merged.yll = cornerYll(inputs[southTile].header);
    merged.cellsize = reference->header.cellsize;
    merged.hasNodata = reference->header.hasNodata;
    merged.nodataValue = reference->header.nodataValue;
    merged.dataStart = -1;
    for (const Placed& p : placed) {
        const GridHeader& h = inputs[p.input].header;
        const TileWindow window{static_cast<std::int32_t>(north - (p.gy + h.nrows)),
                                static_cast<std::int32_t>(p.gx - west), h.nrows, h.ncols};
        plan.tiles.push_back({inputs[p.input].path, h, window});
    }
    return plan;
}

TileSetPlan planOneTile(const TileHeader& input) {
    TileSetPlan plan;
    GridHeader& merged = plan.merged;
    merged = input.header;
    merged.xll = cornerXll(input.header);
    merged.yll = cornerYll(input.header);
    merged.xllIsCenter = merged.yllIsCenter = false;
    merged.dataStart = -1;
    plan.tiles.push_back({input.path, input.header, {0, 0, input.header.nrows, input.header.ncols}});
    return plan;
}

TileSetPlan placeOnMergedGrid(const GridHeader& merged, const std::vector<TileWindow>& known,
                              const std::vector<TileHeader>& inputs) {
    TileSetPlan plan;
    plan.merged = merged;
    for (const TileHeader& input : inputs) {
        const LatticePlace place = placeOnLattice(merged, input.header);
        AloneTile alone{input.path, input.header, place.reason, {}, place.measure};
        if (place.onLattice) {
            const std::int64_t rowOffset = std::int64_t{merged.nrows} - (place.gy + input.header.nrows);
            const bool inside = place.gx >= 0 && rowOffset >= 0 && place.gx + input.header.ncols <= merged.ncols &&
                                rowOffset + input.header.nrows <= merged.nrows;
            if (inside) {
                const TileWindow window{static_cast<std::int32_t>(rowOffset), static_cast<std::int32_t>(place.gx),
                                        input.header.nrows, input.header.ncols};
                if (std::find(known.begin(), known.end(), window) != known.end()) {
                    plan.tiles.push_back({input.path, input.header, window});
                    continue;
                }
            }
            alone.reason = AloneReason::notInIndex;
        }
        plan.alone.push_back(std::move(alone));
    }
    return plan;
}

std::string aloneReasonText(const AloneTile& tile) {
    char number[64];
    switch (tile.reason) {
    case AloneReason::cellSize:
        std::snprintf(number, sizeof number, "%.10g", tile.measure);
        return quotedPath(tile.path) + " has another cell size (" + number + ") than the set";
    case AloneReason::offLattice:
        std::snprintf(number, sizeof number, "%.3g", tile.measure);
        return quotedPath(tile.path) + " lies " + number + " cells off the set's lattice";
    case AloneReason::overlaps: return quotedPath(tile.path) + " overlaps " + quotedPath(tile.other);
    case AloneReason::notInIndex: return quotedPath(tile.path) + " is not in the seam index";
    case AloneReason::changed:
        return quotedPath(tile.path) + " changed since the seam index was written (its border lines differ)";
    case AloneReason::lonely: return quotedPath(tile.path) + " shares its lattice with no other input";
    case AloneReason::tooLarge:
        return quotedPath(tile.path) + ": the set would have more than 2147483647 rows or columns";
    }
    return quotedPath(tile.path);
}

PartialSeam findPartialSeam(const TileSetPlan& plan) {
    // Along one axis: `a` ends where `b` starts, and across it they overlap without
    // spanning the same range.
    auto partial = [](std::int64_t aStart, std::int64_t aLength, std::int64_t bStart, std::int64_t aAcross,
                      std::int64_t aSpan, std::int64_t bAcross, std::int64_t bSpan) {
        if (aStart + aLength != bStart) return false;
        const bool overlap = std::max(aAcross, bAcross) < std::min(aAcross + aSpan, bAcross + bSpan);
        return overlap && (aAcross != bAcross || aSpan != bSpan);
    };
    for (std::size_t i = 0; i < plan.tiles.size(); ++i) {
        const TileWindow& a = plan.tiles[i].window;
        for (std::size_t j = 0; j < plan.tiles.size(); ++j) {
            const TileWindow& b = plan.tiles[j].window;
            if (partial(a.colOffset, a.ncols, b.colOffset, a.rowOffset, a.nrows, b.rowOffset, b.nrows) ||
                partial(a.rowOffset, a.nrows, b.rowOffset, a.colOffset, a.ncols, b.colOffset, b.ncols))
                return {true, i, j};
        }
    }
    return {};
}

std::vector<std::filesystem::path> listFolderGrids(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> grids;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error)) continue;
        std::string extension = it->path().extension().string();
        for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (extension == ".asc" || (isRasterTile(it->path()) && (extension == ".tif" || extension == ".tiff")))
            grids.push_back(it->path());
    }
    std::sort(grids.begin(), grids.end());
    return grids;
}

}  // namespace morvale
