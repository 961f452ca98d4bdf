#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "mesh/simplify/block_triangulation.h"
#include "simplify_harness.h"
#include "test_support.h"

using namespace morvale;
using namespace simplify_harness;

namespace {

// Smooth hills with noise, some cells without data (holes, ragged edges).
CellGrid randomGrid(std::uint32_t seed, std::int32_t rows, std::int32_t cols, double holeShare) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    CellGrid g;
    g.rows = rows;
    g.cols = cols;
    const double fx = 0.05 + 0.3 * unit(random), fy = 0.05 + 0.3 * unit(random);
    for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < cols; ++c) {
            g.value.push_back(20.0 * std::sin(fx * c) * std::cos(fy * r) + 3.0 * unit(random));
            g.data.push_back(unit(random) >= holeShare);
        }
    return g;
}

// Data in every cell, the value of (row, col) counted from 0 given by height.
template <class Height>
CellGrid fullGrid(std::int32_t rows, std::int32_t cols, Height height) {
    CellGrid g;
    g.rows = rows;
    g.cols = cols;
    for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < cols; ++c) {
            g.value.push_back(height(r, c));
            g.data.push_back(1);
        }
    return g;
}

}  // namespace

TEST(Simplify, RandomGridsKeepTheBoundCoverageAndOrientation) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        const std::int32_t rows = 1 + static_cast<std::int32_t>(seed * 7 % 45),
                           cols = 1 + static_cast<std::int32_t>(seed * 13 % 60);
        const CellGrid g = randomGrid(seed, rows, cols, seed % 3 == 0 ? 0.0 : 0.02 * (seed % 5));
        const SimplifyWindow whole{1, 1, rows, cols};
        for (double e : {0.0, 0.5, 4.0}) {
            // Odd seeds send faces through the spool file after the first 50.
            const Mesh mesh = simplify(g, whole, e, false, seed % 2 ? 50 : kFacesInMemory);
            EXPECT_EQ(check(g, whole, e, mesh), "") << "seed " << seed << " error " << e;
            EXPECT_EQ(mesh.spooled, seed % 2 && mesh.totals.triangles > 50) << "seed " << seed << " error " << e;
        }
    }
}

TEST(Simplify, TinyWindowsInsideARing) {
    // One or two cells: every block corner is a segment end.
    const CellGrid g = randomGrid(5, 6, 7, 0.0);
    for (std::int32_t rows = 1; rows <= 2; ++rows)
        for (std::int32_t cols = 1; cols <= 2; ++cols) {
            const SimplifyWindow w{5, 5, rows, cols};
            EXPECT_EQ(check(g, w, 0.0, simplify(g, w, 0.0)), "") << rows << "x" << cols;
        }
    // Narrow and tall with holes, unbounded error: long hole edges cross many
    // thin triangles before they are recovered.
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        const CellGrid narrow = randomGrid(seed, 48, 4, 0.15);
        const SimplifyWindow w{1, 1, 48, 4};
        EXPECT_EQ(check(narrow, w, 1e9, simplify(narrow, w, 1e9)), "") << "seed " << seed;
    }
}

TEST(Simplify, RealGridsKeepTheBoundInWholeAndCroppedWindows) {
    int grids = 0;
    for (const char* name : {"ava_slideTopo.asc", "landlab_Square_TestBasin.asc", "landlab_hugo_site.asc",
                             "landlab_west_bijou_escarpment_snippet.asc", "landlab_DEM-kootenai_37x50_1x1.asc",
                             "flopy_freyberg_top.asc", "gdal_pixel_per_line.asc"}) {
        CellGrid g;
        if (!loadGrid(testing_support::sharedGrid(name).string(), g)) continue;
        ++grids;
        const SimplifyWindow whole{1, 1, g.rows, g.cols};
        const SimplifyWindow inner{1 + g.rows / 5, 1 + g.cols / 3, g.rows - g.rows / 5 - g.rows / 4,
                                   g.cols - g.cols / 3};
        for (double e : {0.0, 0.5, 2.0}) {
            const Mesh mesh = simplify(g, whole, e);
            EXPECT_EQ(check(g, whole, e, mesh), "") << name << " error " << e;
            const Mesh crop = simplify(g, inner, e);
            EXPECT_EQ(check(g, inner, e, crop), "") << name << " cropped, error " << e;
            // The counting pass finds the same mesh.
            EXPECT_EQ(simplify(g, whole, e, true).totals.triangles, mesh.totals.triangles);
        }
    }
    EXPECT_GE(grids, 5);
}

