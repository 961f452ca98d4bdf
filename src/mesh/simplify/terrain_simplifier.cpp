#include "mesh/simplify/terrain_simplifier.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "base/record_spool.h"
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
constexpr std::size_t kFaceBytes = 3 * sizeof(std::int64_t);  // a spooled face: its three vertex numbers

// Corner storage that starts unset: every element is written before it is
// read (lines as they arrive, flags by markVertices, a block's copy before
// its refinement), so zeroing it on every run would only cost.
template <class T>
class UnsetArray {
public:
    void allocate(std::size_t count) {  // throws std::bad_alloc
        values_.reset(new T[count]);
        size_ = count;
    }
    T& operator[](std::size_t i) {
        assert(i < size_);
        return values_[i];
    }
    const T& operator[](std::size_t i) const {
        assert(i < size_);
        return values_[i];
    }
    T* data() { return values_.get(); }
    const T* data() const { return values_.get(); }
    T* begin() { return values_.get(); }
    std::size_t size() const { return size_; }

private:
    std::unique_ptr<T[]> values_;
    std::size_t size_ = 0;
};

// One block of a band: its columns, its segments, and what simplifying it gave.
struct BandBlock {
    std::int32_t c0 = 0, c1 = 0;
    bool anyData = false;
    std::vector<BlockSegment> segments;
    std::vector<BlockTriangle> triangles;
    BlockOutcome outcome;
};

// A band's corners and cells: the reader fills one while the blocks of the
// one before it are simplified.
struct Band {
    std::int32_t top = 0;    // window corner line of its first line
    std::int32_t lines = 0;  // corner lines gathered
    double maxError = 0.0;
    UnsetArray<double> heights;       // up to kBandCells + 1 lines
    UnsetArray<std::uint8_t> flags;   // same shape
    std::vector<std::uint8_t> cells;  // rows -1 .. kBandCells of the band, cols + 2 each
    std::vector<BandBlock> blocks;
    std::size_t blockCount = 0;  // blocks in use (the vector keeps its capacity)
};

// One thread's tools for a block: its triangulation workspace and a packed
// copy of the block's corners (in the band a block's lines lie a whole window
// line apart; packed, they stay in cache while the block is refined).
struct BlockScratch {
    BlockWorkspace* workspace = nullptr;
    UnsetArray<double> heights;
    UnsetArray<std::uint8_t> flags;
};

}  // namespace

// The helper thread and the reader share one posted band; blocks are handed
// out one at a time under the lock, and a stale helper (one that saw an older
// posting) takes none.
struct BlockCrew {
    std::mutex mutex;
    std::condition_variable posted;    // the helper: a band was posted, or stop
    std::condition_variable finished;  // the reader: the last block is done
    Band* band = nullptr;
    std::uint64_t posting = 0;
    std::size_t nextBlock = 0;
    std::size_t blocksDone = 0;
    bool stop = false;
    std::thread thread;
};

struct TerrainSimplifier {
    SimplifyWindow window;
    double maxError = 0.0;
    CornerPlacement placement;
    MeshSink* sink = nullptr;
    std::int64_t cornersPerLine = 0;  // cols + 1
    std::int64_t cellsPerRow = 0;     // cols + 2

    Band bands[2];
    int filling = 0;                    // the band the reader fills
    bool inFlight = false;              // the other band is posted and not yet emitted
    std::int32_t nextLine = 0;          // window corner line expected next
    std::vector<std::int64_t> numbers;  // per corner of the emitted band: vertex number or 0
    std::vector<std::size_t> numbered;  // the corners of the band numbered so far (cleared with it)
    // Which lines of the band being prepared hold a border (keepBorders).
    std::vector<std::uint8_t> borderRow, borderColumn, crossed;

    BlockScratch scratch[2];    // the reader's, the helper's
    BlockCrew* crew = nullptr;  // null: every block on the reader's thread
    bool helperWanted = false;  // started with the first band that has lines after it
    std::vector<double> positions;
    std::vector<std::uint8_t> outline;  // a mark per position, when the sink wants them
    bool marksOutline = false;

    // Counting passes (no sink): the bounds tried, their triangle counts so
    // far, and the budget past which a bound is dropped.
    std::vector<double> levels;
    std::vector<SimplifyTotals> levelTotals;
    std::int64_t budget = INT64_MAX;

