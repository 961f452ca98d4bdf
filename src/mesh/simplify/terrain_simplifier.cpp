#include "mesh/simplify/terrain_simplifier.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#include "mesh/simplify/block_triangulation.h"
#include "mesh/simplify/line_simplify.h"

namespace morvale {

namespace {

// Spooled per band: how many faces, and the first vertex number of the band
// (no face of a later band names a vertex below it).
struct BandMark {
    std::int64_t faces;
    std::int64_t firstVertex;
};

constexpr std::size_t kBatch = 4096;

}  // namespace

struct TerrainSimplifier {
    SimplifyWindow window;
    double maxError = 0.0;
    CornerPlacement placement;
    MeshSink* sink = nullptr;
    std::int64_t cornersPerLine = 0;  // cols + 1
    std::int64_t cellsPerRow = 0;     // cols + 2

    // The band being gathered: corner lines bandTop .. bandTop + lines - 1.
    std::int32_t bandTop = 0;
    std::int32_t lines = 0;
    std::int32_t nextLine = 0;          // window corner line expected next
    std::vector<double> heights;        // (kBandCells + 1) lines
    std::vector<std::uint8_t> flags;    // same shape
    std::vector<std::int64_t> numbers;  // same shape: vertex number or 0
    std::vector<std::uint8_t> cells;    // rows -1 .. kBandCells of the band, cols + 2 each

    BlockWorkspace* workspace = nullptr;
    std::vector<BlockSegment> segments;
    std::vector<BlockTriangle> triangles;
    std::vector<double> positions;
    std::vector<std::int64_t> faceBuffer;  // faces waiting in memory, then the replay batch

    // Counting passes (no sink): the bounds tried, their triangle counts so
    // far, and the budget past which a bound is dropped.
    std::vector<double> levels;
    std::vector<SimplifyTotals> levelTotals;
    std::int64_t budget = INT64_MAX;

