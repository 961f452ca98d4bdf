#include "convert/conversion_request.h"

#include "mesh/floating_planes.h"
#include "mesh/interpolated.h"

namespace morvale {

ConversionResult finishRun(ConversionStats& stats, std::atomic<bool>& cancelRequested, double seconds,
                           const ConversionSettings& settings, std::int64_t vertexCount, std::int64_t quadCount,
                           const GridBodyCounts& counts, bool written) {
    const std::int64_t rowsExpected = std::int64_t{settings.cropYMax} - settings.cropYMin + 1;
    const std::int64_t recordsExpected = (std::int64_t{settings.cropXMax} - settings.cropXMin + 1) * rowsExpected;
    recordStats(stats, cancelRequested, seconds, vertexCount, quadCount, counts.noDataCount, rowsExpected,
                counts.rowsRead, recordsExpected, counts.recordsRead);
    cancelRequested.store(false);
    return written ? conversionFinished : conversionWriteFailed;
}

ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress, ConversionStats& stats) {
    if (request.settings.mode == TerrainMode::FloatingPlanes)
        return buildFloatingPlanesMesh(request, cancelRequested, progress, stats);
    return buildInterpolatedMesh(request, cancelRequested, progress, stats);
}

}  // namespace morvale
