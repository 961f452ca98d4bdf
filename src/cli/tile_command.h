#pragma once
// morvale-convert on several inputs or a folder: plans the tile set, runs the
// first pass (or reads a saved seam index), converts every tile on parallel
// jobs with one progress line, and ends with a table of the tiles' results.

#include <atomic>

#include "cli/cli_options.h"
#include "convert/exit_status.h"

namespace morvale::cli {

// Returns the exit status: the worst of the tiles' (the largest), a usage
// error, the input refused when no grid could be read or the seam index is
// unusable, the output failed when the seam index or the output folder cannot
// be written.
ExitStatus runTileSetCommand(const CliOptions& options, const std::atomic<bool>& cancelRequested);

}  // namespace morvale::cli
