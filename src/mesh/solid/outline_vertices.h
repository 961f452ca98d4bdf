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
// Lookups go through a cursor that keeps the stretch of numbers the last one
// fell in (from a run's first number up to the next run's): faces name
// vertices near those of the face before, so it mostly answers with two
// comparisons.

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
    // Where a lookup fell last; valid while no vertex is added or forgotten.
    struct Cursor {
        std::int64_t first = 0;       // the stretch's first number
        std::int64_t keptEnd = 0;     // past its run's last
        std::int64_t end = 0;         // past the stretch (the next run's first)
        std::int64_t placeFirst = 0;  // the place of `first`
    };
    // The place of vertex `number` among those kept (from 0), or -1 when it is not one.
    std::int64_t place(std::int64_t number, Cursor& cursor) const {
        return kept(number, cursor) ? cursor.placeFirst + (number - cursor.first) : -1;
    }
    bool kept(std::int64_t number, Cursor& cursor) const {
        if (number < cursor.first || number >= cursor.end) moveTo(number, cursor);
        return number < cursor.keptEnd;
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
    void moveTo(std::int64_t number, Cursor& cursor) const;

    std::vector<Run> runs_;
    RecordSpool records_;
};

}  // namespace morvale
