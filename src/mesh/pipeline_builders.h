#pragma once
// The builders with a chosen way of running. The program always uses
// `threaded`; the others give the same bytes, steps and counts, and exist so
// that tests can compare them and so that a run still succeeds when the
// system refuses a thread or the pipeline's buffers.

#include <cstdint>

#include "convert/conversion_request.h"

namespace morvale {

enum class PipelineMode : std::uint8_t {
    threaded,  // parsing, formatting and writing overlap on three threads
    inlined,   // the same stages one after another on the calling thread
    direct,    // no pipeline buffers: lines go straight into the OBJ output
};

ConversionResult buildFloatingPlanesMeshIn(PipelineMode mode, const ConversionRequest& request,
                                           std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                           ConversionStats& stats);
ConversionResult buildInterpolatedMeshIn(PipelineMode mode, const ConversionRequest& request,
                                         std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                         ConversionStats& stats);

}  // namespace morvale