    // Faces waiting for the last vertex (with a sink): in memory, past the
    // budget in the spool file (most meshes never get there).
    std::optional<RecordSpool> faces;
    std::vector<BandMark> marks;
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
std::uint8_t dataAt(const TerrainSimplifier& s, const Band& b, std::int32_t r, std::int32_t c) {
    return b.cells[static_cast<std::size_t>((r + 1) * s.cellsPerRow + (c + 1))];
}

// The same, for window cells only.
bool windowDataAt(const TerrainSimplifier& s, const Band& b, std::int32_t r, std::int32_t c) {
    if (c < 0 || c >= s.window.cols) return false;
    const std::int32_t row = b.top + r;
    if (row < 0 || row >= s.window.rows) return false;
    return dataAt(s, b, r, c) != 0;
}

std::size_t cornerIndex(const TerrainSimplifier& s, std::int32_t r, std::int32_t c) {
    return static_cast<std::size_t>(r * s.cornersPerLine + c);
}

// A corner is a vertex when one of the four window cells around it has data.
void markVertices(const TerrainSimplifier& s, Band& b) {
    const std::int32_t cols = s.window.cols;
    for (std::int32_t r = 0; r < b.lines; ++r) {
        // Window cells west and east of corner c: row[c - 1] and row[c] (the ring columns are left out below).
        auto windowRow = [&](std::int32_t cellRow) -> const std::uint8_t* {
            const std::int32_t row = b.top + cellRow;
            if (row < 0 || row >= s.window.rows) return nullptr;
            return &b.cells[static_cast<std::size_t>((cellRow + 1) * s.cellsPerRow + 1)];
        };
        const std::uint8_t* above = windowRow(r - 1);
        const std::uint8_t* below = windowRow(r);
        std::uint8_t* flags = &b.flags[cornerIndex(s, r, 0)];
        if (!above && !below) {
            std::fill_n(flags, cols + 1, std::uint8_t{0});
            continue;
        }
        if (!above) above = below;
        if (!below) below = above;
        for (std::int32_t c = 1; c < cols; ++c)
            flags[c] = (above[c - 1] | above[c] | below[c - 1] | below[c]) != 0 ? cornerIsVertex : 0;
        flags[0] = (above[0] | below[0]) != 0 ? cornerIsVertex : 0;
        flags[cols] = (above[cols - 1] | below[cols - 1]) != 0 ? cornerIsVertex : 0;
    }
}

// The border runs of one line: edges 0..edgeCount-1 between corners i and
// i + 1; `pattern(i)` is the data of the two cells beside edge i (bit 0, bit 1),
// `mesh(i)` whether a window cell beside it has data, `fixedLine` whether the
// whole line is a border, `breakAt(i)` whether corner i breaks runs anyway.
// Returns whether any run was kept.
template <typename Pattern, typename Mesh, typename Break>
bool lineRuns(TerrainSimplifier& s, Band& b, std::int32_t edgeCount, bool fixedLine, std::size_t first,
              std::ptrdiff_t stride, std::uint8_t edgeBit, Pattern pattern, Mesh mesh, Break breakAt) {
    bool any = false;
    std::int32_t start = 0;
    for (std::int32_t i = 1; i <= edgeCount; ++i) {
        if (i < edgeCount && !breakAt(i) && pattern(i) == pattern(i - 1)) continue;
        // Edges start .. i-1 form a run with one pattern.
        const int p = pattern(start);
        const bool border = fixedLine || (p == 1 || p == 2);
        if (border && mesh(start)) {
            any = true;
            for (std::int32_t k = start; k <= i; ++k) {
                std::uint8_t& f = b.flags[first + static_cast<std::size_t>(k * stride)];
                f |= cornerOnLine;
                if (k < i) f |= edgeBit;
            }
            const double error = simplifyLine(&b.heights[first + static_cast<std::size_t>(start * stride)],
                                              &b.flags[first + static_cast<std::size_t>(start * stride)], stride,
                                              i - start + 1, b.maxError, cornerKept);
            s.totals.errorReached = std::max(s.totals.errorReached, error);
        }
        start = i;
    }
    return any;
}

// Inside the band, a line that is not fixed holds a border only where the
// data differs across it; most lines have none and are skipped whole. Which
// lines got a border is noted for blockSegments.
void keepBorders(TerrainSimplifier& s, Band& b) {
    const std::int32_t cols = s.window.cols, bh = b.lines - 1;
    const std::int32_t gridCol0 = s.window.firstCol - 1;
    auto colBreak = [&](std::int32_t c) { return c == 0 || c == cols || isBandLine(gridCol0 + c); };
    auto cellRow = [&](std::int32_t r) { return &b.cells[static_cast<std::size_t>((r + 1) * s.cellsPerRow)]; };
    for (std::int32_t r = 0; r <= bh; ++r) {
        const bool fixedLine = r == 0 || r == bh;
        s.borderRow[static_cast<std::size_t>(r)] = 0;
        if (!fixedLine && std::equal(cellRow(r - 1) + 1, cellRow(r - 1) + 1 + cols, cellRow(r) + 1)) continue;
        auto pattern = [&](std::int32_t c) { return dataAt(s, b, r - 1, c) | (dataAt(s, b, r, c) << 1); };
        auto mesh = [&](std::int32_t c) { return windowDataAt(s, b, r - 1, c) || windowDataAt(s, b, r, c); };
        s.borderRow[static_cast<std::size_t>(r)] =
            lineRuns(s, b, cols, fixedLine, cornerIndex(s, r, 0), 1, eastEdgeBorder, pattern, mesh, colBreak);
    }
    std::fill(s.borderColumn.begin(), s.borderColumn.end(), std::uint8_t{0});
    if (bh == 0) return;
    // Column line c has cells row[c] west and row[c + 1] east of it.
    std::fill(s.crossed.begin(), s.crossed.end(), std::uint8_t{0});
    for (std::int32_t r = 0; r < bh; ++r) {
        const std::uint8_t* row = cellRow(r);
        for (std::int32_t c = 0; c <= cols; ++c) s.crossed[static_cast<std::size_t>(c)] |= row[c] ^ row[c + 1];
    }
    for (std::int32_t c = 0; c <= cols; ++c) {
        const bool fixedLine = colBreak(c);
        if (!fixedLine && !s.crossed[static_cast<std::size_t>(c)]) continue;
        auto pattern = [&](std::int32_t r) { return dataAt(s, b, r, c - 1) | (dataAt(s, b, r, c) << 1); };
        auto mesh = [&](std::int32_t r) { return windowDataAt(s, b, r, c - 1) || windowDataAt(s, b, r, c); };
        s.borderColumn[static_cast<std::size_t>(c)] =
            lineRuns(s, b, bh, fixedLine, cornerIndex(s, 0, c), s.cornersPerLine, southEdgeBorder, pattern, mesh,
                     [](std::int32_t) { return false; });
    }
}

// The segments of one block: consecutive kept corners along border edges.
void blockSegments(const TerrainSimplifier& s, const Band& b, BandBlock& block) {
    block.segments.clear();
    const std::int32_t bh = b.lines - 1, c0 = block.c0, c1 = block.c1;
    for (std::int32_t r = 0; r <= bh; ++r) {
        if (!s.borderRow[static_cast<std::size_t>(r)]) continue;
        std::int32_t from = -1;
        for (std::int32_t c = c0; c <= c1; ++c) {
            const std::uint8_t f = b.flags[cornerIndex(s, r, c)];
            if (f & cornerKept) {
                if (from >= 0) block.segments.push_back(BlockSegment{from - c0, r, c - c0, r});
                from = c;
            }
            if (!(f & eastEdgeBorder)) from = -1;
        }
    }
    for (std::int32_t c = c0; c <= c1; ++c) {
        if (!s.borderColumn[static_cast<std::size_t>(c)]) continue;
        std::int32_t from = -1;
        for (std::int32_t r = 0; r <= bh; ++r) {
            const std::uint8_t f = b.flags[cornerIndex(s, r, c)];
            if (f & cornerKept) {
                if (from >= 0) block.segments.push_back(BlockSegment{c - c0, from, c - c0, r});
                from = r;
            }
            if (!(f & southEdgeBorder)) from = -1;
        }
    }
}

// Keeps the band's borders and cuts it into blocks, ready to be simplified.
void prepareBand(TerrainSimplifier& s, Band& b) {
    const std::int32_t cols = s.window.cols;
    markVertices(s, b);
    keepBorders(s, b);
    const std::int32_t gridCol0 = s.window.firstCol - 1;
    b.blockCount = 0;
    std::int32_t c0 = 0;
    for (std::int32_t c = 1; c <= cols; ++c) {
        if (c != cols && !isBandLine(gridCol0 + c)) continue;
        if (b.blocks.size() <= b.blockCount) b.blocks.emplace_back();
        BandBlock& block = b.blocks[b.blockCount++];
        block.c0 = c0;
        block.c1 = c;
        block.outcome = BlockOutcome{};
        block.triangles.clear();
        // A block without data cells has nothing to triangulate.
        block.anyData = false;
        for (std::int32_t r = 0; r < b.lines - 1 && !block.anyData; ++r)
            for (std::int32_t k = c0; k < c && !block.anyData; ++k) block.anyData = windowDataAt(s, b, r, k);
        if (block.anyData) blockSegments(s, b, block);
        c0 = c;
    }
}

// Simplifies one block of a prepared band. Blocks share only their border
// columns, which no block writes, so any two may run at once.
void simplifyBandBlock(const TerrainSimplifier& s, Band& b, BandBlock& block, BlockScratch& scratch) {
    if (!block.anyData) return;
    BlockCorners corners;
    corners.width = block.c1 - block.c0;
    corners.height = b.lines - 1;
    const std::int32_t packed = corners.width + 1;
    for (std::int32_t r = 0; r <= corners.height; ++r) {
        const auto to = static_cast<std::size_t>(r * packed);
        std::copy_n(&b.heights[cornerIndex(s, r, block.c0)], packed, &scratch.heights[to]);
        std::copy_n(&b.flags[cornerIndex(s, r, block.c0)], packed, &scratch.flags[to]);
    }
    corners.heightAt = scratch.heights.data();
    corners.flags = scratch.flags.data();
    corners.stride = packed;
    corners.cellData = &b.cells[static_cast<std::size_t>(s.cellsPerRow + block.c0 + 1)];
    corners.cellStride = s.cellsPerRow;
    block.outcome = simplifyBlock(*scratch.workspace, corners, block.segments.data(), block.segments.size(), b.maxError,
                                  block.triangles);
    // Insertions mark inner corners only; the border columns belong to the
    // blocks beside it as well and are left alone.
    for (std::int32_t r = 0; r <= corners.height; ++r)
        std::copy_n(&scratch.flags[static_cast<std::size_t>(r * packed + 1)], packed - 2,
                    &b.flags[cornerIndex(s, r, block.c0 + 1)]);
}

// Takes and simplifies blocks of the band posted as `posting` until none is left.
void workOnBlocks(const TerrainSimplifier& s, BlockCrew& crew, std::uint64_t posting, BlockScratch& scratch) {
    for (;;) {
        Band* band = nullptr;
        std::size_t i = 0;
        {
            std::lock_guard<std::mutex> lock(crew.mutex);
            if (crew.posting != posting || crew.band == nullptr || crew.nextBlock >= crew.band->blockCount) return;
            band = crew.band;
            i = crew.nextBlock++;
        }
        simplifyBandBlock(s, *band, band->blocks[i], scratch);
        std::lock_guard<std::mutex> lock(crew.mutex);
        if (++crew.blocksDone == band->blockCount) crew.finished.notify_all();
    }
}

void helperLoop(TerrainSimplifier* s) {
    BlockCrew& crew = *s->crew;
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(crew.mutex);
            crew.posted.wait(lock, [&] { return crew.stop || crew.posting != seen; });
            if (crew.stop) return;
            seen = crew.posting;
        }
        workOnBlocks(*s, crew, seen, s->scratch[1]);
    }
}

