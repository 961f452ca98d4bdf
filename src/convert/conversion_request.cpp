#include "convert/conversion_request.h"

#include "convert/floating_planes.h"
#include "convert/interpolated.h"

namespace morvale {

ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress, ConversionStats& stats) {
    if (request.settings.mode == TerrainMode::FloatingPlanes)
        return buildFloatingPlanesMesh(request, cancelRequested, progress, stats);
    return buildInterpolatedMesh(request, cancelRequested, progress, stats);
}

}  // namespace morvale
