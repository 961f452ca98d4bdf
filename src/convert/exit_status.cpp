#include "convert/exit_status.h"

namespace morvale {

ExitStatus conversionExitStatus(ConversionResult result, const ConversionStats& stats) {
    switch (result) {
    case conversionFinished: break;
    case conversionInputUnreadable:
    case conversionBadCellSize:
    case conversionHeaderCorrupted: return ExitStatus::inputRefused;
    // Memory, the output file, or no conversion at all: the output was not written.
    default: return ExitStatus::outputFailed;
    }
    if (stats.status == -1) return ExitStatus::cancelled;
    return stats.status == 1 ? ExitStatus::success : ExitStatus::checkFailed;
}

}  // namespace morvale