// Starts the helper thread with its tools; when the system refuses either,
// the work stays on the reader's thread.
void startHelper(TerrainSimplifier& s) {
    s.helperWanted = false;
    BlockScratch& scratch = s.scratch[1];
    try {
        scratch.heights.allocate(s.scratch[0].heights.size());
        scratch.flags.allocate(s.scratch[0].flags.size());
    } catch (const std::bad_alloc&) {
        return;
    }
    scratch.workspace = createBlockWorkspace();
    if (!scratch.workspace) return;
    s.crew = new (std::nothrow) BlockCrew();
    if (!s.crew) return;
    try {
        s.crew->thread = std::thread(helperLoop, &s);
    } catch (const std::system_error&) {
        delete s.crew;
        s.crew = nullptr;
    }
}

// Hands the band's blocks to the helper (the reader joins in when it waits).
// The helper starts with the first band that has lines after it: a window of
// one band has nothing to overlap, and a thread costs more than it would save.
void postBand(TerrainSimplifier& s, Band& b) {
    if (s.helperWanted && s.nextLine <= s.window.rows) startHelper(s);
    if (!s.crew) return;
    {
        std::lock_guard<std::mutex> lock(s.crew->mutex);
        s.crew->band = &b;
        ++s.crew->posting;
        s.crew->nextBlock = 0;
        s.crew->blocksDone = 0;
    }
    s.crew->posted.notify_one();
}