    std::FILE* spool = nullptr;  // the caller's, or a temporary file opened on the first spill
    bool ownSpool = false;
    bool spilled = false;
    std::size_t facesInMemory = kFacesInMemory;  // past it, faces go to the spool (most meshes never do)
    std::vector<BandMark> marks;
    std::int64_t bandFaces = 0;
    SimplifyTotals totals;
};

namespace {

// Flag bits beside those of block_triangulation.h: the edge east of (or south
// of) the corner is a border edge of the mesh.
constexpr std::uint8_t eastEdgeBorder = 8;
constexpr std::uint8_t southEdgeBorder = 16;

bool isBandLine(std::int32_t gridLine) { return gridLine % kBandCells == 0; }

// Data of cell (r, c) of the band, r from -1 (the row above) to lines - 1
// (the row below), c from -1 to cols (ring columns).
std::uint8_t dataAt(const TerrainSimplifier& s, std::int32_t r, std::int32_t c) {
    return s.cells[static_cast<std::size_t>((r + 1) * s.cellsPerRow + (c + 1))];
}

// The same, for window cells only.
bool windowDataAt(const TerrainSimplifier& s, std::int32_t r, std::int32_t c) {
    if (c < 0 || c >= s.window.cols) return false;
    const std::int32_t row = s.bandTop + r;
    if (row < 0 || row >= s.window.rows) return false;
    return dataAt(s, r, c) != 0;
}

std::size_t cornerIndex(const TerrainSimplifier& s, std::int32_t r, std::int32_t c) {
    return static_cast<std::size_t>(r * s.cornersPerLine + c);
}

void markVertices(TerrainSimplifier& s) {
    const std::int32_t cols = s.window.cols;
    for (std::int32_t r = 0; r < s.lines; ++r) {
        for (std::int32_t c = 0; c <= cols; ++c) {
            const bool vertex = windowDataAt(s, r - 1, c - 1) || windowDataAt(s, r - 1, c) ||
                                windowDataAt(s, r, c - 1) || windowDataAt(s, r, c);
            s.flags[cornerIndex(s, r, c)] = vertex ? cornerIsVertex : 0;
        }
    }
}

// The border runs of one line: edges 0..edgeCount-1 between corners i and
// i + 1; `pattern(i)` is the data of the two cells beside edge i (bit 0, bit 1),
// `mesh(i)` whether a window cell beside it has data, `fixedLine` whether the
// whole line is a border, `breakAt(i)` whether corner i breaks runs anyway.
template <typename Pattern, typename Mesh, typename Break>
void lineRuns(TerrainSimplifier& s, std::int32_t edgeCount, bool fixedLine, std::size_t first, std::ptrdiff_t stride,
              std::uint8_t edgeBit, Pattern pattern, Mesh mesh, Break breakAt) {
    std::int32_t start = 0;
    for (std::int32_t i = 1; i <= edgeCount; ++i) {
        if (i < edgeCount && !breakAt(i) && pattern(i) == pattern(i - 1)) continue;
        // Edges start .. i-1 form a run with one pattern.
        const int p = pattern(start);
        const bool border = fixedLine || (p == 1 || p == 2);
        if (border && mesh(start)) {
            for (std::int32_t k = start; k <= i; ++k) {
                std::uint8_t& f = s.flags[first + static_cast<std::size_t>(k * stride)];
                f |= cornerOnLine;
                if (k < i) f |= edgeBit;
            }
            const double error = simplifyLine(&s.heights[first + static_cast<std::size_t>(start * stride)],
                                              &s.flags[first + static_cast<std::size_t>(start * stride)], stride,
                                              i - start + 1, s.maxError, cornerKept);
            s.totals.errorReached = std::max(s.totals.errorReached, error);
        }
        start = i;
    }
}

void keepBorders(TerrainSimplifier& s) {
    const std::int32_t cols = s.window.cols, bh = s.lines - 1;
    const std::int32_t gridCol0 = s.window.firstCol - 1;
    auto colBreak = [&](std::int32_t c) { return c == 0 || c == cols || isBandLine(gridCol0 + c); };
    for (std::int32_t r = 0; r <= bh; ++r) {
        const bool fixedLine = r == 0 || r == bh;
        auto pattern = [&](std::int32_t c) { return dataAt(s, r - 1, c) | (dataAt(s, r, c) << 1); };
        auto mesh = [&](std::int32_t c) { return windowDataAt(s, r - 1, c) || windowDataAt(s, r, c); };
        lineRuns(s, cols, fixedLine, cornerIndex(s, r, 0), 1, eastEdgeBorder, pattern, mesh, colBreak);
    }
    if (bh == 0) return;
    for (std::int32_t c = 0; c <= cols; ++c) {
        const bool fixedLine = colBreak(c);
        auto pattern = [&](std::int32_t r) { return dataAt(s, r, c - 1) | (dataAt(s, r, c) << 1); };
        auto mesh = [&](std::int32_t r) { return windowDataAt(s, r, c - 1) || windowDataAt(s, r, c); };
        lineRuns(s, bh, fixedLine, cornerIndex(s, 0, c), s.cornersPerLine, southEdgeBorder, pattern, mesh,
                 [](std::int32_t) { return false; });
    }
}

// The segments of one block: consecutive kept corners along border edges.
void blockSegments(TerrainSimplifier& s, std::int32_t c0, std::int32_t c1) {
    s.segments.clear();
    const std::int32_t bh = s.lines - 1;
    for (std::int32_t r = 0; r <= bh; ++r) {
        std::int32_t from = -1;
        for (std::int32_t c = c0; c <= c1; ++c) {
            const std::uint8_t f = s.flags[cornerIndex(s, r, c)];
            if (f & cornerKept) {
                if (from >= 0) s.segments.push_back(BlockSegment{from - c0, r, c - c0, r});
                from = c;
            }
            if (!(f & eastEdgeBorder)) from = -1;
        }
    }
    for (std::int32_t c = c0; c <= c1; ++c) {
        std::int32_t from = -1;
        for (std::int32_t r = 0; r <= bh; ++r) {
            const std::uint8_t f = s.flags[cornerIndex(s, r, c)];
            if (f & cornerKept) {
                if (from >= 0) s.segments.push_back(BlockSegment{c - c0, from, c - c0, r});
                from = r;
            }
            if (!(f & southEdgeBorder)) from = -1;
        }
    }
}

void flushVertices(TerrainSimplifier& s) {
    if (s.positions.empty()) return;
    VertexBatch batch;
    batch.count = s.positions.size() / 3;
    batch.position = s.positions.data();
    batch.cancellable = true;
    s.sink->vertices(batch);
    s.positions.clear();
}

// Moves the faces waiting in memory to the spool file.
void spill(TerrainSimplifier& s) {
    if (!s.spool) {
        s.spool = std::tmpfile();
        s.ownSpool = true;
    }
    s.spilled = true;
    if (!s.spool ||
        std::fwrite(s.faceBuffer.data(), sizeof(std::int64_t), s.faceBuffer.size(), s.spool) != s.faceBuffer.size())
        s.totals.ok = false;
    s.faceBuffer.clear();
}

// Numbers and sends the block's kept corners not numbered yet; keeps its faces.
void emitBlock(TerrainSimplifier& s, std::int32_t c0, std::int32_t c1) {
    const std::int32_t bh = s.lines - 1;
    for (std::int32_t r = 0; r <= bh; ++r) {
        for (std::int32_t c = c0; c <= c1; ++c) {
            const std::size_t at = cornerIndex(s, r, c);
            if (!(s.flags[at] & cornerKept) || !(s.flags[at] & cornerIsVertex) || s.numbers[at] != 0) continue;
            s.numbers[at] = ++s.totals.vertices;
            if (!s.sink) continue;
            double position[3];
            s.placement.place(s.placement.context, s.window.firstRow + s.bandTop + r, s.window.firstCol + c,
                              s.heights[at], position);
            s.positions.insert(s.positions.end(), position, position + 3);
            if (s.positions.size() >= 3 * kBatch) flushVertices(s);
        }
    }
    s.totals.triangles += static_cast<std::int64_t>(s.triangles.size());
    s.bandFaces += static_cast<std::int64_t>(s.triangles.size());
    if (!s.sink) return;
    for (const BlockTriangle& t : s.triangles) {
        for (int k = 0; k < 3; ++k) {
            const std::int64_t number = s.numbers[cornerIndex(s, t.y[k], c0 + t.x[k])];
            if (number == 0) s.totals.ok = false;  // a triangle on a corner that is no vertex
            s.faceBuffer.push_back(number);
        }
    }
    if (s.faceBuffer.size() >= 3 * s.facesInMemory) spill(s);
}

// Simplifies the gathered band at s.maxError.
void simplifyBand(TerrainSimplifier& s) {
    const std::int32_t cols = s.window.cols;
    markVertices(s);
    // The top line's numbers came from the band above (already in s.numbers).
    keepBorders(s);
    const std::int32_t gridCol0 = s.window.firstCol - 1;
    std::int32_t c0 = 0;
    s.bandFaces = 0;
    for (std::int32_t c = 1; c <= cols; ++c) {
        if (c != cols && !isBandLine(gridCol0 + c)) continue;
        blockSegments(s, c0, c);
        BlockCorners corners;
        corners.width = c - c0;
        corners.height = s.lines - 1;
        corners.heightAt = &s.heights[cornerIndex(s, 0, c0)];
        corners.flags = &s.flags[cornerIndex(s, 0, c0)];
        corners.stride = s.cornersPerLine;
        corners.cellData = &s.cells[static_cast<std::size_t>(s.cellsPerRow + c0 + 1)];
        corners.cellStride = s.cellsPerRow;
        // A block without data cells has nothing to triangulate.
        bool anyData = false;
        for (std::int32_t r = 0; r < corners.height && !anyData; ++r)
            for (std::int32_t k = c0; k < c && !anyData; ++k) anyData = windowDataAt(s, r, k);
        s.triangles.clear();
        if (anyData) {
            const BlockOutcome outcome =
                simplifyBlock(*s.workspace, corners, s.segments.data(), s.segments.size(), s.maxError, s.triangles);
            s.totals.ok = s.totals.ok && outcome.ok;
            s.totals.errorReached = std::max(s.totals.errorReached, outcome.errorReached);
        }
        if (s.sink) {
            emitBlock(s, c0, c);
        } else {
            s.totals.triangles += static_cast<std::int64_t>(s.triangles.size());
        }
        c0 = c;
    }
}

void finishBand(TerrainSimplifier& s) {
    if (s.sink) {
        const std::int64_t firstVertex = s.totals.vertices + 1;
        simplifyBand(s);
        s.marks.push_back(BandMark{s.bandFaces, firstVertex});
    } else {
        // Every bound still within the budget, on the same band.
        for (std::size_t i = 0; i < s.levels.size(); ++i) {
            if (s.levelTotals[i].triangles > s.budget) continue;
            s.maxError = s.levels[i];
            s.totals = s.levelTotals[i];
            simplifyBand(s);
            s.levelTotals[i] = s.totals;
        }
    }

    // The bottom line becomes the next band's top line.
    const std::int32_t bottom = s.lines - 1;
    std::copy_n(&s.heights[cornerIndex(s, bottom, 0)], s.cornersPerLine, s.heights.begin());
    std::copy_n(&s.numbers[cornerIndex(s, bottom, 0)], s.cornersPerLine, s.numbers.begin());
    std::fill(s.numbers.begin() + s.cornersPerLine, s.numbers.end(), 0);
    // Cell rows: the band's last row and the row below become rows -1 and 0.
    std::copy_n(&s.cells[static_cast<std::size_t>((s.lines - 1) * s.cellsPerRow)], 2 * s.cellsPerRow, s.cells.begin());
    s.bandTop += bottom;
    s.lines = 1;
}

}  // namespace

TerrainSimplifier* createTerrainSimplifier(const SimplifyWindow& window, double maxError,
                                           const CornerPlacement& placement, MeshSink* sink, std::FILE* spool,
                                           std::size_t facesInMemory) {
    assert(window.rows >= 1 && window.cols >= 1 && maxError >= 0.0);
    auto* s = new (std::nothrow) TerrainSimplifier();
    if (!s) return nullptr;
    s->window = window;
    s->maxError = maxError;
    s->placement = placement;
    s->sink = sink;
    s->facesInMemory = facesInMemory;
    s->cornersPerLine = static_cast<std::int64_t>(window.cols) + 1;
    s->cellsPerRow = static_cast<std::int64_t>(window.cols) + 2;
    try {
        const auto corners = static_cast<std::size_t>((kBandCells + 1) * s->cornersPerLine);
        s->heights.assign(corners, 0.0);
        s->flags.assign(corners, 0);
        s->numbers.assign(corners, 0);
        s->cells.assign(static_cast<std::size_t>((kBandCells + 2) * s->cellsPerRow), 0);
    } catch (const std::bad_alloc&) {
        delete s;
        return nullptr;
    }
    s->workspace = createBlockWorkspace();
    s->levels.assign(1, maxError);
    s->levelTotals.assign(1, SimplifyTotals{});
    if (sink) {
        s->spool = spool;
        MeshInfo info;
        info.faceCorners = 3;
        sink->begin(info);
    }
    return s;
}

void destroyTerrainSimplifier(TerrainSimplifier* s) {
    if (!s) return;
    if (s->spool && s->ownSpool) std::fclose(s->spool);
    destroyBlockWorkspace(s->workspace);
    delete s;
}

void simplifyRingAbove(TerrainSimplifier& s, const std::uint8_t* cells) {
    std::copy_n(cells, s.cellsPerRow, s.cells.begin());
}

void simplifyCornerLine(TerrainSimplifier& s, const double* heights, const std::uint8_t* cellsBelow) {
    assert(s.nextLine <= s.window.rows);
    const std::int32_t k = s.nextLine++;
    std::copy_n(heights, s.cornersPerLine, &s.heights[cornerIndex(s, s.lines, 0)]);
    std::copy_n(cellsBelow, s.cellsPerRow, &s.cells[static_cast<std::size_t>((s.lines + 1) * s.cellsPerRow)]);
    ++s.lines;
    if (s.lines > 1 && (k == s.window.rows || isBandLine(s.window.firstRow - 1 + k))) finishBand(s);
}

SimplifyTotals finishTerrainSimplifier(TerrainSimplifier& s) {
    if (!s.sink) return s.levelTotals.front();
    flushVertices(s);
    s.sink->endVertices();
    // Faces come back from memory or, after a spill, from the spool file.
    std::size_t fromMemory = 0;
    if (s.spilled) {
        if (!s.faceBuffer.empty()) spill(s);
        if (!s.totals.ok) return s.totals;
        std::fflush(s.spool);
        std::rewind(s.spool);
    }
    std::vector<std::int64_t> batchFaces;
    for (const BandMark& mark : s.marks) {
        std::int64_t left = mark.faces;
        while (left > 0) {
            const auto count = static_cast<std::size_t>(std::min<std::int64_t>(left, kBatch));
            const std::int64_t* vertex = nullptr;
            if (s.spilled) {
                batchFaces.resize(3 * count);
                if (std::fread(batchFaces.data(), sizeof(std::int64_t), 3 * count, s.spool) != 3 * count) {
                    s.totals.ok = false;
                    return s.totals;
                }
                vertex = batchFaces.data();
            } else {
                vertex = s.faceBuffer.data() + fromMemory;
                fromMemory += 3 * count;
            }
            FaceBatch batch;
            batch.count = count;
            batch.vertex = vertex;
            batch.cancellable = true;
            s.sink->faces(batch);
            left -= static_cast<std::int64_t>(count);
        }
        s.sink->settled(mark.firstVertex);
    }
    return s.totals;
}

}  // namespace morvale

namespace morvale {

TerrainSimplifier* createTriangleBudgetPass(const SimplifyWindow& window, std::int64_t budget) {
    TerrainSimplifier* s = createTerrainSimplifier(window, 0.0, CornerPlacement{}, nullptr);
    if (!s) return nullptr;
    s->budget = budget;
    s->levels.assign(1, 0.0);
    for (int k = kBudgetFinestStep; k <= kBudgetCoarsestStep; ++k) s->levels.push_back(std::ldexp(1.0, k));
    s->levels.push_back(HUGE_VAL);  // the fewest triangles the borders allow
    s->levelTotals.assign(s->levels.size(), SimplifyTotals{});
    return s;
}

BudgetChoice finishTriangleBudgetPass(TerrainSimplifier& s) {
    BudgetChoice choice;
    for (std::size_t i = 0; i < s.levels.size(); ++i) {
        choice.maxError = s.levels[i];
        choice.triangles = s.levelTotals[i].triangles;
        if (s.levelTotals[i].triangles <= s.budget) {
            choice.reachable = true;
            break;
        }
    }
    return choice;
}

}  // namespace morvale
