#pragma once
// Everything one conversion needs, gathered before it starts and not changed while it runs.

#include <atomic>
#include <filesystem>
#include <string>

#include "convert/conversion_settings.h"
#include "convert/conversion_stats.h"
#include "base/progress_reporter.h"
#include "grid/body_window.h"
#include "grid/grid_header.h"

namespace morvale {

struct ConversionRequest {
    std::filesystem::path inputPath;
    std::filesystem::path outputPath;
    GridHeader header;
    ConversionSettings settings;
    std::string inputNameNarrow;   // UTF-8, written into the header comment
    std::string objectNameNarrow;  // UTF-8, written into the object and group lines
    std::string objHeaderText;     // header lines 1 to 3
};

// The end of every run: the counters against the crop window, then the cancel
// flag cleared. Returns the result the run reports.
ConversionResult finishRun(ConversionStats& stats, std::atomic<bool>& cancelRequested, double seconds,
                           const ConversionSettings& settings, std::int64_t vertexCount, std::int64_t quadCount,
                           const GridBodyCounts& counts, bool written);

// Runs the builder of settings.mode.
ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress, ConversionStats& stats);

}  // namespace morvale
