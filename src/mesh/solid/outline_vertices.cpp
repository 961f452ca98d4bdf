#include "mesh/solid/outline_vertices.h"

#include <algorithm>
#include <cassert>

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

std::int64_t OutlineVertices::placeFound(std::int64_t number, std::size_t& hint) const {
    if (runs_.empty() || number < runs_.front().first) return -1;
    // The run after the hint's, else a search.
    std::size_t r = hint + 1;
    if (r >= runs_.size() || !answers(r, number)) {
        const auto after = std::upper_bound(runs_.begin(), runs_.end(), number,
                                            [](std::int64_t n, const Run& run) { return n < run.first; });
        r = static_cast<std::size_t>(after - runs_.begin()) - 1;
    }
    hint = r;
    return placeIn(runs_[r], number);
}

}  // namespace morvale
