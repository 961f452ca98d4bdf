#pragma once
// Terrain simplified to a guaranteed vertical error, streamed in bands.
//
// Input: the corners of an Interpolated mesh, one corner line at a time from
// north to south, with the data pattern of the cell rows between them (ring
// cells included). Output, into a MeshSink (MeshInfo::faceCorners = 3): a
// triangle mesh whose vertices are a subset of the full mesh's corners, placed
// by the caller (so their bytes equal the full mesh's), covering exactly the
// window's data cells, counter-clockwise seen from above, such that every
// vertex of the full mesh lies within maxError (vertically, in the grid's
// elevation units) of the simplified surface at its position.
//
// How: the window is cut by fixed lines, every kBandCells grid rows and
// columns counted from the grid's north-west corner (not the window's), into
// bands of blocks. Border lines are kept exact first: the window's outline,
// the band and block lines and the edges of no-data holes are split into runs
// that break at every crossing line and wherever the data pattern of the two
// cells beside the line changes; each run keeps its corners by the line rule
// of line_simplify.h. Both the breaks and the rule depend only on the line's
// corners and the data of the cells on its two sides, so two crops of the
// same grid sharing a whole border (columns 1..500 and 501..1000, say) keep
// the same border vertices and no T-junction appears. Then each block is
// filled by greedy insertion (block_triangulation.h).
//
// Trade-offs, stated plainly:
// - The fixed lines cost some triangles against one unbroken triangulation
//   (they are kept to within maxError like any border); they buy bounded
//   memory and exact seams.
// - Crops sharing only part of a border line (a window end in the middle of
//   it) may choose differently near that end.
// - Two bands are held: the reader fills one while the blocks of the other
//   are simplified, on a helper thread and on the caller's thread whenever it
//   waits. Blocks share only border columns that no block writes, so the
//   output is the same bytes with or without the helper; the bands go out in
//   order.
// - Memory is about 26 bytes per window column per band row (kBandCells + 1
//   rows), plus the triangles of two bands (6 bytes each) and two block
//   triangulations, plus the faces waiting for the last vertex: in memory up
//   to 2^20 of them (24 MB), beyond that all in a spool file (24 bytes each;
//   with no file named, all in memory).
//
// How a builder feeds it (Interpolated mode):
//   1. Read the window and its one-cell ring in row order as the full builder
//      does; keep three cell rows (the row above, the current, the row below).
//   2. createTerrainSimplifier(window, maxError, placement, &sink);
//      simplifyRingAbove() with the data flags of the ring row above.
//   3. For each corner line k = 0..rows (north to south): once the cell row
//      below the line is read, call simplifyCornerLine() with the line's
//      rows + 1 corner means (sum of data values / count, before the unit
//      scale; anything where no cell around has data) and the cols + 2 data
//      flags of the cell row below (the ring row below for k = rows).
//   4. finishTerrainSimplifier(): vertices are out, endVertices() is called
//      and the faces follow. The caller then ends the sink with end(triangles).
//   The placement callback returns the full builder's exact vertex position
//   for a corner (position x, y, elevation x unit scale - shift).
// A run stopped early (cancel) may call finish at any time: the bands already
// complete are kept and the rest is dropped.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "mesh/mesh_sink.h"

namespace morvale {

inline constexpr std::int32_t kBandCells = 128;                      // band height and block width, in cells
inline constexpr std::size_t kFacesInMemory = std::size_t{1} << 20;  // faces kept before the spool

struct SimplifyWindow {
    std::int32_t firstRow = 1;  // grid numbering (1-based) of the window's north-west cell
    std::int32_t firstCol = 1;
    std::int32_t rows = 0;  // window size in cells, both >= 1
    std::int32_t cols = 0;
};

struct CornerPlacement {
    void* context = nullptr;
    // Writes east, north, elevation (output units, map frame) of the corner
    // north-west of grid cell (cornerRow, cornerCol); the window's south line
    // has cornerRow = last row + 1, its east line cornerCol = last column + 1.
    void (*place)(void* context, std::int32_t cornerRow, std::int32_t cornerCol, double height,
                  double* position) = nullptr;
};

struct SimplifyTotals {
    std::int64_t vertices = 0;
    std::int64_t triangles = 0;
    double errorReached = 0.0;  // largest distance of a full-mesh vertex from the surface
    bool ok = true;             // false: the face spool failed, or a block could not be built
};

struct TerrainSimplifier;

// `sink` may be null: then nothing is written and only the triangle count and
// the error reached are kept. `spoolPath` is the file where faces wait once
// more than `facesInMemory` of them do (a RecordSpool: made only then, removed
// by destroyTerrainSimplifier whether the run ended, failed or was cancelled);
// a converter names one beside its output. Empty keeps every face in memory:
// never a system temporary file, which the old Windows C runtime puts in the
// drive's root folder, where an ordinary user may not write.
// `helperThreads`: 0 keeps all the work on the caller's thread; 1 adds a
// helper for windows wider than one block that span more than one band, started
// when the first band is complete (when the system refuses a thread, the work
// stays on the caller's). Returns null when out of memory.
TerrainSimplifier* createTerrainSimplifier(const SimplifyWindow& window, double maxError,
                                           const CornerPlacement& placement, MeshSink* sink,
                                           const std::filesystem::path& spoolPath = {},
                                           std::size_t facesInMemory = kFacesInMemory, int helperThreads = 1);
void destroyTerrainSimplifier(TerrainSimplifier* simplifier);

// The data flags (1: data) of the ring row above the window: cols + 2 flags,
// the west ring cell first. All zero when the window starts at row 1.
void simplifyRingAbove(TerrainSimplifier& simplifier, const std::uint8_t* cells);

// Corner line k (calls count k from 0): cols + 1 heights, west to east, and
// the cols + 2 data flags of the cell row south of the line, west ring cell
// first. Completes a band whenever the line closes one.
void simplifyCornerLine(TerrainSimplifier& simplifier, const double* heights, const std::uint8_t* cellsBelow);

// Ends the vertex block, replays the spooled faces into the sink and returns
// the totals. Does not call sink.end().
SimplifyTotals finishTerrainSimplifier(TerrainSimplifier& simplifier);

// --max-triangles N, in two passes over the grid. The first pass (fed like a
// simplifier) counts the triangles at the bounds 2^k, k = kBudgetFinestStep ..
// kBudgetCoarsestStep, at 0 and at an unbounded error (the fewest triangles the
// borders allow), dropping each bound as soon as its count passes N (so the
// costly fine bounds stop early). It chooses the finest bound whose count
// stays within N; the second pass is a plain simplifier at that bound, which
// gives exactly the counted triangles (the work is deterministic), and its
// totals report the error reached. Greedy insertion spends the triangles where
// the error is largest inside each block; the chosen bound can be up to twice
// the finest that would fit. Not reachable: even the unbounded error needs
// more than N triangles (holes and borders need them); the choice is then the
// unbounded error and the caller says so. Crops simplified to a budget each
// choose their own bound: their seams agree only where the bounds agree.
inline constexpr int kBudgetFinestStep = -12;
inline constexpr int kBudgetCoarsestStep = 24;

struct BudgetChoice {
    double maxError = 0.0;
    std::int64_t triangles = 0;
    bool reachable = false;
};

TerrainSimplifier* createTriangleBudgetPass(const SimplifyWindow& window, std::int64_t budget, int helperThreads = 1);
BudgetChoice finishTriangleBudgetPass(TerrainSimplifier& pass);

}  // namespace morvale
