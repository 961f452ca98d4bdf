#pragma once
// What a program that runs conversions returns: morvale-convert's exit
// statuses (for one grid, and for each tile of a set, whose worst is the
// largest), and the one rule that turns a conversion's end into one.

#include "convert/conversion_stats.h"

namespace morvale {

enum class ExitStatus : int {
    success = 0,       // converted, and both checks passed
    checkFailed = 1,   // converted, but the grid holds fewer rows or values than its header promises
    usageError = 2,    // options that cannot be read, do not go together or do not fit the grid; nothing written
    inputRefused = 3,  // input unreadable, header corrupted or cell size not above zero
    outputFailed = 4,  // output not created or written, or the input itself
    cancelled = 130,   // as a shell reports a program ended by Ctrl-C
};

// The number the process returns.
constexpr int exitCode(ExitStatus status) { return static_cast<int>(status); }

// The exit status of a conversion that ended with `result` and filled `stats`.
ExitStatus conversionExitStatus(ConversionResult result, const ConversionStats& stats);

}  // namespace morvale
