// The two builders as they were before the conversion pipeline, kept verbatim
// so that the equivalence test can compare every byte of the new builders'
// output with theirs.

#include "reference_builders.h"

#include <cfloat>
#include <chrono>
#include <new>
#include <vector>

#include "convert/conversion_files.h"
#include "data_mask.h"
#include "grid/grid_body.h"
#include "mesh/axis_order.h"
#include "mesh/cell_edges.h"
#include "obj/obj_writer.h"
#include "plain_lines.h"

namespace morvale::reference {
namespace {

// Visits the corners of window row i that receive a vertex, in numbering
// order: the row's top edge west to east with its east end, and for the last
// row its bottom edge interleaved. Corner row i is the north edge of row i,
// i + 1 its south edge; corner column j is the west edge of column j, xMax + 1
// the east edge of the window. Only window cells own corners: ring cells join
// the means but never decide whether a corner exists.
template <class Visit>
void walkRowCorners(const DataMask& mask, const CropWindow& w, std::int64_t i, Visit&& visit) {
    const bool rowAbove = i > w.yMin;
    const bool lastRow = i == w.yMax;
    for (std::int64_t j = w.xMin; j <= w.xMax; ++j) {
        const bool colLeft = j > w.xMin;
        const bool here = mask.has(i, j);
        const bool left = colLeft && mask.has(i, j - 1);
        const bool above = rowAbove && mask.has(i - 1, j);
        if (here || left || above || (colLeft && rowAbove && mask.has(i - 1, j - 1))) visit(i, j);
        if (j == w.xMax && (here || above)) visit(i, j + 1);
        if (lastRow) {
            if (here || left) visit(i + 1, j);
            if (j == w.xMax && here) visit(i + 1, j + 1);
        }
    }
}

// The last three grid rows read in the writing pass, by row number modulo 3:
// a corner needs the rows on both sides of it.
class RowValues {
public:
    RowValues(const CropWindow& w)
        : colBase_(w.xMin - 1), width_(std::int64_t{w.xMax} - w.xMin + 3),
          values_(static_cast<std::size_t>(3 * width_), 0.0) {}
    void set(std::int64_t row, std::int64_t col, double value) {
        values_[static_cast<std::size_t>((row % 3) * width_ + (col - colBase_))] = value;
    }
    double get(std::int64_t row, std::int64_t col) const {
        return values_[static_cast<std::size_t>((row % 3) * width_ + (col - colBase_))];
    }

private:
    std::int64_t colBase_;
    std::int64_t width_;
    std::vector<double> values_;
};

struct MeshCounts {
    std::int64_t verticesCreated = 0;
    std::int64_t dataCells = 0;
};

MeshCounts countMesh(const DataMask& mask, const CropWindow& w, const std::atomic<bool>& cancelRequested,
                     ProgressReporter& progress) {
    progress.beginStage("Calculating vertices and quads...", 5);
    const std::int64_t meshInterval = (std::int64_t{w.yMax} - w.yMin) / 20;
    std::int64_t meshRows = 0;
    MeshCounts counts;
    for (std::int64_t i = w.yMin; i <= w.yMax; ++i) {
        for (std::int64_t j = w.xMin; j <= w.xMax; ++j) counts.dataCells += mask.has(i, j);
        walkRowCorners(mask, w, i, [&](std::int64_t, std::int64_t) { ++counts.verticesCreated; });
        if (++meshRows >= meshInterval) {
            progress.step();
            meshRows = 0;
        }
        if (cancelRequested.load(std::memory_order_relaxed)) break;
    }
    return counts;
}

}  // namespace

ConversionResult buildInterpolatedMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                       ProgressReporter& progress, ConversionStats& stats) {
    progress.showPreparing();
    const auto start = std::chrono::steady_clock::now();
    stats = ConversionStats{};

    const GridHeader& header = request.header;
    const ConversionSettings& settings = request.settings;
    const CropWindow window{settings.cropXMin, settings.cropYMin, settings.cropXMax, settings.cropYMax};
    FileHandle input;
    bool positioned = false;
    OutputFile output;
    if (const ConversionResult opened = openConversionFiles(request, input, positioned, output);
        opened != conversionFinished)
        return opened;

    // Memory is sized by the window: one bit per cell for the data mask, and
    // three rows of values while writing (the values are read again then).
    std::unique_ptr<DataMask> mask;
    try {
        mask = std::make_unique<DataMask>(window);
    } catch (const std::exception&) {
        output.close();
        return conversionVertexTableFailed;
    }
    std::unique_ptr<RowValues> rows;
    try {
        rows = std::make_unique<RowValues>(window);
    } catch (const std::exception&) {
        output.close();
        return conversionQuadTableFailed;
    }

    // Reading stage.
    progress.beginStage("Getting elevation data from input file...", 5);
    double zMin = DBL_MAX, zMax = -DBL_MAX;
    const std::int32_t lastRow = settings.cropYMax < header.nrows ? settings.cropYMax + 1 : header.nrows;
    GridBodyCounts counts;
    if (positioned) {
        counts = readGridBody(input.get(), header, window, lastRow, cancelRequested, progress,
                              [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                  mask->set(row, col);
                                  if (inWindow) {
                                      if (value < zMin) zMin = value;
                                      if (value > zMax) zMax = value;
                                  }
                              });
    }

    // Meshing stage.
    const MeshCounts mesh = countMesh(*mask, window, cancelRequested, progress);

    // Writing stage.
    progress.beginStage("Creating output *.OBJ file...", 10);
    const std::int64_t writeInterval = (mesh.verticesCreated + mesh.dataCells) / 10;
    std::int64_t writeTicks = 0;
    auto tick = [&] {
        if (++writeTicks >= writeInterval) {
            progress.step();
            writeTicks = 0;
        }
    };
    writeObjHeader(output, request.objHeaderText, request.inputNameNarrow);
    const double unitScale = settings.unitScale;
    const double zShift = settings.centerZ ? unitScale * (zMin + zMax) * 0.5 : 0.0;
    const CellEdges edges = makeCellEdges(header, settings.useXllYllOffsets, unitScale);
    const std::int32_t preset = settings.presetIndex;

    std::int64_t verticesWritten = 0;
    bool vertexWritingStopped = false;
    auto writeCorner = [&](std::int64_t r, std::int64_t c) {
        if (vertexWritingStopped) return;
        if (cancelRequested.load(std::memory_order_relaxed)) {
            vertexWritingStopped = true;
            return;
        }
        // Mean of the cells north-west, north-east, south-west and south-east
        // of the corner that hold data, in that order.
        double sum = 0.0;
        int cells = 0;
        const std::int64_t around[4][2] = {{r - 1, c - 1}, {r - 1, c}, {r, c - 1}, {r, c}};
        for (const auto& cell : around) {
            if (mask->has(cell[0], cell[1])) {
                sum += rows->get(cell[0], cell[1]);
                ++cells;
            }
        }
        const double elevation = sum / cells * unitScale;
        const double east = c <= window.xMax ? xWest(edges, c) : xEast(edges, window.xMax);
        const double north = r <= window.yMax ? yNorth(edges, r) : ySouth(edges, window.yMax);
        const VertexCoordinates v = applyAxisOrder(preset, east, north, elevation - zShift);
        writeVertexLine(output, v.first, v.second, v.third);
        ++verticesWritten;
        tick();
    };

    if (positioned && mesh.verticesCreated > 0 && !cancelRequested.load() && seekTo(input.get(), header.dataStart)) {
        // A window row's corners are written once the grid rows on both sides of
        // them are complete: the row itself, and for the last row the one below.
        std::int64_t nextRow = window.yMin;
        auto writeReadyRows = [&](std::int64_t completedThrough) {
            while (nextRow <= window.yMax &&
                   (nextRow < window.yMax ? nextRow : std::int64_t{window.yMax} + 1) <= completedThrough) {
                walkRowCorners(*mask, window, nextRow, writeCorner);
                ++nextRow;
            }
        };
        std::int64_t currentRow = -1;
        SilentProgress rereading;  // the writing stage steps by lines written, not rows read
        readGridBody(input.get(), header, window, lastRow, cancelRequested, rereading,
                     [&](std::int32_t row, std::int32_t col, double value, bool) {
                         if (row != currentRow) {
                             writeReadyRows(std::int64_t{row} - 1);
                             currentRow = row;
                         }
                         rows->set(row, col, value);
                     });
        writeReadyRows(INT64_MAX);
    }
    input.reset();

    writeVertexCount(output, verticesWritten);
    writeObjectAndGroup(output, request.objectNameNarrow);

    // Faces: vertex numbers are recomputed row by row from the mask, in the
    // order the vertices were numbered, keeping three corner rows.
    std::int64_t facesWritten = 0;
    if (mesh.verticesCreated > 0) {
        const std::int64_t cornerCols = std::int64_t{window.xMax} - window.xMin + 2;
        std::vector<std::int64_t> numbers(static_cast<std::size_t>(3 * cornerCols), 0);
        auto number = [&](std::int64_t r, std::int64_t c) -> std::int64_t& {
            return numbers[static_cast<std::size_t>((r % 3) * cornerCols + (c - window.xMin))];
        };
        std::int64_t next = 0;
        auto numberRow = [&](std::int64_t i) {
            walkRowCorners(*mask, window, i, [&](std::int64_t r, std::int64_t c) { number(r, c) = ++next; });
        };
        numberRow(window.yMin);
        bool stopped = false;
        for (std::int64_t i = window.yMin; i <= window.yMax && !stopped; ++i) {
            if (i < window.yMax) numberRow(i + 1);
            for (std::int64_t j = window.xMin; j <= window.xMax; ++j) {
                if (cancelRequested.load(std::memory_order_relaxed)) {
                    stopped = true;
                    break;
                }
                if (!mask->has(i, j)) continue;
                writeFaceLine(output, number(i + 1, j), number(i + 1, j + 1), number(i, j + 1), number(i, j));
                ++facesWritten;
                tick();
            }
        }
    }
    writeQuadCount(output, facesWritten);
    const bool written = output.close();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::int64_t rowsExpected = std::int64_t{settings.cropYMax} - settings.cropYMin + 1;
    const std::int64_t recordsExpected = (std::int64_t{settings.cropXMax} - settings.cropXMin + 1) * rowsExpected;
    recordStats(stats, cancelRequested, seconds, verticesWritten, facesWritten, counts.noDataCount, rowsExpected,
                counts.rowsRead, recordsExpected, counts.recordsRead);
    cancelRequested.store(false);
    return written ? conversionFinished : conversionWriteFailed;
}

}  // namespace morvale::reference

