#pragma once
// The builders before the conversion pipeline: the yardstick of the
// equivalence test. Not part of the program.

#include "convert/conversion_request.h"

namespace morvale::reference {

ConversionResult buildInterpolatedMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                       ProgressReporter& progress, ConversionStats& stats);
ConversionResult buildFloatingPlanesMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                         ProgressReporter& progress, ConversionStats& stats);

// Runs the reference builder of settings.mode.
inline ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                      ProgressReporter& progress, ConversionStats& stats) {
    if (request.settings.mode == TerrainMode::FloatingPlanes)
        return buildFloatingPlanesMesh(request, cancelRequested, progress, stats);
    return buildInterpolatedMesh(request, cancelRequested, progress, stats);
}

}  // namespace morvale::reference
