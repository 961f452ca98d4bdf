#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "mesh/simplify/plane_merge.h"

using namespace morvale;

namespace {

struct Capture final : MeshSink {
    std::vector<double> positions;
    std::vector<std::int64_t> quads;
    int corners = 0;
    void begin(const MeshInfo& info) override { corners = info.faceCorners; }
    void vertices(const VertexBatch& b) override {
        positions.insert(positions.end(), b.position, b.position + 3 * b.count);
    }
    void endVertices() override {}
    void faces(const FaceBatch& b) override { quads.insert(quads.end(), b.vertex, b.vertex + 4 * b.count); }
    MeshWritten end() override { return {}; }
};

// West, east, north, south edges in cells (north up), then the level.
void place(void*, std::int32_t r0, std::int32_t c0, std::int32_t r1, std::int32_t c1, double level, double* p) {
    const double corners[4][2] = {
        {c0 - 1.0, 1.0 - r0}, {c1 * 1.0, 1.0 - r0}, {c1 * 1.0, -r1 * 1.0}, {c0 - 1.0, -r1 * 1.0}};
    for (int k = 0; k < 4; ++k) {
        p[3 * k] = corners[k][0];
        p[3 * k + 1] = corners[k][1];
        p[3 * k + 2] = level;
    }
}

// Merges a whole grid; checks that each data cell lies in exactly one
// rectangle within the bound and that faces are counter-clockwise seen from
// above. Returns the number of rectangles.
std::int64_t mergeAndCheck(std::int32_t rows, std::int32_t cols, const std::vector<double>& v,
                           const std::vector<std::uint8_t>& data, double maxError) {
    Capture sink;
    PlaneMerge* m =
        createPlaneMerge(SimplifyWindow{1, 1, rows, cols}, maxError, RectanglePlacement{nullptr, place}, sink);
    for (std::int32_t r = 0; r < rows; ++r)
        planeMergeRow(*m, &v[static_cast<std::size_t>(r * cols)], &data[static_cast<std::size_t>(r * cols)]);
    const PlaneMergeTotals totals = finishPlaneMerge(*m);
    destroyPlaneMerge(m);
    EXPECT_EQ(sink.corners, 4);
    EXPECT_EQ(sink.positions.size(), static_cast<std::size_t>(12 * totals.rectangles));
    EXPECT_EQ(sink.quads.size(), static_cast<std::size_t>(4 * totals.rectangles));
    std::vector<int> cover(v.size(), 0);
    for (std::int64_t i = 0; i < totals.rectangles; ++i) {
        const double* p = &sink.positions[static_cast<std::size_t>(12 * i)];
        const double level = p[2];
        for (std::int32_t r = static_cast<std::int32_t>(-p[1]); r < static_cast<std::int32_t>(-p[7]); ++r)
            for (std::int32_t c = static_cast<std::int32_t>(p[0]); c < static_cast<std::int32_t>(p[3]); ++c) {
                const auto at = static_cast<std::size_t>(r * cols + c);
                ++cover[at];
                EXPECT_LE(std::fabs(v[at] - level), maxError) << r << "," << c;
            }
        // The face: four vertices of its own, counter-clockwise seen from above.
        const std::int64_t* f = &sink.quads[static_cast<std::size_t>(4 * i)];
        double area = 0.0;
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(f[k], 4 * i + 4 - k);
            const double* a = &sink.positions[static_cast<std::size_t>(3 * (f[k] - 1))];
            const double* b = &sink.positions[static_cast<std::size_t>(3 * (f[(k + 1) % 4] - 1))];
            area += a[0] * b[1] - b[0] * a[1];
        }
        EXPECT_GT(area, 0.0);
    }
    for (std::size_t at = 0; at < v.size(); ++at) EXPECT_EQ(cover[at], data[at] ? 1 : 0) << "cell " << at;
    return totals.rectangles;
}

}  // namespace

TEST(PlaneMerge, EqualCellsMergeAroundAHoleAtZeroError) {
    std::vector<double> v(100, 7.5);
    std::vector<std::uint8_t> data(100, 1);
    data[4 * 10 + 4] = 0;  // row 5, column 5
    EXPECT_EQ(mergeAndCheck(10, 10, v, data, 0.0), 4);
    // A different last cell: the rectangle above it stops a row early, and
    // the last row splits in two.
    v[99] = 7.25;
    EXPECT_EQ(mergeAndCheck(10, 10, v, data, 0.0), 6);
    EXPECT_EQ(mergeAndCheck(10, 10, v, data, 0.125), 4);
}

TEST(PlaneMerge, RandomTerracesKeepTheBound) {
    std::mt19937 random(3);
    for (int round = 0; round < 30; ++round) {
        const std::int32_t rows = 1 + static_cast<std::int32_t>(random() % 30),
                           cols = 1 + static_cast<std::int32_t>(random() % 30);
        std::vector<double> v;
        std::vector<std::uint8_t> data;
        for (std::int32_t i = 0; i < rows * cols; ++i) {
            v.push_back(static_cast<double>((i / cols) / 4 + (i % cols) / 5) * 0.5 + (random() % 4 == 0 ? 0.25 : 0.0));
            data.push_back(random() % 13 != 0);
        }
        for (double e : {0.0, 0.25, 1.0}) mergeAndCheck(rows, cols, v, data, e);
    }
}
