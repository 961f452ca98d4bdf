#pragma once
// The command line of morvale-convert.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_correction.h"
#include "mesh/texture_coords.h"
#include "convert/output_format.h"

namespace morvale::cli {

using NativeArg = std::filesystem::path::string_type;

struct CliOptions {
    std::filesystem::path input;                // the first input
    std::vector<std::filesystem::path> inputs;  // every input, in the order given
    std::optional<std::filesystem::path> output;
    TerrainMode mode = TerrainMode::Interpolated;
    bool cropGiven = false;
    std::wstring crop[4];  // x min, y min, x max, y max as typed
    std::int32_t presetIndex = 0;
    std::optional<std::wstring> scale;  // as typed
    bool useXllYllOffsets = false;
    bool centerZ = false;
    bool quiet = false;
    AttributeSettings attributes;        // --uv, --normals, --uv-extent, --texture
    std::optional<OutputFormat> format;  // else by the output's extension
    bool solid = false;
    std::optional<double> solidBase;  // grid units
    std::optional<double> maxError;   // grid elevation units
    std::int64_t maxTriangles = 0;    // 0: no budget
    // Tile sets (several inputs or a folder): parallel jobs (0: one per core),
    // the seam index to save after the first pass, or to use instead of it.
    int jobs = 0;
    std::optional<std::filesystem::path> writeSeams;
    std::optional<std::filesystem::path> seams;
    bool seamsStaleOk = false;  // --seams-stale ok: a tile the index does not match converts alone
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    CliOptions options;
    std::string error;  // empty when the command line is good
};

// Options are those of cli_manual.h; a long option's value may also follow
// "=" ("--mode=interpolated"), and "--" ends the options.
ParsedOptions parseCliOptions(const std::vector<NativeArg>& args);

// What the window's controls would hold for these options.
SettingsControls settingsControls(const CliOptions& options);

// Several inputs, a folder or a seam index option: the tile set mode.
bool isTileSetRun(const CliOptions& options);

}  // namespace morvale::cli
