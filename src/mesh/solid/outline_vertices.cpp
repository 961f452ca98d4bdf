#include "mesh/solid/outline_vertices.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

namespace morvale {

void OutlineVertices::add(std::int64_t number, const void* record) {
    assert(runs_.empty() || number >= runs_.back().first + runs_.back().count);
    if (!runs_.empty() && runs_.back().first + runs_.back().count == number)
        ++runs_.back().count;
    else
        runs_.push_back(Run{number, 1, records_.size()});
    records_.append(record);
}

void OutlineVertices::keepThrough(std::int64_t last) {
    while (!runs_.empty() && runs_.back().first > last) runs_.pop_back();
    if (!runs_.empty()) runs_.back().count = std::min(runs_.back().count, last - runs_.back().first + 1);
    records_.truncate(runs_.empty() ? 0 : runs_.back().placeBefore + runs_.back().count);
}

void OutlineVertices::moveTo(std::int64_t number, Cursor& cursor) const {
    // The run at or before `number`; before the first run, a stretch of none.
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), number,
                                        [](std::int64_t n, const Run& run) { return n < run.first; });
    if (after == runs_.begin()) {
        cursor = Cursor{INT64_MIN, INT64_MIN, runs_.empty() ? INT64_MAX : runs_.front().first, 0};
        return;
    }
    const Run& run = *(after - 1);
    cursor = Cursor{run.first, run.first + run.count, after == runs_.end() ? INT64_MAX : after->first, run.placeBefore};
}

}  // namespace morvale
