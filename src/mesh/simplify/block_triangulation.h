#pragma once
// Greedy insertion in one block of corners (Garland and Heckbert, "Fast
// polygonal approximation of terrains and height fields", 1995).
//
// A block is a rectangle of at most kMaxBlockCells x kMaxBlockCells cells.
// Its corners carry a height, and flags saying whether the corner is a vertex
// of the full mesh, whether it lies on a constraint line (its height is
// already looked after by the line rule of line_simplify.h) and whether it is
// already kept. The caller also lists the constraint segments: straight,
// axis-aligned edges between kept corners that the triangulation must contain
// (the block's outline, the edges of no-data holes). Cells with data form the
// domain; the triangles returned cover exactly those cells.
//
// The block is triangulated with its kept corners (a constrained Delaunay
// triangulation, every segment recovered), then the corner whose height is
// farthest from the surface is inserted, over and over, until no candidate
// corner (a full-mesh vertex, not on a line, not kept) is farther than
// maxError. Insertions keep the triangulation constrained Delaunay (Lawson
// flips that never cross a segment).
//
// Coordinates are block-local integers: x east (0..width), y south
// (0..height); every predicate is exact in 64-bit integers.
//
// Memory: the workspace grows to the triangles and the corners (a copy of
// the heights, 8 bytes each) of the largest block it has seen and is reused;
// nothing else is allocated.

#include <cstdint>
#include <cstring>
#include <vector>

namespace morvale {

inline constexpr std::int32_t kMaxBlockCells = 128;

enum CornerFlag : std::uint8_t {
    cornerIsVertex = 1,  // a vertex of the full mesh
    cornerOnLine = 2,    // on a constraint line: never a candidate
    cornerKept = 4,      // kept in the simplified mesh
};

// The first i in [from, to] whose flags hold cornerKept, else to + 1. Kept
// corners are few: eight flags are tested at a time.
inline std::int32_t nextKept(const std::uint8_t* flags, std::int32_t from, std::int32_t to) {
    constexpr std::uint64_t kKeptInEveryByte = 0x0101010101010101u * cornerKept;
    std::int32_t i = from;
    for (; i + 8 <= to + 1; i += 8) {
        std::uint64_t eight;
        std::memcpy(&eight, flags + i, sizeof eight);
        if (eight & kKeptInEveryByte) break;
    }
    for (; i <= to; ++i)
        if (flags[i] & cornerKept) return i;
    return to + 1;
}

// A view of the block's corners inside a larger array (row stride given).
struct BlockCorners {
    std::int32_t width = 0;            // cells
    std::int32_t height = 0;           // cells
    const double* heightAt = nullptr;  // corner (x, y) at heightAt[y * stride + x]
    std::uint8_t* flags = nullptr;     // same indexing; cornerKept is set on insertion
    std::int64_t stride = 0;
    const std::uint8_t* cellData = nullptr;  // cell (x, y) at cellData[y * cellStride + x]: 1 data
    std::int64_t cellStride = 0;
};

struct BlockSegment {
    std::int32_t x0, y0, x1, y1;  // kept corners, axis-aligned, no kept corner between
};

// Block-local corners fit a byte: a band holds many triangles at once.
static_assert(kMaxBlockCells <= 255);
struct BlockTriangle {
    std::uint8_t x[3], y[3];  // counter-clockwise seen from above (north up)
};

struct BlockWorkspace;  // defined in block_triangulation.cpp

BlockWorkspace* createBlockWorkspace();
void destroyBlockWorkspace(BlockWorkspace* workspace);

struct BlockOutcome {
    double errorReached = 0.0;  // largest distance of a candidate corner from the surface
    bool ok = true;             // false: the segments could not all be recovered (a caller bug)
};

// Simplifies one block; appends the triangles of the domain to `triangles`.
// Preconditions: 1 <= width, height <= kMaxBlockCells; the four block corners
// and every segment end are marked kept or are not vertices; segments do not
// cross one another and no kept corner lies inside a segment.
BlockOutcome simplifyBlock(BlockWorkspace& workspace, const BlockCorners& corners, const BlockSegment* segments,
                           std::size_t segmentCount, double maxError, std::vector<BlockTriangle>& triangles);

}  // namespace morvale