// Returns once every block of the band is simplified, taking blocks meanwhile.
void awaitBand(TerrainSimplifier& s, Band& b) {
    if (!s.crew) {
        for (std::size_t i = 0; i < b.blockCount; ++i) simplifyBandBlock(s, b, b.blocks[i], s.scratch[0]);
        return;
    }
    std::uint64_t posting;
    {
        std::lock_guard<std::mutex> lock(s.crew->mutex);
        posting = s.crew->posting;
    }
    workOnBlocks(s, *s.crew, posting, s.scratch[0]);
    std::unique_lock<std::mutex> lock(s.crew->mutex);
    s.crew->finished.wait(lock, [&] { return s.crew->blocksDone == b.blockCount; });
    s.crew->band = nullptr;
}

// Whether a cell around corner (r, c) of the band is no window cell with data:
// the simplified surface covers those cells exactly, so only such a corner
// can end an edge of its outline.
bool onOutline(const TerrainSimplifier& s, const Band& b, std::int32_t r, std::int32_t c) {
    return !(windowDataAt(s, b, r - 1, c - 1) && windowDataAt(s, b, r - 1, c) && windowDataAt(s, b, r, c - 1) &&
             windowDataAt(s, b, r, c));
}

void sendKept(TerrainSimplifier& s) { sendVertices(*s.sink, s.positions, s.marksOutline ? &s.outline : nullptr); }

