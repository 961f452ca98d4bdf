#include "mesh/simplify/simplified_builders.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <new>
#include <vector>

#include "base/input_file.h"
#include "grid/wide_read.h"
#include "mesh/cell_edges.h"
#include "mesh/corner_normals.h"
#include "mesh/elevation_range.h"
#include "mesh/forwarding_sink.h"
#include "mesh/simplify/plane_merge.h"
#include "mesh/simplify/terrain_simplifier.h"

namespace morvale {
namespace {

// The last three grid rows of the window's columns and its ring (cols + 2
// cells, west ring cell first), by row number modulo 3. Rows without a data
// cell never arrive: a slot whose tag is not the row asked for reads as no data.
class CellRows {
public:
    explicit CellRows(std::int32_t width) : width_(width) {
        for (int s = 0; s < 3; ++s) {
            values_[s].assign(static_cast<std::size_t>(width), 0.0);
            data_[s].assign(static_cast<std::size_t>(width), 0);
        }
        empty_.assign(static_cast<std::size_t>(width), 0);
    }
    void set(std::int32_t row, std::int32_t k, double value) {
        const int s = slot(row);
        if (tag_[s] != row) {
            std::fill(data_[s].begin(), data_[s].end(), std::uint8_t{0});
            tag_[s] = row;
        }
        values_[s][static_cast<std::size_t>(k)] = value;
        data_[s][static_cast<std::size_t>(k)] = 1;
    }
    const std::uint8_t* data(std::int32_t row) const {
        return tag_[slot(row)] == row ? data_[slot(row)].data() : empty_.data();
    }
    const double* values(std::int32_t row) const { return values_[slot(row)].data(); }
    std::int32_t width() const { return width_; }

private:
    static int slot(std::int32_t row) { return static_cast<int>(((row % 3) + 3) % 3); }
    std::int32_t width_;
    std::int32_t tag_[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
    std::vector<double> values_[3];
    std::vector<std::uint8_t> data_[3];
    std::vector<std::uint8_t> empty_;
};

// The normals of the last corner lines fed to the simplifier. A band's
// vertices leave once the next band's last line has arrived (the simplifier
// holds two bands), so the lines of both (up to 2 kBandCells + 1, one more
// for the line fed late) must still be here then.
class NormalLines {
public:
    static constexpr std::int64_t kLines = 2 * kBandCells + 3;

    // Throws std::bad_alloc.
    explicit NormalLines(const CropWindow& window)
        : xMin_(window.xMin), width_(static_cast<std::size_t>(window.xMax - window.xMin + 2)),
          values_(static_cast<std::size_t>(kLines) * width_ * 3) {}

    // 3 doubles per corner column xMin .. xMax + 1 of corner line r.
    void keep(std::int64_t r, const double* normals) { std::copy_n(normals, 3 * width_, at(r, xMin_)); }
    double* at(std::int64_t r, std::int64_t c) {
        const std::size_t line = static_cast<std::size_t>(r % kLines);
        return values_.data() + 3 * (line * width_ + static_cast<std::size_t>(c - xMin_));
    }

private:
    std::int64_t xMin_;
    std::size_t width_;
    std::vector<double> values_;
};

// Hands the kept vertices over with their texture coordinates and normals:
// the placement callback records them vertex by vertex, in the order the
// positions leave, and each batch takes what was recorded for it.
class AttributeSink final : public ForwardingSink {
public:
    // `normals`: how the normals go out when they are asked for.
    AttributeSink(MeshSink& out, const AttributeSettings& asked, NormalLayout normals)
        : ForwardingSink(out), uv_(asked.writesUv()), normals_(asked.normals ? normals : NormalLayout::none) {}

    void recordUv(const double* uv) {
        if (uv_) pendingUv_.insert(pendingUv_.end(), uv, uv + 2);
    }
    void recordNormal(const double* normal) { pendingNormal_.insert(pendingNormal_.end(), normal, normal + 3); }