TEST(Simplify, AdjacentCropsKeepTheSameBorderVertices) {
    // Wider and taller than a band, with holes on the shared lines.
    const CellGrid g = randomGrid(7, 300, 290, 0.03);
    const std::int32_t splitCol = 140, splitRow = 170;
    const SimplifyWindow tiles[4] = {{1, 1, splitRow, splitCol},
                                     {1, splitCol + 1, splitRow, 290 - splitCol},
                                     {splitRow + 1, 1, 300 - splitRow, splitCol},
                                     {splitRow + 1, splitCol + 1, 300 - splitRow, 290 - splitCol}};
    Mesh meshes[4];
    for (int i = 0; i < 4; ++i) {
        meshes[i] = simplify(g, tiles[i], 1.0);
        ASSERT_EQ(check(g, tiles[i], 1.0, meshes[i]), "") << "tile " << i;
    }
    // The corners on a shared line that both full meshes have: the kept ones must agree.
    auto onLine = [&](int a, int b, bool vertical) {
        std::set<std::pair<std::int32_t, std::int32_t>> kept[2];
        const int tile[2] = {a, b};
        for (int side = 0; side < 2; ++side) {
            const Mesh& m = meshes[tile[side]];
            for (std::size_t v = 0; v < m.height.size(); ++v) {
                const std::int32_t row = m.cornerRow[v], col = m.cornerCol[v];
                if ((vertical ? col : row) != (vertical ? splitCol + 1 : splitRow + 1)) continue;
                // Both crops' full meshes hold the corner: data on both sides.
                const bool both =
                    vertical
                        ? (g.has(row - 1, col - 1) || g.has(row, col - 1)) && (g.has(row - 1, col) || g.has(row, col))
                        : (g.has(row - 1, col - 1) || g.has(row - 1, col)) && (g.has(row, col - 1) || g.has(row, col));
                const bool inBoth = vertical ? row >= tiles[a].firstRow && row <= tiles[a].firstRow + tiles[a].rows
                                             : col >= tiles[a].firstCol && col <= tiles[a].firstCol + tiles[a].cols;
                if (both && inBoth) kept[side].insert({row, col});
            }
        }
        EXPECT_FALSE(kept[0].empty());
        EXPECT_EQ(kept[0], kept[1]) << "tiles " << a << " and " << b;
    };
    onLine(0, 1, true);
    onLine(2, 3, true);
    onLine(0, 2, false);
    onLine(1, 3, false);
}

TEST(Simplify, ZeroErrorDropsOnlyCornersOnAPlane) {
    CellGrid g = fullGrid(40, 50, [](std::int32_t r, std::int32_t c) { return 2.0 * c - 3.0 * r + 5.0; });
    // Inside a ring, so every corner mean lies on the plane.
    const SimplifyWindow inner{2, 2, 38, 48};
    Mesh mesh = simplify(g, inner, 0.0);
    EXPECT_EQ(check(g, inner, 0.0, mesh), "");
    EXPECT_EQ(mesh.totals.triangles, 2);
    EXPECT_EQ(mesh.totals.vertices, 4);

    // A hole keeps its outline; a bump is kept exactly.
    g.data[10 * 50 + 20] = 0;
    g.value[30 * 50 + 10] += 0.25;
    mesh = simplify(g, inner, 0.0);
    EXPECT_EQ(check(g, inner, 0.0, mesh), "");
    EXPECT_LT(mesh.totals.triangles, 40);
}

