#include "convert/conversion_stats.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

TEST(ConversionStats, StatusFollowsChecksAndCancelFlag) {
    std::atomic<bool> cancel{false};
    morvale::ConversionStats stats;
    const std::int64_t cells = 3'000'000'000;  // beyond 32 bits
    morvale::recordStats(stats, cancel, 1.25, 4 * cells, cells, 7, 60'000, 60'000, cells, cells);
    EXPECT_EQ(stats.status, 1);
    EXPECT_EQ(stats.triangleCount, 2 * cells);
    EXPECT_EQ(stats.vertexCount, 4 * cells);
    EXPECT_EQ(stats.noDataCount, 7);
    EXPECT_EQ(stats.seconds, 1.25);

    morvale::recordStats(stats, cancel, 0.0, 9, 4, 0, 2, 2, 6, 5);
    EXPECT_EQ(stats.status, 0);
    EXPECT_TRUE(stats.rowsOk);
    EXPECT_FALSE(stats.recordsOk);

    // A cancel that arrives after the builder's last check still marks the run.
    cancel = true;
    morvale::recordStats(stats, cancel, 0.0, 9, 4, 0, 2, 2, 6, 6);
    EXPECT_EQ(stats.status, -1);
    EXPECT_TRUE(stats.rowsOk && stats.recordsOk);
}

}  // namespace
