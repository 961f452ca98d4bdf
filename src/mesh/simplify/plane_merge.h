#pragma once
// Floating planes merged within an error bound, streamed row by row.
//
// Neighbouring cells whose elevations all lie within maxError of one level
// become one flat rectangle at that level (the middle of their lowest and
// highest value); with maxError 0 only equal elevations merge, which loses
// nothing. Every other cell stays a quad of its own. Each rectangle keeps four
// vertices of its own, like a cell of the full Floating planes mesh, and is
// one quad face (MeshInfo::faceCorners = 4) named south-west, south-east,
// north-east, north-west.
//
// How: rectangles stay open while rows arrive. A new row first extends each
// open rectangle whose columns it can take whole (every cell has data and the
// bound still holds); an open rectangle that cannot grow is finished and its
// four vertices go to the sink. The cells left over start new rectangles,
// greedy runs from west to east. Memory: a few numbers per window column; the
// faces follow a fixed pattern (rectangle i owns vertices 4i - 3 .. 4i), so
// nothing is spooled.
//
// How a builder feeds it (Floating planes mode):
//   createPlaneMerge(window, maxError, placement, &sink);
//   for each window row, north to south: planeMergeRow() with the row's cols
//   values and data flags (window cells only, west first);
//   finishPlaneMerge(): the last vertices, endVertices() and the faces. The
//   caller then ends the sink with end(rectangles).
// The placement callback gives the four corners of a rectangle exactly as the
// full builder places a cell's corners: west edge of its first column, east
// edge of its last, north edge of its first row, south edge of its last, at
// the level (times the unit scale).

#include <cstdint>

#include "mesh/mesh_sink.h"
#include "mesh/simplify/terrain_simplifier.h"

namespace morvale {

struct RectanglePlacement {
    void* context = nullptr;
    // Writes 12 numbers: the north-west, north-east, south-east and south-west
    // corners (east, north, elevation) of cells firstRow..lastRow x
    // firstCol..lastCol (grid numbering) at `level`.
    void (*place)(void* context, std::int32_t firstRow, std::int32_t firstCol, std::int32_t lastRow,
                  std::int32_t lastCol, double level, double* positions) = nullptr;
};

struct PlaneMergeTotals {
    std::int64_t rectangles = 0;
    std::int64_t cells = 0;  // data cells covered
};

struct PlaneMerge;

PlaneMerge* createPlaneMerge(const SimplifyWindow& window, double maxError, const RectanglePlacement& placement,
                             MeshSink& sink);
void destroyPlaneMerge(PlaneMerge* merge);
void planeMergeRow(PlaneMerge& merge, const double* values, const std::uint8_t* data);
// Finishes the open rectangles, ends the vertex block and sends the faces.
// Does not call sink.end().
PlaneMergeTotals finishPlaneMerge(PlaneMerge& merge);

// Whether cells from `low` to `high` fit one level within maxError, and that level.
bool mergeLevel(double low, double high, double maxError, double& level);

}  // namespace morvale
