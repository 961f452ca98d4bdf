#pragma once
// The surface vertices a solid's walls may stand on: those its builder marks
// as on the outline (VertexBatch::outline; every vertex when it does not
// tell), in the order they arrive. Their numbers are kept as runs of
// consecutive numbers, their records (east, north, a texture coordinate) in
// a RecordSpool; the place of a vertex among them (from 0) is where its base
// copy goes after the surface.
//
// Memory grows with the outline (a plain window is two runs a row), not with
// the surface, except when the builder does not tell: then every vertex is one
// run, and their records go to the spool file past the budget.
//
// Lookups take a hint, the run they found last: faces name vertices near
// those of the face before, so a hint mostly answers without a search.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "base/record_spool.h"

namespace morvale {

class OutlineVertices {
public:
    OutlineVertices(std::size_t recordBytes, std::size_t memoryBudget, std::filesystem::path spoolPath)
        : records_(recordBytes, memoryBudget, std::move(spoolPath)) {}

    // Vertex `number`, above every number added before, with its record.
    void add(std::int64_t number, const void* record);
    // Forgets every vertex numbered above `last`.
    void keepThrough(std::int64_t last);
    std::int64_t size() const { return records_.size(); }
    // The place of vertex `number` among those kept (from 0), or -1 when it is
    // not one. `hint` is any number the previous lookup left there (0 at first).
    std::int64_t place(std::int64_t number, std::size_t& hint) const {
        if (hint < runs_.size() && answers(hint, number)) return placeIn(runs_[hint], number);
        return placeFound(number, hint);
    }
    // The record at `place`, valid until the next call; null when the spool failed.
    const unsigned char* record(std::int64_t place) { return records_.at(place); }
    bool failed() const { return records_.failed(); }

private:
    struct Run {
        std::int64_t first = 0;
        std::int64_t count = 0;
        std::int64_t placeBefore = 0;  // vertices kept in the runs before
    };
    // Run r answers for the numbers from its first up to the next run's first.
    bool answers(std::size_t r, std::int64_t number) const {
        return number >= runs_[r].first && (r + 1 == runs_.size() || number < runs_[r + 1].first);
    }

    static std::int64_t placeIn(const Run& run, std::int64_t number) {
        return number - run.first < run.count ? run.placeBefore + (number - run.first) : -1;
    }
    std::int64_t placeFound(std::int64_t number, std::size_t& hint) const;

    std::vector<Run> runs_;
    RecordSpool records_;
};

}  // namespace morvale
