#pragma once
// The unpaired directed edges of a surface being streamed: an open-addressing
// hash table (linear probing, backward-shift deletion, power-of-two size)
// keyed by the edge's two vertex numbers (>= 1), with a count for edges that
// occur more than once. A face edge either meets its reverse and both go, or
// waits here; the table holds about one row of edges, so it stays small and
// is scanned whole when rows settle.
//
// Trade-off: it grows and never shrinks (its size follows the widest frontier).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvale {

struct DirectedEdge {
    std::int64_t from = 0;  // 0: an empty slot
    std::int64_t to = 0;
    std::int32_t count = 0;
};

class EdgeTable {
public:
    EdgeTable();
    // Pairs from -> to with a waiting to -> from, or makes it wait.
    void pair(std::int64_t from, std::int64_t to);
    // Moves every waiting edge with an end below `vertex` (all of them for
    // INT64_MAX) to `out`, once per occurrence, and forgets it.
    void take(std::int64_t vertex, std::vector<DirectedEdge>& out);
    std::size_t size() const { return used_; }

private:
    std::size_t slotOf(std::int64_t from, std::int64_t to) const;
    std::size_t find(std::int64_t from, std::int64_t to) const;  // npos when absent
    void erase(std::size_t slot);
    void grow();

    std::vector<DirectedEdge> slots_;
    std::size_t mask_ = 0;
    std::size_t used_ = 0;
};

}  // namespace morvale
