#pragma once
// The Interpolated mode: one continuous surface whose shared corner vertices
// carry the mean of the cells around them.

#include "convert/conversion_request.h"

namespace morvale {

ConversionResult buildInterpolatedMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                       ProgressReporter& progress, ConversionStats& stats);

}  // namespace morvale