// Numbers and sends the block's kept corners not numbered yet; keeps its faces.
void emitBlock(TerrainSimplifier& s, const Band& b, const BandBlock& block) {
    const std::int32_t bh = b.lines - 1;
    for (std::int32_t r = 0; r <= bh; ++r) {
        const std::uint8_t* rowFlags = b.flags.data() + cornerIndex(s, r, 0);
        for (std::int32_t c = nextKept(rowFlags, block.c0, block.c1); c <= block.c1;
             c = nextKept(rowFlags, c + 1, block.c1)) {
            const std::size_t at = cornerIndex(s, r, c);
            if (!(b.flags[at] & cornerKept) || !(b.flags[at] & cornerIsVertex) || s.numbers[at] != 0) continue;
            s.numbers[at] = ++s.totals.vertices;
            s.numbered.push_back(at);
            double position[3];
            s.placement.place(s.placement.context, s.window.firstRow + b.top + r, s.window.firstCol + c, b.heights[at],
                              position);
            s.positions.insert(s.positions.end(), position, position + 3);
            if (s.marksOutline) s.outline.push_back(onOutline(s, b, r, c) ? 1 : 0);
            if (s.positions.size() >= 3 * kBatch) sendKept(s);
        }
    }
    for (const BlockTriangle& t : block.triangles) {
        std::int64_t face[3];
        for (int k = 0; k < 3; ++k) {
            face[k] = s.numbers[cornerIndex(s, t.y[k], block.c0 + t.x[k])];
            if (face[k] == 0) s.totals.ok = false;  // a triangle on a corner that is no vertex
        }
        s.faces->append(face);
    }
}

