#include "convert/floating_planes.h"

#include <chrono>

#include "convert/cell_edges.h"
#include "convert/conversion_files.h"
#include "grid/grid_body.h"

namespace morvale {

ConversionResult buildFloatingPlanesMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                         ProgressReporter& progress, ConversionStats& stats) {
    progress.showPreparing();
    const auto start = std::chrono::steady_clock::now();
    stats = ConversionStats{};

    const GridHeader& header = request.header;
    const ConversionSettings& settings = request.settings;
    FileHandle input;
    bool positioned = false;
    ObjOutput output;
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

}  // namespace morvale
