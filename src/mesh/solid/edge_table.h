#pragma once
// The unpaired directed edges of a surface being streamed: an open-addressing
// hash table (linear probing, backward-shift deletion, power-of-two size)
// keyed by the edge's two vertex numbers (>= 1) in either order, with a
// signed count: an edge and its reverse cancel in the same entry, so each
// face edge costs one probe run. A face edge either meets its reverse and both
// go, or waits here; the table holds about one row of edges, so it stays
// small and is scanned whole when rows settle.
//
// Trade-offs: an edge's home slot is four times its lower vertex number plus
// the difference of the two, not a mixing hash: faces arrive in vertex order,
// so the probes walk memory in order (a quarter less time for a full-size
// solid); a stream whose faces jump about gets longer probe runs, never a
// wrong answer. The table grows with the widest frontier and shrinks back
// once a take() leaves it mostly empty (takes scan every slot).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvale {

struct DirectedEdge {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::int32_t count = 0;  // how often it waited; take() lists each occurrence
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
    // An edge's entry: `low` < or == `high`; `count` > 0 for low -> high
    // occurrences waiting, < 0 for high -> low. `home` is slotOf(low, high),
    // kept for deletion.
    struct Entry {
        std::int64_t low = 0;  // 0: an empty slot
        std::int64_t high = 0;
        std::int32_t count = 0;
        std::uint32_t home = 0;
    };
    std::size_t slotOf(std::int64_t low, std::int64_t high) const;
    void erase(std::size_t slot);
    void resize(std::size_t slots);

    std::vector<Entry> slots_;
    std::size_t mask_ = 0;
    std::size_t used_ = 0;
};

}  // namespace morvale
