#pragma once
// The command line of morvale-convert.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_correction.h"

namespace morvale::cli {

using NativeArg = std::filesystem::path::string_type;

struct CliOptions {
    std::filesystem::path input;
    std::optional<std::filesystem::path> output;
    TerrainMode mode = TerrainMode::Interpolated;
    bool cropGiven = false;
    std::wstring crop[4];  // x min, y min, x max, y max as typed
    std::int32_t presetIndex = 0;
    std::optional<std::wstring> scale;  // as typed
    bool useXllYllOffsets = false;
    bool centerZ = false;
    bool quiet = false;
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

}  // namespace morvale::cli