TEST(Simplify, EqualErrorsAreSplitInOneOrder) {
    // Terraces one unit high: most candidates tie. Which of them goes first
    // changes the mesh though every bound still holds, and the same grid must
    // give the same mesh everywhere, so the counts are pinned.
    const CellGrid g =
        fullGrid(45, 40, [](std::int32_t r, std::int32_t c) { return static_cast<double>((r + c + 1) / 5); });
    const SimplifyWindow whole{1, 1, g.rows, g.cols};
    const Mesh mesh = simplify(g, whole, 0.0);
    ASSERT_EQ(check(g, whole, 0.0, mesh), "");
    EXPECT_EQ(mesh.totals.vertices, 1262);
    EXPECT_EQ(mesh.totals.triangles, 2456);
}

TEST(Simplify, TriangleBudgetChoosesTheFinestBoundThatFits) {
    const CellGrid g = randomGrid(11, 100, 90, 0.002);
    const SimplifyWindow whole{1, 1, 100, 90};
    const std::int64_t full = simplify(g, whole, 0.0).totals.triangles;
    for (std::int64_t budget : {full / 3, std::int64_t{1500}, std::int64_t{300}}) {
        const BudgetChoice choice = chooseForBudget(g, whole, budget);
        ASSERT_TRUE(choice.reachable) << budget;
        const Mesh mesh = simplify(g, whole, choice.maxError);
        EXPECT_EQ(mesh.totals.triangles, choice.triangles);
        EXPECT_LE(mesh.totals.triangles, budget);
        EXPECT_LE(mesh.totals.errorReached, choice.maxError);
        // Half the bound would not have fitted.
        if (choice.maxError > 0.0) {
            EXPECT_GT(simplify(g, whole, choice.maxError / 2).totals.triangles, budget);
        }
    }
    EXPECT_EQ(chooseForBudget(g, whole, full).maxError, 0.0);
    EXPECT_FALSE(chooseForBudget(g, whole, 2).reachable);  // the holes need more
}

TEST(Simplify, TheHelperThreadChangesNoByte) {
    // Several bands of several blocks, a window off the block lines, holes.
    const CellGrid g = randomGrid(13, 330, 420, 0.01);
    const SimplifyWindow w{20, 7, 300, 400};
    for (double e : {0.0, 1.0}) {
        const Mesh alone = simplify(g, w, e, false, kFacesInMemory, 0);
        const Mesh helped = simplify(g, w, e, false, e > 0.0 ? 500 : kFacesInMemory, 1);
        ASSERT_EQ(check(g, w, e, helped), "") << "error " << e;
        EXPECT_EQ(helped.cornerRow, alone.cornerRow);
        EXPECT_EQ(helped.cornerCol, alone.cornerCol);
        EXPECT_EQ(helped.height, alone.height);
        EXPECT_EQ(helped.triangles, alone.triangles);
        EXPECT_EQ(helped.settledCalls, alone.settledCalls);
        EXPECT_EQ(helped.totals.errorReached, alone.totals.errorReached);
    }
}

TEST(Simplify, NextKeptFindsEveryKeptCornerAcrossWordEdges) {
    // One kept flag (among other bits) at every place of rows up to 19
    // corners, searched from every start: the eight-at-a-time step must
    // neither skip it nor stop before it.
    for (std::int32_t length = 1; length <= 19; ++length) {
        for (std::int32_t kept = -1; kept < length; ++kept) {
            std::vector<std::uint8_t> flags(static_cast<std::size_t>(length), cornerIsVertex | cornerOnLine);
            if (kept >= 0) flags[static_cast<std::size_t>(kept)] = cornerKept;
            for (std::int32_t from = 0; from <= length; ++from) {
                const std::int32_t expected = kept >= from ? kept : length;
                EXPECT_EQ(nextKept(flags.data(), from, length - 1), expected)
                    << "length " << length << " kept " << kept << " from " << from;
            }
        }
    }
}
