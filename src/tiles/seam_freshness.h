#pragma once
// Whether a tile is still what the seam index recorded. A tile edited since
// would meet its neighbours with a step: they were converted with its old
// border lines. The size and modification time tell an untouched tile at
// once; a tile whose stamp moved is read again, and only a border that
// differs counts as a change (an edit inside the tile leaves every seam as it was).

#include <atomic>

#include "base/progress_reporter.h"
#include "tiles/seam_index.h"

namespace morvale {

enum class TileFreshness : std::uint8_t {
    fresh,
    changed,     // its border lines differ from the index's, or it cannot be read
    notIndexed,  // the index lists no tile at its window
};

TileFreshness tileFreshness(const SetTile& tile, const SeamIndex& index, const std::atomic<bool>& cancelRequested);

}  // namespace morvale
