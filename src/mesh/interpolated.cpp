#include "mesh/interpolated.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "grid/wide_read.h"
#include "mesh/cell_edges.h"
#include "mesh/corner_normals.h"
#include "mesh/corner_vertices.h"
#include "mesh/elevation_range.h"
#include "mesh/face_cursor.h"
#include "mesh/mesh_batches.h"
#include "pipeline/batch_handoff.h"

// The run reads the grid once when the elevations need no centring and the
// sink takes the vertex block ahead: the block only depends on rows already
// read, so it is handed over while the grid is read, and the writing stage
// replays the progress steps of its lines and tells the sink how many it
// keeps. With "Center Z values" the shift is known only after the whole
// window was read: the values are then read again in the writing stage, as
// few bytes per cell are kept.

namespace morvale {
namespace {

// Everything a run allocates besides the data mask, before the first value
// is read, so that no later step runs out of memory.
struct RunTables {
    RunTables(const CellMask& mask, const CropWindow& window, MeshSink& sink, const std::atomic<bool>& cancelRequested)
        : corners(mask, window), meshFinder(mask, window), faceFinder(mask, window), faceWalk(faceFinder),
          vertexRows(sink, 3, nullptr, cancelRequested), faceRows(sink, 4, &steps, cancelRequested) {
        const std::int64_t rows = std::int64_t{window.yMax} - window.yMin + 1;
        plan.verticesBefore.assign(static_cast<std::size_t>(rows + 1), 0);
        plan.dataBefore.assign(static_cast<std::size_t>(rows + 1), 0);
        meshFinder.prepare(meshRow);
    }

    CornerScratch corners;
    MeshPlan plan;
    CornerFinder meshFinder;
    RowCorners meshRow;
    CornerFinder faceFinder;
    FaceWalk faceWalk;
    StepBatches steps{0, 0};  // the writing stage's, set when it starts
    VertexRows vertexRows;    // without steps while handed over ahead
    FaceRows faceRows;
};

// The most numbers the body can hold: each takes a digit and, but for the
// last, one more byte (a blank, or the sign or point that starts the next).
std::int64_t mostNumbers(const TerrainJob& job) {
    if (!hasBody(job)) return 0;
    if (job.cells != nullptr || job.bodyBytes < 0) return INT64_MAX / 8;
    return (job.bodyBytes + 1) / 2;
}

void planMesh(const CropWindow& w, RunTables& t, const std::atomic<bool>& cancelRequested, ProgressReporter& progress) {
    progress.beginStage("Calculating vertices and quads...", 5);
    const std::int64_t meshInterval = (std::int64_t{w.yMax} - w.yMin) / 20;
    std::int64_t meshRows = 0;
    MeshPlan& plan = t.plan;
    std::int64_t i = w.yMin;
    while (i <= w.yMax) {
        const std::size_t at = static_cast<std::size_t>(i - w.yMin);
        plan.verticesBefore[at] = plan.verticesCreated;
        plan.dataBefore[at] = plan.dataCells;
        t.meshFinder.find(i, t.meshRow);
        plan.dataCells += t.meshFinder.dataCount(t.meshRow);
        plan.verticesCreated += t.meshFinder.vertexCount(t.meshRow);
        ++i;
        if (++meshRows >= meshInterval) {
            progress.step();
            meshRows = 0;
        }
        if (cancelRequested.load(std::memory_order_relaxed)) break;
    }
    // Rows not reached (after a cancel) add nothing.
    for (; i <= std::int64_t{w.yMax} + 1; ++i) {
        const std::size_t at = static_cast<std::size_t>(i - w.yMin);
        plan.verticesBefore[at] = plan.verticesCreated;
        plan.dataBefore[at] = plan.dataCells;
    }
}

// Hands the vertex block over from the cells read(batcher) hands over: read
// on this thread, the corners on a helper (when threaded).
template <class Read>
void handOverVertices(bool threaded, CornerVertices& vertices, Read&& read) {
    handOff<CellValue>(threaded, vertices, read);
    vertices.finish();
}

// The vertex lines of the writing stage when they were handed over ahead:
// the cancel tests and steps of a line-by-line loop, a step segment at a
// time (a cancel raised by a step is seen before the next line). Returns the
// lines kept.
std::int64_t replayVertexSteps(std::int64_t lines, std::int64_t writeInterval, const std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress) {
    std::int64_t done = 0, ticks = 0;
    while (done < lines) {
        if (cancelRequested.load(std::memory_order_relaxed)) break;
        const std::int64_t segment = writeInterval > 0 ? std::min(writeInterval - ticks, lines - done) : 1;
        done += segment;
        ticks += segment;
        if (ticks >= writeInterval) {
            progress.step();
            ticks = 0;
        }
    }
    return done;
}

// The faces as ranges: each reader walks the data mask with its own cursor.
class PlanFaces final : public FaceSource {
public:
    PlanFaces(const CellMask& mask, const CropWindow& window, const MeshPlan& plan)
        : mask_(mask), window_(window), plan_(plan) {}

