#include "mesh/solid/edge_table.h"

#include <algorithm>

namespace morvale {

namespace {
constexpr std::size_t npos = static_cast<std::size_t>(-1);
constexpr std::size_t initialSlots = 1024;
}  // namespace

EdgeTable::EdgeTable() : slots_(initialSlots), mask_(initialSlots - 1) {}

std::size_t EdgeTable::slotOf(std::int64_t from, std::int64_t to) const {
    std::uint64_t h = static_cast<std::uint64_t>(from) * 0x9E3779B97F4A7C15ull ^
                      static_cast<std::uint64_t>(to) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 29;
    return static_cast<std::size_t>(h) & mask_;
}

std::size_t EdgeTable::find(std::int64_t from, std::int64_t to) const {
    for (std::size_t slot = slotOf(from, to);; slot = (slot + 1) & mask_) {
        const DirectedEdge& e = slots_[slot];
        if (e.from == 0) return npos;
        if (e.from == from && e.to == to) return slot;
    }
}

void EdgeTable::erase(std::size_t slot) {
    // Backward shift: move later entries of the probe run into the hole when
    // their home slot does not lie between the hole and them.
    std::size_t hole = slot;
    for (std::size_t next = (hole + 1) & mask_; slots_[next].from != 0; next = (next + 1) & mask_) {
        const std::size_t home = slotOf(slots_[next].from, slots_[next].to);
        if (((next - home) & mask_) >= ((next - hole) & mask_)) {
            slots_[hole] = slots_[next];
            hole = next;
        }
    }
    slots_[hole] = DirectedEdge{};
    --used_;
}

void EdgeTable::grow() {
    std::vector<DirectedEdge> old(slots_.size() * 2);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const DirectedEdge& e : old) {
        if (e.from == 0) continue;
        std::size_t slot = slotOf(e.from, e.to);
        while (slots_[slot].from != 0) slot = (slot + 1) & mask_;
        slots_[slot] = e;
    }
}

void EdgeTable::pair(std::int64_t from, std::int64_t to) {
    const std::size_t reverse = find(to, from);
    if (reverse != npos) {
        if (--slots_[reverse].count == 0) erase(reverse);
        return;
    }
    std::size_t slot = slotOf(from, to);
    for (; slots_[slot].from != 0; slot = (slot + 1) & mask_) {
        if (slots_[slot].from == from && slots_[slot].to == to) {
            ++slots_[slot].count;
            return;
        }
    }
    slots_[slot] = DirectedEdge{from, to, 1};
    if (++used_ * 2 > slots_.size()) grow();
}

void EdgeTable::take(std::int64_t vertex, std::vector<DirectedEdge>& out) {
    const std::size_t first = out.size();
    for (const DirectedEdge& e : slots_)
        if (e.from != 0 && std::min(e.from, e.to) < vertex) out.push_back(e);
    for (std::size_t k = first; k < out.size(); ++k) erase(find(out[k].from, out[k].to));
    // One entry per occurrence.
    const std::size_t taken = out.size();
    for (std::size_t k = first; k < taken; ++k)
        for (std::int32_t extra = 1; extra < out[k].count; ++extra) out.push_back(out[k]);
}

}  // namespace morvale
