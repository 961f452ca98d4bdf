#pragma once
// Everything one conversion needs, gathered before it starts and not changed
// while it runs, and the run itself: the files opened and checked, the
// builder of the mode fed into the writer of the format (output_format.h),
// the counters recorded.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "base/progress_reporter.h"
#include "convert/conversion_settings.h"
#include "convert/conversion_stats.h"
#include "convert/output_format.h"
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
    OutputFormat format = OutputFormat::obj;
    // A closed solid (Interpolated only): walls and a flat bottom at solidBase
    // (grid units), or by the default rule when it is not given.
    bool solid = false;
    std::optional<double> solidBase;
    // Or the base this far below the surface's lowest vertex (output units,
    // millimetres for a print); implies the solid.
    std::optional<double> baseThickness;
    // Vertical exaggeration: elevations multiplied by it, after any centring
    // and before the unit scale. The simplifier's error stays in grid units.
    double zScale = 1.0;
    // Records the model's lowest and highest elevation and its base (output
    // units) in the stats, for a print's summary.
    bool measureModel = false;
    // Simplification: every full-mesh vertex within maxError (grid elevation
    // units) of the result, or at most maxTriangles triangles (Interpolated).
    std::optional<double> maxError;
    std::int64_t maxTriangles = 0;
};

// Why a request cannot be written at all, checked before any file is touched
// (null when it can): options that do not go together, and counts beyond the
// format's limits. runConversion refuses both as an uncreatable output.
const char* conversionConflict(const ConversionRequest& request);
const char* conversionRefusal(const ConversionRequest& request);

inline constexpr const char* solidWithoutCellsText =
    "the crop window holds no data cell: a solid needs a surface to close; nothing written";

// Why a run ended with conversionInputFailedMidway: the input (UTF-8) and its
// reader's reason (GDAL's message), in one sentence.
std::string inputFailedMidwayText(const std::string& input, const std::string& reason);

// Why a run ended with conversionSolidBaseNotBelow, in one sentence.
std::string solidBaseNotBelowText(const ConversionRequest& request, const ConversionStats& stats);

enum class PipelineMode : std::uint8_t {
    threaded,  // reading, meshing, formatting and writing overlap on several threads
    inlined,   // the same stages one after another on the calling thread
};

// Runs the builder of settings.mode into the writer of request.format; `inlined` gives the
// same bytes, steps and counts on one thread (tests compare the two).
ConversionResult runConversion(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress, ConversionStats& stats,
                               PipelineMode mode = PipelineMode::threaded);

}  // namespace morvale