namespace morvale::reference {

ConversionResult buildFloatingPlanesMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                         ProgressReporter& progress, ConversionStats& stats) {
    progress.showPreparing();
    const auto start = std::chrono::steady_clock::now();
    stats = ConversionStats{};

    const GridHeader& header = request.header;
    const ConversionSettings& settings = request.settings;
    FileHandle input;
    bool positioned = false;
    OutputFile output;
    if (const ConversionResult opened = openConversionFiles(request, input, positioned, output);
        opened != conversionFinished)
        return opened;

    progress.beginStage("Getting elevation data from input file and outputting the vertices...", 5);
    writeObjHeader(output, request.objHeaderText, request.inputNameNarrow);
    const CellEdges edges = makeCellEdges(header, settings.useXllYllOffsets, settings.unitScale);

    std::int64_t quadCount = 0;
    GridBodyCounts counts;
    if (positioned) {
        const CropWindow window{settings.cropXMin, settings.cropYMin, settings.cropXMax, settings.cropYMax};
        const std::int32_t preset = settings.presetIndex;
        const double unitScale = settings.unitScale;
        counts = readGridBody(input.get(), header, window, settings.cropYMax, cancelRequested, progress,
                              [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                  if (!inWindow) return;
                                  ++quadCount;
                                  const double west = xWest(edges, col), east = xEast(edges, col);
                                  const double north = yNorth(edges, row), south = ySouth(edges, row);
                                  const double elevation = value * unitScale;
                                  // Corners north-west, north-east, south-east, south-west.
                                  const VertexCoordinates corners[4] = {
                                      applyAxisOrder(preset, west, north, elevation),
                                      applyAxisOrder(preset, east, north, elevation),
                                      applyAxisOrder(preset, east, south, elevation),
                                      applyAxisOrder(preset, west, south, elevation),
                                  };
                                  char* out = output.reserve(4 * vertexLineMaxChars);
                                  for (const VertexCoordinates& c : corners)
                                      out = formatVertexLine(out, c.first, c.second, c.third);
                                  output.commit(out);
                              });
    }
    input.reset();

    progress.beginStage("Creating output *.OBJ file...", 10);
    const std::int64_t vertexCount = 4 * quadCount;
    const std::int64_t writeInterval = quadCount / 10;
    std::int64_t writeTicks = 0;
    writeVertexCount(output, vertexCount);
    writeObjectAndGroup(output, request.objectNameNarrow);
    // The i-th kept cell owns the vertices 4i-3 .. 4i: faces need no stored cell data.
    for (std::int64_t i = 1; i <= quadCount; ++i) {
        if (cancelRequested.load(std::memory_order_relaxed)) break;
        writeFaceLine(output, 4 * i, 4 * i - 1, 4 * i - 2, 4 * i - 3);
        if (++writeTicks >= writeInterval) {
            writeTicks = 0;
            progress.step();
        }
    }
    writeQuadCount(output, quadCount);
    const bool written = output.close();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::int64_t rowsExpected = std::int64_t{settings.cropYMax} - settings.cropYMin + 1;
    const std::int64_t recordsExpected = (std::int64_t{settings.cropXMax} - settings.cropXMin + 1) * rowsExpected;
    recordStats(stats, cancelRequested, seconds, vertexCount, quadCount, counts.noDataCount, rowsExpected,
                counts.rowsRead, recordsExpected, counts.recordsRead);
    cancelRequested.store(false);
    return written ? conversionFinished : conversionWriteFailed;
}

}  // namespace morvale::reference