    std::unique_ptr<FaceRangeReader> reader() const override {
        try {
            return std::make_unique<Reader>(mask_, window_, plan_);
        } catch (const std::exception&) {
            return nullptr;
        }
    }

private:
    struct Reader final : FaceRangeReader {
        Reader(const CellMask& mask, const CropWindow& window, const MeshPlan& plan)
            : finder(mask, window), walk(finder), cursor(window, plan, walk) {}
        void put(std::int64_t first, std::size_t count, std::int64_t* out) override {
            if (first != next) cursor.seek(first);
            cursor.put(out, static_cast<std::int64_t>(count));
            next = first + static_cast<std::int64_t>(count);
        }
        CornerFinder finder;
        FaceWalk walk;
        FaceCursor cursor;
        std::int64_t next = -1;
    };

    const CellMask& mask_;
    CropWindow window_;
    const MeshPlan& plan_;
};

// Faces as numbers, or as ranges when the sink puts them together itself.
// Faces as numbers come with settled() hints after each batch.
void putFaces(const CropWindow& w, RunTables& t, bool asRanges, const std::atomic<bool>& cancelRequested,
              MeshSink& sink) {
    const std::int64_t faces = t.plan.dataCells;
    if (faces == 0 || cancelRequested.load(std::memory_order_relaxed)) return;
    if (asRanges) {
        t.faceRows.handRanges();
        for (std::int64_t f = 0, n = faces; f < faces; f += n, n = faces - f) {
            if (!t.faceRows.reserveRows(n)) break;
            t.faceRows.take(n);
        }
        t.faceRows.flush();
        return;
    }
    FaceCursor cursor(w, t.plan, t.faceWalk);
    cursor.seek(0);
    std::int64_t handed = 0;
    for (std::int64_t f = 0; f < faces;) {
        std::int64_t n = faces - f;
        std::int64_t* corners = t.faceRows.reserve(n);
        if (corners == nullptr) break;
        if (t.faceRows.handed() != handed) {
            // A batch went out: the faces still to come start in the cursor's row.
            handed = t.faceRows.handed();
            sink.settled(cursor.lowestVertexAhead());
        }
        cursor.put(corners, n);
        t.faceRows.take(n);
        f += n;
    }
    t.faceRows.flush();
}

}  // namespace

TerrainBuilt buildInterpolatedMesh(const TerrainJob& job, MeshSink& sink) {
    assert(job.header != nullptr && job.cancelRequested != nullptr && job.progress != nullptr);
    const GridHeader& header = *job.header;
    const std::atomic<bool>& cancelRequested = *job.cancelRequested;
    ProgressReporter& progress = *job.progress;
    CropWindow window = job.window;
    assert(1 <= window.xMin && window.xMin <= window.xMax && window.xMax <= header.ncols);
    assert(1 <= window.yMin && window.yMin <= window.yMax && window.yMax <= header.nrows);
    TerrainBuilt built;

    // Memory is sized by the window: one bit per cell for the data mask, and
    // a few window-wide rows.
    const double unitScale = job.unitScale;
    const double zUnits = elevationScale(job);
    const CellEdges edges = makeCellEdges(header, job.useXllYllOffsets, unitScale);
    // Rows past those the body can fill take no memory (a header may promise far more).
    const std::int64_t numbers = mostNumbers(job);
    const std::int64_t ncols = std::max<std::int64_t>(1, header.ncols);
    // Likewise columns: a number in column c is at least the c-th of the body,
    // so no column past `numbers` holds data. Narrowing the window to the first
    // such column keeps every vertex and face, and every count, as they are.
    if (window.xMax > numbers + 1)
        window.xMax = static_cast<std::int32_t>(std::max<std::int64_t>(window.xMin, numbers + 1));
    std::unique_ptr<CellMask> mask;
    try {
        mask = std::make_unique<CellMask>(window, (numbers + ncols - 1) / ncols);
    } catch (const std::exception&) {
        built.failure = BuildFailure::vertexTable;
        return built;
    }
    std::unique_ptr<RunTables> tables;
    try {
        tables = std::make_unique<RunTables>(*mask, window, sink, cancelRequested);
    } catch (const std::exception&) {
        built.failure = BuildFailure::quadTable;
        return built;
    }
    RunTables& t = *tables;
    // Normals need two cells around the window: the grid is then read that
    // wide, and each row's vertices go out one row later.
    const AttributeSettings& attributes = job.attributes;
    const bool uv = attributes.writesUv();
    const bool wantsOutline = sink.wantsOutline();
    std::unique_ptr<CornerNormalStream> normals;
    try {
        if (attributes.normals)
            normals = std::make_unique<CornerNormalStream>(window, zUnits, unitScale * header.cellsize);
        if (uv || normals) t.vertexRows.carryAttributes(normals != nullptr, uv);
        if (wantsOutline) t.vertexRows.carryOutline();
    } catch (const std::exception&) {
        built.failure = BuildFailure::vertexTable;
        return built;
    }

    // Reading stage.
    progress.beginStage("Getting elevation data from input file...", 5);
    ElevationRange range;  // of the window's data values, for centring
    const std::int32_t lastRow = window.yMax < header.nrows ? window.yMax + 1 : header.nrows;
    MeshInfo info;
    info.uv = uv;
    info.normals = normals ? NormalLayout::perVertex : NormalLayout::none;
    info.verticesAhead = hasBody(job) && !job.centerZ && sink.acceptsVerticesAhead();
    const PlanFaces faceSource(*mask, window, t.plan);
    if (sink.acceptsFaceRanges()) info.faceSource = &faceSource;
    std::int64_t linesAhead = 0;
    if (info.verticesAhead) {
        sink.begin(info);
        // The vertices fill the data mask themselves; the elevation range matters only for centring.
        CornerVertices vertices(*mask, true, window, edges, zUnits, 0.0, t.corners, t.vertexRows);
        vertices.carryAttributes(normals.get(), uv,
                                 uvExtentFor(attributes.uvExtent, job.window, header.ncols, header.nrows));
        if (wantsOutline) vertices.carryOutline();
        handOverVertices(job.threaded, vertices, [&](auto& batcher) {
            if (!normals) {
                built.counts = readBodyCells(job, window, lastRow, progress,
                                             [&](std::int32_t row, std::int32_t col, double value, bool) {
                                                 batcher.add(CellValue{row, col, value});
                                             });
                return;
            }
            built.counts =
                readWideBodyCells(job, window, progress, [&](std::int32_t row, std::int32_t col, double value, bool) {
                    batcher.add(CellValue{row, col, value});
                });
        });
        linesAhead = vertices.handedOver();
    } else if (hasBody(job)) {
        built.counts = readBodyCells(job, window, lastRow, progress,
                                     [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                         mask->set(row, col);
                                         if (inWindow) range.add(value);
                                     });
    }

    // Meshing stage.
    planMesh(window, t, cancelRequested, progress);
    const MeshPlan& plan = t.plan;

    // Writing stage.
    progress.beginStage(job.writingStage, 10);
    const std::int64_t writeInterval = (plan.verticesCreated + plan.dataCells) / 10;
    const bool writeVertices = hasBody(job) && plan.verticesCreated > 0 && !cancelRequested.load() &&
                               (job.cells != nullptr || seekTo(job.input, header.dataStart));
    t.steps = StepBatches(writeInterval, 0);
    if (info.verticesAhead) {
        sink.writingStage();
        std::int64_t kept = 0;
        if (writeVertices)
            kept =
                replayVertexSteps(std::min(linesAhead, plan.verticesCreated), writeInterval, cancelRequested, progress);
        sink.keepVertices(kept);
        t.steps = StepBatches(writeInterval, ticksAfter(kept, writeInterval));
    } else {
        sink.begin(info);
        if (writeVertices) {
            const double zShift = job.centerZ ? range.shift(zUnits) : 0.0;
            t.vertexRows.setSteps(&t.steps);
            CornerVertices vertices(*mask, false, window, edges, zUnits, zShift, t.corners, t.vertexRows);
            vertices.carryAttributes(normals.get(), uv,
                                     uvExtentFor(attributes.uvExtent, job.window, header.ncols, header.nrows));
            if (wantsOutline) vertices.carryOutline();
            const CropWindow reading = normals ? wideReadingWindow(window, header.ncols, header.nrows) : window;
            const std::int32_t readingLastRow = normals ? wideLastRow(reading, header.nrows) : lastRow;
            SilentProgress rereading;  // the writing stage steps by lines written, not rows read
            handOverVertices(job.threaded, vertices, [&](auto& batcher) {
                readBodyCells(job, reading, readingLastRow, rereading,
                              [&](std::int32_t row, std::int32_t col, double value, bool) {
                                  batcher.add(CellValue{row, col, value});
                              });
            });
        }
    }
    sink.endVertices();

    if (plan.verticesCreated > 0) putFaces(window, t, info.faceSource != nullptr, cancelRequested, sink);
    endStream(sink, built);
    return built;
}

}  // namespace morvale