    void begin(const MeshInfo& info) override {
        MeshInfo with = info;
        with.uv = uv_;
        with.normals = normals_;
        to().begin(with);
    }
    void vertices(const VertexBatch& batch) override {
        assert(!uv_ || pendingUv_.size() == 2 * batch.count);
        assert(normals_ != NormalLayout::perVertex || pendingNormal_.size() == 3 * batch.count);
        VertexBatch with = batch;
        if (uv_) with.uv = pendingUv_.data();
        if (normals_ == NormalLayout::perVertex) with.normal = pendingNormal_.data();
        to().vertices(with);
        pendingUv_.clear();
        pendingNormal_.clear();
    }

private:
    bool uv_;
    NormalLayout normals_;
    std::vector<double> pendingUv_;
    std::vector<double> pendingNormal_;
};

// Where the full Interpolated builder puts a corner, and (with attributes)
// the texture coordinate and normal it gives it.
struct CornerFrame {
    CellEdges edges;
    CropWindow window;
    double elevationScale = 1.0;  // output units per grid elevation unit
    double zShift = 0.0;          // subtracted from every scaled elevation, as the full builder centres
    AttributeSink* attributes = nullptr;
    CropWindow uvExtent;
    NormalLines* normals = nullptr;
};

// The frame of a job's window; with attributes asked for, the placement records them into `attributes`.
CornerFrame frameFor(const TerrainJob& job, AttributeSink& attributes) {
    CornerFrame f;
    f.edges = makeCellEdges(*job.header, job.useXllYllOffsets, job.unitScale);
    f.window = job.window;
    f.elevationScale = elevationScale(job);
    const AttributeSettings& asked = job.attributes;
    if (asked.writesUv() || asked.normals) {
        f.attributes = &attributes;
        f.uvExtent = uvExtentFor(asked.uvExtent, job.window, job.header->ncols, job.header->nrows);
    }
    return f;
}

void placeCorner(void* context, std::int32_t cornerRow, std::int32_t cornerCol, double height, double* position) {
    CornerFrame& f = *static_cast<CornerFrame*>(context);
    position[0] = cornerCol <= f.window.xMax ? xWest(f.edges, cornerCol) : xEast(f.edges, f.window.xMax);
    position[1] = cornerRow <= f.window.yMax ? yNorth(f.edges, cornerRow) : ySouth(f.edges, f.window.yMax);
    position[2] = height * f.elevationScale - f.zShift;
    if (f.attributes == nullptr) return;
    const double uv[2] = {cornerU(f.uvExtent, cornerCol), cornerV(f.uvExtent, cornerRow)};
    f.attributes->recordUv(uv);
    if (f.normals != nullptr) f.attributes->recordNormal(f.normals->at(cornerRow, cornerCol));
}

// The corner means of one corner line, summed in the full builder's order
// (north-west, north-east, south-west, south-east) and divided as it does.
void cornerLine(const CellRows& rows, std::int32_t above, std::int32_t below, std::vector<double>& heights) {
    const std::uint8_t* up = rows.data(above);
    const std::uint8_t* down = rows.data(below);
    const double* upValues = rows.values(above);
    const double* downValues = rows.values(below);
    for (std::size_t j = 0; j < heights.size(); ++j) {
        double sum = 0.0;
        int cells = 0;
        if (up[j]) sum += upValues[j], ++cells;
        if (up[j + 1]) sum += upValues[j + 1], ++cells;
        if (down[j]) sum += downValues[j], ++cells;
        if (down[j + 1]) sum += downValues[j + 1], ++cells;
        heights[j] = cells == 3 ? sum / 3 : sum * (cells == 4 ? 0.25 : cells == 2 ? 0.5 : 1.0);
    }
}

// One pass over the window and its ring into a simplifier (or a budget pass).
// With `normals`, the grid is read two cells around the window and each
// corner line goes to the simplifier one cell row late, once its normals are
// known, which are kept until its band has left. With `range` (the budget
// pass, which needs no normals), the window's data values widen it on the way.
GridBodyCounts feedSimplifier(const TerrainJob& job, TerrainSimplifier& simplifier, ProgressReporter& progress,
                              NormalLines* normals = nullptr, ElevationRange* range = nullptr) {
    assert(normals == nullptr || range == nullptr);
    const CropWindow& w = job.window;
    const GridHeader& header = *job.header;
    const std::int32_t cols = w.xMax - w.xMin + 1;
    CellRows rows(cols + 2);
    std::vector<double> heights(static_cast<std::size_t>(cols) + 1);
    std::unique_ptr<CornerNormalStream> stream;
    if (normals != nullptr)
        stream = std::make_unique<CornerNormalStream>(w, elevationScale(job), job.unitScale * header.cellsize);
    const std::int64_t late = normals != nullptr ? 1 : 0;
    std::int32_t nextLine = 0;
    const std::int32_t lineCount = w.yMax - w.yMin + 1;
    // Line k lies between rows yMin - 1 + k and yMin + k; it is ready once the row below it is complete.
    auto putLines = [&](std::int64_t completedThrough) {
        while (nextLine <= lineCount && std::int64_t{w.yMin} + nextLine + late <= completedThrough) {
            const std::int32_t below = w.yMin + nextLine;
            if (stream) normals->keep(below, stream->normals(below));
            if (nextLine == 0) simplifyRingAbove(simplifier, rows.data(below - 1));
            cornerLine(rows, below - 1, below, heights);
            simplifyCornerLine(simplifier, heights.data(), rows.data(below));
            ++nextLine;
        }
    };
    std::int32_t currentRow = INT32_MIN;
    auto nextCell = [&](std::int32_t row) {
        if (row != currentRow) {
            putLines(std::int64_t{row} - 1);
            currentRow = row;
        }
    };
    auto ring = [&](std::int32_t row, std::int32_t col, double value, bool) {
        rows.set(row, col - (w.xMin - 1), value);
    };
    GridBodyCounts counts;
    if (stream) {
        auto all = [&](std::int32_t row, std::int32_t col, double value) {
            nextCell(row);
            stream->cell(row, col, value);
        };
        WideCells<decltype(ring), decltype(all)> cells(w, ring, all);
        counts = readWideBodyCells(job, w, progress, cells);
    } else {
        const std::int32_t lastRow = w.yMax < header.nrows ? w.yMax + 1 : header.nrows;
        counts = readBodyCells(job, w, lastRow, progress,
                               [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                   nextCell(row);
                                   ring(row, col, value, inWindow);
                                   if (range != nullptr && inWindow) range->add(value);
                               });
    }
    if (!job.cancelRequested->load()) putLines(INT64_MAX);
    return counts;
}

bool rewind(const TerrainJob& job) { return job.cells != nullptr || seekTo(job.input, job.header->dataStart); }

// A pass over the window for its elevation range alone; the next pass rewinds.
ElevationRange readElevationRange(const TerrainJob& job, ProgressReporter& progress) {
    ElevationRange range;
    readBodyCells(job, job.window, job.window.yMax, progress,
                  [&](std::int32_t, std::int32_t, double value, bool inWindow) {
                      if (inWindow) range.add(value);
                  });
    return range;
}

}  // namespace

SimplifiedBuilt buildSimplifiedInterpolatedMesh(const TerrainJob& job, const SimplifyRequest& request, MeshSink& sink) {
    assert(job.header != nullptr && job.cancelRequested != nullptr && job.progress != nullptr);
    const CropWindow& w = job.window;
    SimplifiedBuilt result;
    TerrainBuilt& built = result.built;
    const SimplifyWindow window{w.yMin, w.xMin, w.yMax - w.yMin + 1, w.xMax - w.xMin + 1};
    ProgressReporter& progress = *job.progress;
    // A run told to stay on one thread (a job of a tile set) simplifies there too.
    const int helpers = job.threaded ? 1 : 0;

    double maxError = request.maxError;
    // Centring needs the window's range before the first vertex leaves: the
    // budget pass finds it on the way, otherwise a pass of its own does.
    ElevationRange range;
    ElevationRange* centring = job.centerZ ? &range : nullptr;
    if (request.maxTriangles > 0 && hasBody(job)) {
        progress.beginStage("Choosing the error bound for the triangle budget...", 5);
        TerrainSimplifier* pass = createTriangleBudgetPass(window, request.maxTriangles, helpers);
        if (pass == nullptr) {
            built.failure = BuildFailure::vertexTable;
            return result;
        }
        feedSimplifier(job, *pass, progress, nullptr, centring);
        const BudgetChoice choice = finishTriangleBudgetPass(*pass);
        destroyTerrainSimplifier(pass);
        maxError = choice.maxError;
        result.budgetReachable = choice.reachable;
    } else if (centring != nullptr && hasBody(job)) {
        progress.beginStage("Finding the elevation range to centre...", 5);
        range = readElevationRange(job, progress);
    }

    AttributeSink attributeSink(sink, job.attributes, NormalLayout::perVertex);
    CornerFrame frame = frameFor(job, attributeSink);
    if (centring != nullptr) frame.zShift = range.shift(elevationScale(job));
    std::unique_ptr<NormalLines> normals;
    try {
        if (job.attributes.normals) frame.normals = (normals = std::make_unique<NormalLines>(w)).get();
    } catch (const std::bad_alloc&) {
        built.failure = BuildFailure::vertexTable;
        return result;
    }
    MeshSink& out = frame.attributes != nullptr ? static_cast<MeshSink&>(attributeSink) : sink;
    TerrainSimplifier* simplifier = createTerrainSimplifier(window, maxError, CornerPlacement{&frame, placeCorner},
                                                            &out, request.spoolPath, kFacesInMemory, helpers);
    if (simplifier == nullptr) {
        built.failure = BuildFailure::vertexTable;
        return result;
    }
    progress.beginStage("Getting elevation data from input file...", 5);
    if (hasBody(job) && !job.cancelRequested->load() && rewind(job)) {
        try {
            built.counts = feedSimplifier(job, *simplifier, progress, normals.get());
        } catch (const std::bad_alloc&) {
            destroyTerrainSimplifier(simplifier);
            built.failure = BuildFailure::vertexTable;
            return result;
        }
    }
    progress.beginStage(job.writingStage, 10);
    const SimplifyTotals totals = finishTerrainSimplifier(*simplifier);
    destroyTerrainSimplifier(simplifier);
    endStream(out, built);
    built.written = built.written && totals.ok;
    result.errorReached = totals.errorReached;
    return result;
}

namespace {

// Where the full Floating planes builder puts a cell's corners, for a rectangle of cells.
void placeRectangle(void* context, std::int32_t firstRow, std::int32_t firstCol, std::int32_t lastRow,
                    std::int32_t lastCol, double level, double* p) {
    CornerFrame& f = *static_cast<CornerFrame*>(context);
    if (f.attributes != nullptr) {
        const double west = cornerU(f.uvExtent, firstCol), east = cornerU(f.uvExtent, std::int64_t{lastCol} + 1);
        const double north = cornerV(f.uvExtent, firstRow), south = cornerV(f.uvExtent, std::int64_t{lastRow} + 1);
        const double uv[8] = {west, north, east, north, east, south, west, south};
        for (int k = 0; k < 4; ++k) f.attributes->recordUv(uv + 2 * k);
    }
    const double west = xWest(f.edges, firstCol), east = xEast(f.edges, lastCol);
    const double north = yNorth(f.edges, firstRow), south = ySouth(f.edges, lastRow);
    const double elevation = level * f.elevationScale;
    const double corners[12] = {west, north, elevation, east, north, elevation,
                                east, south, elevation, west, south, elevation};
    std::copy_n(corners, 12, p);
}

}  // namespace

SimplifiedBuilt buildMergedPlanesMesh(const TerrainJob& job, double maxError, MeshSink& sink) {
    assert(job.header != nullptr && job.cancelRequested != nullptr && job.progress != nullptr);
    const CropWindow& w = job.window;
    SimplifiedBuilt result;
    TerrainBuilt& built = result.built;
    const SimplifyWindow window{w.yMin, w.xMin, w.yMax - w.yMin + 1, w.xMax - w.xMin + 1};
    // Every plane faces up the elevation axis, whatever the unit scale's sign.
    AttributeSink attributeSink(sink, job.attributes, NormalLayout::shared);
    CornerFrame frame = frameFor(job, attributeSink);
    MeshSink& out = frame.attributes != nullptr ? static_cast<MeshSink&>(attributeSink) : sink;
    PlaneMerge* merge = createPlaneMerge(window, maxError, RectanglePlacement{&frame, placeRectangle}, out);
    if (merge == nullptr) {
        built.failure = BuildFailure::vertexTable;
        return result;
    }
    const std::size_t cols = static_cast<std::size_t>(window.cols);
    std::vector<double> values(cols, 0.0);
    std::vector<std::uint8_t> data(cols, 0);
    std::int32_t nextRow = w.yMin;
    auto putRows = [&](std::int64_t completedThrough) {
        for (; nextRow <= w.yMax && nextRow <= completedThrough; ++nextRow) {
            planeMergeRow(*merge, values.data(), data.data());
            std::fill(data.begin(), data.end(), std::uint8_t{0});
        }
    };
    job.progress->beginStage("Getting elevation data from input file and outputting the vertices...", 5);
    if (hasBody(job)) {
        built.counts = readBodyCells(job, w, w.yMax, *job.progress,
                                     [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                         if (!inWindow) return;
                                         putRows(std::int64_t{row} - 1);
                                         values[static_cast<std::size_t>(col - w.xMin)] = value;
                                         data[static_cast<std::size_t>(col - w.xMin)] = 1;
                                     });
        if (!job.cancelRequested->load()) putRows(INT64_MAX);
    }
    job.progress->beginStage(job.writingStage, 10);
    finishPlaneMerge(*merge);
    destroyPlaneMerge(merge);
    endStream(out, built);
    return result;
}

}  // namespace morvale
