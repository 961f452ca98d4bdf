#include "mesh/solid/edge_table.h"

#include <cassert>

namespace morvale {

namespace {
constexpr std::size_t initialSlots = 1024;
}  // namespace

EdgeTable::EdgeTable() : slots_(initialSlots), mask_(initialSlots - 1) {}

std::size_t EdgeTable::slotOf(std::int64_t low, std::int64_t high) const {
    return static_cast<std::size_t>(static_cast<std::uint64_t>(low) * 4 + static_cast<std::uint64_t>(high - low)) &
           mask_;
}

void EdgeTable::erase(std::size_t slot) {
    // Backward shift: move later entries of the probe run into the hole when
    // their home slot does not lie between the hole and them.
    std::size_t hole = slot;
    for (std::size_t next = (hole + 1) & mask_; slots_[next].low != 0; next = (next + 1) & mask_) {
        if (((next - slots_[next].home) & mask_) >= ((next - hole) & mask_)) {
            slots_[hole] = slots_[next];
            hole = next;
        }
    }
    slots_[hole] = Entry{};
    --used_;
}

void EdgeTable::resize(std::size_t slots) {
    std::vector<Entry> old(slots);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    assert(mask_ <= UINT32_MAX);
    for (Entry e : old) {
        if (e.low == 0) continue;
        e.home = static_cast<std::uint32_t>(slotOf(e.low, e.high));
        std::size_t slot = e.home;
        while (slots_[slot].low != 0) slot = (slot + 1) & mask_;
        slots_[slot] = e;
    }
}

void EdgeTable::pair(std::int64_t from, std::int64_t to) {
    const std::int64_t low = from < to ? from : to, high = from < to ? to : from;
    // An edge from a vertex to itself is its own reverse: two occurrences cancel.
    const std::int32_t step = from <= to ? 1 : -1;
    const std::size_t home = slotOf(low, high);
    std::size_t slot = home;
    for (; slots_[slot].low != 0; slot = (slot + 1) & mask_) {
        Entry& e = slots_[slot];
        if (e.low != low || e.high != high) continue;
        if (low == high || (e.count > 0) != (step > 0)) {
            e.count -= e.count > 0 ? 1 : -1;  // meets its reverse
            if (e.count == 0) erase(slot);
        } else {
            e.count += step;
        }
        return;
    }
    slots_[slot] = Entry{low, high, step, static_cast<std::uint32_t>(home)};
    if (++used_ * 2 > slots_.size()) resize(slots_.size() * 2);
}

void EdgeTable::take(std::int64_t vertex, std::vector<DirectedEdge>& out) {
    for (std::size_t slot = 0; slot < slots_.size();) {
        const Entry e = slots_[slot];
        if (e.low == 0 || e.low >= vertex) {
            ++slot;
            continue;
        }
        // One entry per occurrence, in its own direction.
        const DirectedEdge edge =
            e.count > 0 ? DirectedEdge{e.low, e.high, e.count} : DirectedEdge{e.high, e.low, -e.count};
        for (std::int32_t k = 0; k < edge.count; ++k) out.push_back(edge);
        // The backward shift may bring a later entry into this slot: look again.
        erase(slot);
    }
    // Takes come often (after every batch of faces) and scan every slot: a
    // table that a wide row of waiting edges grew is made small again once
    // they are gone.
    std::size_t slots = slots_.size();
    while (slots > initialSlots && used_ * 8 <= slots) slots /= 2;
    if (slots != slots_.size()) resize(slots);
}

}  // namespace morvale
