#include "mesh/floating_planes.h"

#include <algorithm>
#include <memory>
#include <new>

#include "mesh/cell_edges.h"
#include "mesh/mesh_batches.h"
#include "mesh/texture_coords.h"
#include "pipeline/batch_handoff.h"

namespace morvale {
namespace {

// The four vertices of each kept cell, corners north-west, north-east,
// south-east, south-west; the row's edges are found once per row.
class PlaneVertices {
public:
    // With `uv`, each vertex carries its cell corner's texture coordinate.
    PlaneVertices(const PlaneLattice& lattice, VertexRows& rows, bool uv)
        : edges_(lattice.edges), unitScale_(lattice.elevationScale), rows_(rows), uv_(uv), uvExtent_(lattice.uvExtent) {
    }

    void operator()(const CellValue* cells, std::size_t count) {
        for (std::size_t n = 0; n < count; ++n) {
            const CellValue& cell = cells[n];
            if (cell.row != row_) {
                row_ = cell.row;
                north_ = yNorth(edges_, row_);
                south_ = ySouth(edges_, row_);
            }
            const double west = xWest(edges_, cell.col), east = xEast(edges_, cell.col);
            const double elevation = cell.value * unitScale_;
            double uv[8] = {};
            if (uv_) cellCornerUvs(uvExtent_, cell.row, cell.col, uv);
            std::int64_t four = 4;
            double* v = rows_.reserve(four);
            if (four < 4) {
                // The batch ends inside this cell: its corners go one at a time.
                putCorner(west, north_, elevation, uv);
                putCorner(east, north_, elevation, uv + 2);
                putCorner(east, south_, elevation, uv + 4);
                putCorner(west, south_, elevation, uv + 6);
                continue;
            }
            const double corners[12] = {west, north_, elevation, east, north_, elevation,
                                        east, south_, elevation, west, south_, elevation};
            for (int k = 0; k < 12; ++k) v[k] = corners[k];
            if (uv_) {
                double* to = rows_.uvOf(v);
                for (int k = 0; k < 8; ++k) to[k] = uv[k];
            }
            rows_.take(4);
        }
    }

private:
    void putCorner(double east, double north, double elevation, const double* uv) {
        double* v = rows_.next();
        v[0] = east;
        v[1] = north;
        v[2] = elevation;
        if (uv_) {
            double* to = rows_.uvOf(v);
            to[0] = uv[0];
            to[1] = uv[1];
        }
    }

    const CellEdges& edges_;
    double unitScale_;
    VertexRows& rows_;
    bool uv_;
    CropWindow uvExtent_;
    std::int32_t row_ = 0;
    double north_ = 0.0;
    double south_ = 0.0;
};

}  // namespace

TerrainBuilt buildFloatingPlanesMesh(const TerrainJob& job, MeshSink& sink) {
    assert(job.header != nullptr && job.cancelRequested != nullptr && job.progress != nullptr);
    const CropWindow& window = job.window;
    assert(1 <= window.xMin && window.xMin <= window.xMax && window.xMax <= job.header->ncols);
    assert(1 <= window.yMin && window.yMin <= window.yMax && window.yMax <= job.header->nrows);
    const std::atomic<bool>& cancelRequested = *job.cancelRequested;
    ProgressReporter& progress = *job.progress;
    TerrainBuilt built;

    PlaneLattice lattice;
    lattice.edges = makeCellEdges(*job.header, job.useXllYllOffsets, job.unitScale);
    lattice.elevationScale = elevationScale(job);
    lattice.window = window;
    lattice.uvExtent = uvExtentFor(job.attributes.uvExtent, window, job.header->ncols, job.header->nrows);
    // A sink that takes planes as cells formats each edge once; any other
    // gets every plane's four vertices.
    const bool asPlanes = sink.acceptsPlanes(lattice);
    StepBatches steps(0, 0);
    std::unique_ptr<VertexRows> vertexRows;
    std::unique_ptr<FaceRows> faceRows;
    try {
        if (!asPlanes) {
            vertexRows = std::make_unique<VertexRows>(sink, 3, nullptr, cancelRequested);
            if (job.attributes.writesUv()) vertexRows->carryAttributes(false, true);
            faceRows = std::make_unique<FaceRows>(sink, 4, &steps, cancelRequested);
        }
    } catch (const std::bad_alloc&) {
        built.failure = BuildFailure::vertexTable;
        return built;
    }

    progress.beginStage("Getting elevation data from input file and outputting the vertices...", 5);
    MeshInfo info;
    info.uv = job.attributes.writesUv();
    // Every plane faces up the elevation axis, whatever the unit scale's sign.
    if (job.attributes.normals) info.normals = NormalLayout::shared;
    if (asPlanes) info.planes = &lattice;
    sink.begin(info);
    // The reader alone steps the bar and tests the cancel flag; every cell it hands over is kept.
    std::int64_t quadCount = 0;
    const auto read = [&](auto& batcher) {
        built.counts = readBodyCells(job, window, window.yMax, progress,
                                     [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                         if (!inWindow) return;
                                         ++quadCount;
                                         batcher.add(CellValue{row, col, value});
                                     });
    };
    if (hasBody(job) && asPlanes) {
        handOff<CellValue>(
            job.threaded,
            [&](const CellValue* cells, std::size_t count) {
                sink.planes(PlaneBatch{count, cells});
            },
            read);
    } else if (hasBody(job)) {
        PlaneVertices vertices(lattice, *vertexRows, info.uv);
        handOff<CellValue>(job.threaded, vertices, read);
        vertexRows->flush();
    }

    progress.beginStage(job.writingStage, 10);
    sink.endVertices();
    steps = StepBatches(quadCount / 10, 0);
    if (asPlanes) {
        // The sink knows each plane's face: only the batches' bounds go over,
        // cut at the step points like the face rows below, but of any length.
        for (std::int64_t i = 1; i <= quadCount && !cancelRequested.load(std::memory_order_relaxed);) {
            FaceBatch batch;
            const std::int64_t n = steps.room(quadCount - i + 1);
            batch.count = static_cast<std::size_t>(n);
            batch.firstPlane = i;
            batch.cancellable = true;
            batch.stepAfter = steps.pass(n);
            sink.faces(batch);
            i += n;
        }
    } else {
        for (std::int64_t i = 1; i <= quadCount && !cancelRequested.load(std::memory_order_relaxed);) {
            std::int64_t n = quadCount - i + 1;
            std::int64_t* v = faceRows->reserve(n);
            if (v == nullptr) break;
            for (std::int64_t end = i + n; i < end; ++i, v += 4) planeFaceVertices(i, v);
            faceRows->take(n);
        }
        faceRows->flush();
    }
    const MeshWritten written = sink.end();
    built.vertexCount = 4 * quadCount;
    built.quadCount = quadCount;
    built.written = written.ok;
    return built;
}

}  // namespace morvale
