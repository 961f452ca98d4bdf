#pragma once
// The conversion requests of a set run: each tile of the set as its window of
// the merged grid (the request's header is the merged grid's, but for the
// data start, which is the tile file's), each grid converted alone as the
// whole of its own grid.
//
// What the options mean for a tile of the set, all following from that header:
// texture coordinates span the whole set by default (each tile's share of
// one image drapes the set), vertex normals at a tile's edge use its
// neighbours' cells (the job's ring is then two cells deep), and --max-error
// keeps the seams exact where neighbours share a whole border (the border
// rule reads only the border line's corners, which the set gives both sides
// alike).

#include <filesystem>
#include <optional>
#include <vector>

#include "convert/conversion_request.h"
#include "tiles/grid_tiling.h"
#include "tiles/tile_run.h"

namespace morvale {

// `common` gives everything the jobs share: settings (mode, preset, scale,
// offsets, centring), format, attributes and simplification. Its paths,
// header, names and crop window are each job's own. Outputs go beside each
// input, or into `outputFolder` under the input's base name, with the
// format's extension. The jobs point into `plan`, which must outlive them.
// Set tiles come first, in the plan's order.
std::vector<TileJob> prepareTileJobs(const TileSetPlan& plan, const ConversionRequest& common,
                                     const std::optional<std::filesystem::path>& outputFolder);

// The jobs of one grid cut by `tiling` (grid_tiling.h), in reading order, or
// only tile (onlyRow, onlyCol) when both are above 0: each the whole grid's
// request cropped to its tile, written beside the input or into
// `outputFolder` as NAME_rROW_cCOL with the format's extension.
std::vector<TileJob> prepareGridTileJobs(const TileHeader& input, const GridTiling& tiling,
                                         const ConversionRequest& common,
                                         const std::optional<std::filesystem::path>& outputFolder,
                                         std::int32_t onlyRow = 0, std::int32_t onlyCol = 0);

}  // namespace morvale
