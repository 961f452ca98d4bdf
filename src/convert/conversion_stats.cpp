#include "convert/conversion_stats.h"

namespace morvale {

void recordStats(ConversionStats& stats, const std::atomic<bool>& cancelRequested, double seconds,
                 std::int64_t vertexCount, std::int64_t quadCount, std::int64_t noDataCount, std::int64_t rowsExpected,
                 std::int64_t rowsRead, std::int64_t recordsExpected, std::int64_t recordsRead) {
    stats.rowsOk = rowsExpected == rowsRead;
    stats.recordsOk = recordsExpected == recordsRead;
    // Read last, so a cancel pressed after the builder's final check still counts.
    if (cancelRequested.load()) {
        stats.status = -1;
    } else {
        stats.status = stats.rowsOk && stats.recordsOk ? 1 : 0;
    }
    stats.vertexCount = vertexCount;
    stats.quadCount = quadCount;
    // Counts stay far below 2^62, so doubling cannot overflow.
    stats.triangleCount = 2 * quadCount;
    stats.noDataCount = noDataCount;
    stats.seconds = seconds;
    stats.rowsExpected = rowsExpected;
    stats.rowsRead = rowsRead;
    stats.recordsExpected = recordsExpected;
    stats.recordsRead = recordsRead;
}

}  // namespace morvale
