#pragma once
// The Floating planes mode: one flat quad of four own vertices per kept cell,
// streamed while the grid is read.

#include "convert/conversion_request.h"

namespace morvale {

ConversionResult buildFloatingPlanesMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                         ProgressReporter& progress, ConversionStats& stats);

}  // namespace morvale