// Adds a simplified band to the totals and, with a sink, sends it.
void emitBand(TerrainSimplifier& s, const Band& b) {
    const std::int64_t firstVertex = s.totals.vertices + 1;
    std::int64_t faces = 0;
    for (std::size_t i = 0; i < b.blockCount; ++i) {
        const BandBlock& block = b.blocks[i];
        s.totals.ok = s.totals.ok && block.outcome.ok;
        s.totals.errorReached = std::max(s.totals.errorReached, block.outcome.errorReached);
        faces += static_cast<std::int64_t>(block.triangles.size());
        if (s.sink) emitBlock(s, b, block);
    }
    s.totals.triangles += faces;
    if (!s.sink) return;
    s.marks.push_back(BandMark{faces, firstVertex});
    // The bottom line's numbers become the next band's top line.
    const std::int32_t bottom = b.lines - 1;
    std::copy_n(&s.numbers[cornerIndex(s, bottom, 0)], s.cornersPerLine, s.numbers.begin());
    // Most corners were never numbered: only those that were are cleared.
    for (std::size_t at : s.numbered)
        if (at >= static_cast<std::size_t>(s.cornersPerLine)) s.numbers[at] = 0;
    s.numbered.clear();
}

// Starts the next band in `to` from the last line of `from`.
void startNextBand(const TerrainSimplifier& s, const Band& from, Band& to) {
    const std::int32_t bottom = from.lines - 1;
    std::copy_n(&from.heights[cornerIndex(s, bottom, 0)], s.cornersPerLine, to.heights.begin());
    // Cell rows: the band's last row and the row below become rows -1 and 0.
    std::copy_n(&from.cells[static_cast<std::size_t>((from.lines - 1) * s.cellsPerRow)], 2 * s.cellsPerRow,
                to.cells.begin());
    to.top = from.top + bottom;
    to.lines = 1;
}

// Waits for the band in flight and sends it.
void settleInFlight(TerrainSimplifier& s) {
    if (!s.inFlight) return;
    Band& b = s.bands[1 - s.filling];
    awaitBand(s, b);
    emitBand(s, b);
    s.inFlight = false;
}

void finishBand(TerrainSimplifier& s) {
    Band& b = s.bands[s.filling];
    Band& next = s.bands[1 - s.filling];
    if (s.sink) {
        // The band is simplified while the reader fills the next one; the one
        // before it goes out first.
        b.maxError = s.maxError;
        prepareBand(s, b);
        settleInFlight(s);
        postBand(s, b);
        s.inFlight = true;
    } else {
        // Every bound still within the budget, on the same band.
        for (std::size_t i = 0; i < s.levels.size(); ++i) {
            if (s.levelTotals[i].triangles > s.budget) continue;
            b.maxError = s.levels[i];
            s.totals = s.levelTotals[i];
            prepareBand(s, b);
            postBand(s, b);
            awaitBand(s, b);
            emitBand(s, b);
            s.levelTotals[i] = s.totals;
        }
    }
    startNextBand(s, b, next);
    s.filling = 1 - s.filling;
}

}  // namespace

TerrainSimplifier* createTerrainSimplifier(const SimplifyWindow& window, double maxError,
                                           const CornerPlacement& placement, MeshSink* sink,
                                           const std::filesystem::path& spoolPath, std::size_t facesInMemory,
                                           int helperThreads) {
    assert(window.rows >= 1 && window.cols >= 1 && maxError >= 0.0);
    auto* s = new (std::nothrow) TerrainSimplifier();
    if (!s) return nullptr;
    s->window = window;
    s->maxError = maxError;
    s->placement = placement;
    s->sink = sink;
    s->cornersPerLine = static_cast<std::int64_t>(window.cols) + 1;
    s->cellsPerRow = static_cast<std::int64_t>(window.cols) + 2;
    try {
        // A band holds at most kBandCells + 1 corner lines, and no more than the window.
        const std::int64_t bandLines = std::min<std::int64_t>(window.rows, kBandCells) + 1;
        const auto corners = static_cast<std::size_t>(bandLines * s->cornersPerLine);
        for (Band& b : s->bands) {
            b.heights.allocate(corners);
            b.flags.allocate(corners);
            b.cells.assign(static_cast<std::size_t>((bandLines + 1) * s->cellsPerRow), 0);
        }
        if (sink) {
            s->numbers.assign(corners, 0);
            const std::size_t budget = spoolPath.empty() ? SIZE_MAX : facesInMemory * kFaceBytes;
            s->faces.emplace(kFaceBytes, budget, spoolPath);
        }
        s->borderRow.assign(static_cast<std::size_t>(kBandCells) + 1, 0);
        s->borderColumn.assign(static_cast<std::size_t>(s->cornersPerLine), 0);
        s->crossed.assign(static_cast<std::size_t>(s->cornersPerLine), 0);
        // The helper's comes with the helper. A block is no wider than the window.
        static_assert(kBandCells <= kMaxBlockCells);
        const auto blockCorners =
            static_cast<std::size_t>((std::min<std::int64_t>(window.cols, kBandCells) + 1) * bandLines);
        BlockScratch& scratch = s->scratch[0];
        scratch.heights.allocate(blockCorners);
        scratch.flags.allocate(blockCorners);
        scratch.workspace = createBlockWorkspace();
        s->levels.assign(1, maxError);
        s->levelTotals.assign(1, SimplifyTotals{});
    } catch (const std::bad_alloc&) {
        destroyTerrainSimplifier(s);
        return nullptr;
    }
    // A window narrower than two blocks has nothing to share.
    s->helperWanted = helperThreads > 0 && window.cols > kBandCells;
    if (sink) {
        s->marksOutline = sink->wantsOutline();
        MeshInfo info;
        info.faceCorners = 3;
        sink->begin(info);
    }
    return s;
}

