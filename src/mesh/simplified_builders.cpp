#include "mesh/simplified_builders.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <new>
#include <vector>

#include "base/input_file.h"
#include "mesh/cell_edges.h"
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

// Where the full Interpolated builder puts a corner.
struct CornerFrame {
    CellEdges edges;
    CropWindow window;
    double unitScale = 1.0;
};

void placeCorner(void* context, std::int32_t cornerRow, std::int32_t cornerCol, double height, double* position) {
    const CornerFrame& f = *static_cast<const CornerFrame*>(context);
    position[0] = cornerCol <= f.window.xMax ? xWest(f.edges, cornerCol) : xEast(f.edges, f.window.xMax);
    position[1] = cornerRow <= f.window.yMax ? yNorth(f.edges, cornerRow) : ySouth(f.edges, f.window.yMax);
    position[2] = height * f.unitScale;
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
GridBodyCounts feedSimplifier(const TerrainJob& job, TerrainSimplifier& simplifier, ProgressReporter& progress) {
    const CropWindow& w = job.window;
    const std::int32_t cols = w.xMax - w.xMin + 1;
    CellRows rows(cols + 2);
    std::vector<double> heights(static_cast<std::size_t>(cols) + 1);
    std::int32_t nextLine = 0;
    const std::int32_t lineCount = w.yMax - w.yMin + 1;
    // Line k lies between rows yMin - 1 + k and yMin + k; it is ready once the row below it is complete.
    auto putLines = [&](std::int64_t completedThrough) {
        while (nextLine <= lineCount && std::int64_t{w.yMin} + nextLine <= completedThrough) {
            const std::int32_t below = w.yMin + nextLine;
            if (nextLine == 0) simplifyRingAbove(simplifier, rows.data(below - 1));
            cornerLine(rows, below - 1, below, heights);
            simplifyCornerLine(simplifier, heights.data(), rows.data(below));
            ++nextLine;
        }
    };
    std::int32_t currentRow = INT32_MIN;
    const std::int32_t lastRow = w.yMax < job.header->nrows ? w.yMax + 1 : job.header->nrows;
    const GridBodyCounts counts =
        readBodyCells(job, w, lastRow, progress, [&](std::int32_t row, std::int32_t col, double value, bool) {
            if (row != currentRow) {
                putLines(std::int64_t{row} - 1);
                currentRow = row;
            }
            rows.set(row, col - (w.xMin - 1), value);
        });
    if (!job.cancelRequested->load()) putLines(INT64_MAX);
    return counts;
}

bool rewind(const TerrainJob& job) { return job.cells != nullptr || seekTo(job.input, job.header->dataStart); }

}  // namespace

SimplifiedBuilt buildSimplifiedInterpolatedMesh(const TerrainJob& job, const SimplifyRequest& request, MeshSink& sink) {
    assert(job.header != nullptr && job.cancelRequested != nullptr && job.progress != nullptr);
    const CropWindow& w = job.window;
    SimplifiedBuilt result;
    TerrainBuilt& built = result.built;
    const SimplifyWindow window{w.yMin, w.xMin, w.yMax - w.yMin + 1, w.xMax - w.xMin + 1};
    ProgressReporter& progress = *job.progress;

    double maxError = request.maxError;
    if (request.maxTriangles > 0 && hasBody(job)) {
        progress.beginStage("Choosing the error bound for the triangle budget...", 5);
        TerrainSimplifier* pass = createTriangleBudgetPass(window, request.maxTriangles);
        if (pass == nullptr) {
            built.failure = BuildFailure::vertexTable;
            return result;
        }
        feedSimplifier(job, *pass, progress);
        const BudgetChoice choice = finishTriangleBudgetPass(*pass);
        destroyTerrainSimplifier(pass);
        maxError = choice.maxError;
        result.budgetReachable = choice.reachable;
    }

    CornerFrame frame{makeCellEdges(*job.header, job.useXllYllOffsets, job.unitScale), w, job.unitScale};
    TerrainSimplifier* simplifier =
        createTerrainSimplifier(window, maxError, CornerPlacement{&frame, placeCorner}, &sink);
    if (simplifier == nullptr) {
        built.failure = BuildFailure::vertexTable;
        return result;
    }
    progress.beginStage("Getting elevation data from input file...", 5);
    if (hasBody(job) && !job.cancelRequested->load() && rewind(job))
        built.counts = feedSimplifier(job, *simplifier, progress);
    progress.beginStage("Creating output *.OBJ file...", 10);
    const SimplifyTotals totals = finishTerrainSimplifier(*simplifier);
    destroyTerrainSimplifier(simplifier);
    const MeshWritten written = sink.end(facesThatReachedOutput);
    built.vertexCount = written.vertices;
    built.quadCount = written.faces;
    built.written = written.ok && totals.ok;
    result.errorReached = totals.errorReached;
    return result;
}

namespace {

// Where the full Floating planes builder puts a cell's corners, for a rectangle of cells.
void placeRectangle(void* context, std::int32_t firstRow, std::int32_t firstCol, std::int32_t lastRow,
                    std::int32_t lastCol, double level, double* p) {
    const CornerFrame& f = *static_cast<const CornerFrame*>(context);
    const double west = xWest(f.edges, firstCol), east = xEast(f.edges, lastCol);
    const double north = yNorth(f.edges, firstRow), south = ySouth(f.edges, lastRow);
    const double elevation = level * f.unitScale;
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
    CornerFrame frame{makeCellEdges(*job.header, job.useXllYllOffsets, job.unitScale), w, job.unitScale};
    PlaneMerge* merge = createPlaneMerge(window, maxError, RectanglePlacement{&frame, placeRectangle}, sink);
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
    job.progress->beginStage("Creating output *.OBJ file...", 10);
    const PlaneMergeTotals totals = finishPlaneMerge(*merge);
    destroyPlaneMerge(merge);
    const MeshWritten written = sink.end(totals.rectangles);
    built.vertexCount = written.vertices;
    built.quadCount = written.faces;
    built.written = written.ok;
    return result;
}

}  // namespace morvale
