#include "convert/exit_status.h"

namespace morvale {

ExitStatus conversionExitStatus(ConversionResult result, const ConversionStats& stats) {
    switch (result) {
    case conversionFinished: break;
    case conversionInputUnreadable:
    case conversionBadCellSize:
    case conversionHeaderCorrupted:
    case conversionTileNotAsIndexed: return ExitStatus::inputRefused;
    // The option's value does not fit the grid: the remedy is another
    // command line, and nothing is left written, as for options refused upfront.
    case conversionSolidBaseNotBelow:
    case conversionSolidWithoutCells: return ExitStatus::usageError;
    case conversionInputFailedMidway: return ExitStatus::inputRefused;
    // Memory, the output file, or no conversion at all: the output was not written.
    default: return ExitStatus::outputFailed;
    }
    if (stats.status == -1) return ExitStatus::cancelled;
    return stats.status == 1 ? ExitStatus::success : ExitStatus::checkFailed;
}

}  // namespace morvale
