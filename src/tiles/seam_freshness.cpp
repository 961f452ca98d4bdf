#include "tiles/seam_freshness.h"

#include <algorithm>

namespace morvale {

TileFreshness tileFreshness(const SetTile& tile, const SeamIndex& index, const std::atomic<bool>& cancelRequested) {
    const auto recorded = std::find_if(index.tiles.begin(), index.tiles.end(),
                                       [&](const SeamTile& t) { return t.window == tile.window; });
    if (recorded == index.tiles.end()) return TileFreshness::notIndexed;
    const TileStamp stamp = tileStamp(tile.path);
    if (!stamp.ok) return TileFreshness::changed;
    if (stamp.fileBytes == recorded->fileBytes && stamp.modified == recorded->modified) return TileFreshness::fresh;
    SeamTile now;
    SilentProgress silent;
    const SeamCollection read = collectTileSeams(tile, index.depth, cancelRequested, silent, now);
    return read.opened && now.borderHash == recorded->borderHash ? TileFreshness::fresh : TileFreshness::changed;
}

}  // namespace morvale