void destroyTerrainSimplifier(TerrainSimplifier* s) {
    if (!s) return;
    if (s->crew) {
        // A band still in flight (the caller did not finish) is dropped once
        // the helper has left it.
        if (s->inFlight) awaitBand(*s, s->bands[1 - s->filling]);
        {
            std::lock_guard<std::mutex> lock(s->crew->mutex);
            s->crew->stop = true;
        }
        s->crew->posted.notify_one();
        s->crew->thread.join();
        delete s->crew;
    }
    for (BlockScratch& scratch : s->scratch) destroyBlockWorkspace(scratch.workspace);
    delete s;
}

void simplifyRingAbove(TerrainSimplifier& s, const std::uint8_t* cells) {
    std::copy_n(cells, s.cellsPerRow, s.bands[s.filling].cells.begin());
}

void simplifyCornerLine(TerrainSimplifier& s, const double* heights, const std::uint8_t* cellsBelow) {
    assert(s.nextLine <= s.window.rows);
    const std::int32_t k = s.nextLine++;
    Band& b = s.bands[s.filling];
    std::copy_n(heights, s.cornersPerLine, &b.heights[cornerIndex(s, b.lines, 0)]);
    std::copy_n(cellsBelow, s.cellsPerRow, &b.cells[static_cast<std::size_t>((b.lines + 1) * s.cellsPerRow)]);
    ++b.lines;
    if (b.lines > 1 && (k == s.window.rows || isBandLine(s.window.firstRow - 1 + k))) finishBand(s);
}

SimplifyTotals finishTerrainSimplifier(TerrainSimplifier& s) {
    if (!s.sink) return s.levelTotals.front();
    settleInFlight(s);
    sendKept(s);
    s.sink->endVertices();
    // Faces come back from memory or, after a spill, from the spool file.
    RecordSpool& faces = *s.faces;
    if (faces.failed()) {
        s.totals.ok = false;
        return s.totals;
    }
    std::vector<std::int64_t> batchFaces;
    std::int64_t next = 0;
    for (const BandMark& mark : s.marks) {
        std::int64_t left = mark.faces;
        while (left > 0) {
            const auto count = static_cast<std::size_t>(std::min<std::int64_t>(left, kBatch));
            batchFaces.resize(3 * count);
            for (std::size_t i = 0; i < count; ++i) {
                const unsigned char* face = faces.at(next++);
                if (face == nullptr) {
                    s.totals.ok = false;
                    return s.totals;
                }
                std::memcpy(&batchFaces[3 * i], face, kFaceBytes);
            }
            FaceBatch batch;
            batch.count = count;
            batch.vertex = batchFaces.data();
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

TerrainSimplifier* createTriangleBudgetPass(const SimplifyWindow& window, std::int64_t budget, int helperThreads) {
    TerrainSimplifier* s =
        createTerrainSimplifier(window, 0.0, CornerPlacement{}, nullptr, {}, kFacesInMemory, helperThreads);
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
