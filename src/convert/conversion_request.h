#pragma once
// Everything one conversion needs, gathered before it starts and not changed
// while it runs, and the run itself: the files opened and checked, the
// builder of the mode fed into the OBJ writer, the counters recorded.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/progress_reporter.h"
#include "convert/conversion_settings.h"
#include "convert/conversion_stats.h"
#include "grid/cell_source.h"
#include "grid/grid_header.h"
#include "mesh/texture_coords.h"

namespace morvale {

struct ConversionRequest {
    std::filesystem::path inputPath;
    std::filesystem::path outputPath;
    GridHeader header;
    ConversionSettings settings;
    std::string inputNameNarrow;   // UTF-8, written into the header comment
    std::string objectNameNarrow;  // UTF-8, written into the object and group lines
    std::string objHeaderText;     // header lines 1 to 3
    // When set, the body cells come from here and the input file is not opened.
    const CellSource* cells = nullptr;
    // Texture coordinates, normals and the material file (NAME.mtl beside the
    // output, written once the output is open; its failures end the run like the output's).
    AttributeSettings attributes;
};

enum class PipelineMode : std::uint8_t {
    threaded,  // reading, meshing, formatting and writing overlap on several threads
    inlined,   // the same stages one after another on the calling thread
};

// Runs the builder of settings.mode into the OBJ writer; `inlined` gives the
// same bytes, steps and counts on one thread (tests compare the two).
ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress, ConversionStats& stats,
                               PipelineMode mode = PipelineMode::threaded);

}  // namespace morvale
