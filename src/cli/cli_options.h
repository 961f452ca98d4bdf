#pragma once
// The command line of morvale-convert.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_correction.h"
#include "mesh/texture_coords.h"
#include "convert/output_format.h"
#include "tiles/grid_tiling.h"

namespace morvale::cli {

using NativeArg = std::filesystem::path::string_type;

struct CliOptions {
    std::filesystem::path input;                // the first input
    std::vector<std::filesystem::path> inputs;  // every input, in the order given
    std::optional<std::filesystem::path> output;
    TerrainMode mode = TerrainMode::Interpolated;
    bool cropGiven = false;
    std::int32_t crop[4] = {};  // x min, y min, x max, y max; beyond 32 bits the nearest limit
    std::string cropText;       // as typed
    std::int32_t presetIndex = 0;
    std::optional<double> scale;
    std::string scaleText;  // as typed
    bool useXllYllOffsets = false;
    bool centerZ = false;
    bool quiet = false;
    AttributeSettings attributes;        // --uv, --normals, --uv-extent, --texture
    std::optional<OutputFormat> format;  // else by the output's extension
    bool solid = false;
    std::optional<double> solidBase;      // grid units
    std::optional<double> maxError;       // grid elevation units
    std::int64_t maxTriangles = 0;        // 0: no budget
    double zScale = 1.0;                  // vertical exaggeration
    std::optional<double> size;           // millimetres of the window's longer side
    std::optional<double> baseThickness;  // output units under the lowest point
    // Tile sets (several inputs or a folder): parallel jobs (0: one per core),
    // the seam index to save after the first pass, or to use instead of it.
    int jobs = 0;
    std::optional<std::filesystem::path> writeSeams;
    std::optional<std::filesystem::path> seams;
    std::vector<std::filesystem::path> seamPieces;  // every --seams given: index files, pieces or their folders
    bool seamsStaleOk = false;
    // One input cut into tiles (--tile-size), and the one tile to convert (--tile; 0: all).
    std::optional<TileSize> tileSize;
    std::int32_t tileRow = 0;
    std::int32_t tileCol = 0;  // --seams-stale ok: a tile the index does not match converts alone
    bool help = false;
    bool version = false;
    // Rasters read through GDAL: the band, the raster's own grid kept in
    // degrees, a cell size that replaces the raster's.
    std::int32_t band = 1;
    bool keepCrs = false;
    std::optional<double> cellsize;
};

struct ParsedOptions {
    CliOptions options;
    std::string error;  // empty when the command line is good
};

// Options are those of cli_manual.h; a long option's value may also follow
// "=" ("--mode=interpolated"), and "--" ends the options.
ParsedOptions parseCliOptions(const std::vector<NativeArg>& args);

// The settings these options give, before the correction rules.
SettingValues settingValues(const CliOptions& options);

// One line for each value the correction rules replaced, saying what was
// given and what is used (a warning: the conversion goes on).
std::vector<std::string> correctionWarnings(const CliOptions& options, const CorrectedSettings& corrected,
                                            std::int32_t ncols, std::int32_t nrows);

// Several inputs, a folder or a seam index option: the tile set mode.
bool isTileSetRun(const CliOptions& options);

}  // namespace morvale::cli
