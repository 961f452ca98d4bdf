#pragma once
// The conversion requests of a set run: each tile of the set as its window of
// the merged grid (the request's header is the merged grid's, but for the
// data start, which is the tile file's), each grid converted alone as the
// whole of its own grid.

#include <filesystem>
#include <optional>
#include <vector>

#include "convert/conversion_settings.h"
#include "tiles/tile_run.h"

namespace morvale {

// `settings` gives the mode, preset, scale, offsets and centring; the crop
// window is each job's own. Outputs go beside each input, or into
// `outputFolder` under the input's base name. The jobs point into `plan`,
// which must outlive them. Set tiles come first, in the plan's order.
std::vector<TileJob> prepareTileJobs(const TileSetPlan& plan, const ConversionSettings& settings,
                                     const std::optional<std::filesystem::path>& outputFolder);

}  // namespace morvale
