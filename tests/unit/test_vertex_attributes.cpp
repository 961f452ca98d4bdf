#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "mesh/axis_order.h"
#include "grid/grid_body.h"
#include "base/input_file.h"
#include "grid/wide_read.h"
#include "mesh/corner_normals.h"
#include "mesh/texture_coords.h"
#include "test_support.h"

using namespace morvale;

namespace {

constexpr double noData = -9999.0;

// A small relief with an isolated hole, a 2 x 2 hole (its middle corner has
// no vertex) and a missing cell on the outline.
struct TestGrid {
    std::int32_t ncols = 7, nrows = 6;
    std::vector<double> values;  // row by row, noData for holes
    double at(std::int64_t row, std::int64_t col) const {
        return values[static_cast<std::size_t>((row - 1) * ncols + (col - 1))];
    }
    bool data(std::int64_t row, std::int64_t col) const {
        return row >= 1 && row <= nrows && col >= 1 && col <= ncols && at(row, col) != noData;
    }
};

TestGrid reliefGrid(int emptyRow = 0) {
    TestGrid g;
    for (int r = 1; r <= g.nrows; ++r)
        for (int c = 1; c <= g.ncols; ++c) g.values.push_back(std::fmod(r * 37.0 + c * c * 11.0 + r * c * 3.5, 23.0));
    for (auto [r, c] : {std::pair{2, 3}, {4, 5}, {4, 6}, {5, 5}, {5, 6}, {1, 7}})
        g.values[static_cast<std::size_t>((r - 1) * g.ncols + (c - 1))] = noData;
    for (int c = 1; emptyRow > 0 && c <= g.ncols; ++c)
        g.values[static_cast<std::size_t>((emptyRow - 1) * g.ncols + (c - 1))] = noData;
    return g;
}

std::string bodyText(const TestGrid& g) {
    std::string text;
    for (int r = 1; r <= g.nrows; ++r) {
        for (int c = 1; c <= g.ncols; ++c) text += std::to_string(g.at(r, c)) + (c < g.ncols ? " " : "\n");
    }
    return text;
}

using Normal = std::array<double, 3>;
using CornerKey = std::pair<std::int64_t, std::int64_t>;  // corner line, corner column

// Reads a crop of the grid file as a builder would for normals (the wide
// window, cells forwarded to the stream, a line's normals taken once the
// row below it is complete) and returns the normals of the crop's corners.
std::map<CornerKey, Normal> cropNormals(const std::filesystem::path& file, const TestGrid& g, const CropWindow& crop,
                                        double unitScale, double cellsize) {
    GridHeader header;
    header.ncols = g.ncols;
    header.nrows = g.nrows;
    header.hasNodata = 1;
    header.nodataValue = noData;
    CornerNormalStream stream(crop, unitScale, unitScale * cellsize);
    std::map<CornerKey, Normal> out;
    std::int64_t nextLine = crop.yMin;
    auto takeLinesThrough = [&](std::int64_t completeRow) {
        for (; nextLine <= std::int64_t{crop.yMax} + 1 && nextLine + 1 <= completeRow; ++nextLine) {
            const double* n = stream.normals(nextLine);
            for (std::int64_t c = crop.xMin; c <= crop.xMax + 1; ++c, n += 3) out[{nextLine, c}] = {n[0], n[1], n[2]};
        }
    };
    std::int64_t row = 0;
    auto all = [&](std::int32_t r, std::int32_t c, double v) {
        if (r != row) takeLinesThrough(r - 1);
        row = r;
        stream.cell(r, c, v);
    };
    auto ring = [](std::int32_t, std::int32_t, double, bool) {};
    WideCells<decltype(ring), decltype(all)> cells(crop, ring, all);
    const CropWindow reading = wideReadingWindow(crop, g.ncols, g.nrows);
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    FileHandle input = openForReading(file);
    readGridBody(input.get(), header, reading, wideLastRow(reading, g.nrows), cancel, progress, cells);
    takeLinesThrough(INT64_MAX);
    return out;
}

// The textbook normal (-dz/dx, -dz/dy, 1) from the corners' map positions.
std::optional<Normal> referenceNormal(const TestGrid& g, std::int64_t r, std::int64_t c, double scale,
                                      double cellsize) {
    auto corner = [&](std::int64_t rr, std::int64_t cc) -> std::optional<double> {
        double sum = 0;
        int n = 0;
        for (auto [dr, dc] : {std::pair{-1, -1}, {-1, 0}, {0, -1}, {0, 0}}) {
            if (g.data(rr + dr, cc + dc)) {
                sum += g.at(rr + dr, cc + dc);
                ++n;
            }
        }
        if (n == 0) return std::nullopt;
        return sum / n * scale;
    };
    auto east = [&](std::int64_t cc) { return static_cast<double>(cc) * cellsize * scale; };
    auto north = [&](std::int64_t rr) { return -static_cast<double>(rr) * cellsize * scale; };
    if (!corner(r, c)) return std::nullopt;
    auto derivative = [&](std::optional<double> before, std::optional<double> after, double here, double posBefore,
                          double posHere, double posAfter) {
        if (before && after) return (*after - *before) / (posAfter - posBefore);
        if (after) return (*after - here) / (posAfter - posHere);
        if (before) return (here - *before) / (posHere - posBefore);
        return 0.0;
    };
    const double z = *corner(r, c);
    const double dx = derivative(corner(r, c - 1), corner(r, c + 1), z, east(c - 1), east(c), east(c + 1));
    const double dy = derivative(corner(r - 1, c), corner(r + 1, c), z, north(r - 1), north(r), north(r + 1));
    const double length = std::sqrt(dx * dx + dy * dy + 1);
    return Normal{-dx / length, -dy / length, 1 / length};
}

class VertexAttributes : public ::testing::Test {
protected:
    void SetUp() override { testing_support::writeFile(dir / "grid.asc", bodyText(grid)); }
    std::filesystem::path file() const { return dir / "grid.asc"; }
    testing_support::ScratchDir dir;
    TestGrid grid = reliefGrid();
    CropWindow whole{1, 1, 7, 6};
};

TEST_F(VertexAttributes, NormalsMatchFiniteDifferencesWithHolesAndOutline) {
    int compared = 0;
    for (const double scale : {1.0, 2.5, -0.5}) {
        const auto normals = cropNormals(file(), grid, whole, scale, 10.0);
        for (const auto& [key, n] : normals) {
            const auto expected = referenceNormal(grid, key.first, key.second, scale, 10.0);
            if (!expected) continue;  // no vertex there
            ++compared;
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(n[k], (*expected)[k], 1e-12) << key.first << "," << key.second;
            EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-15);
        }
        // The middle corner of the 2 x 2 hole exists nowhere: its neighbours go one-sided.
        EXPECT_FALSE(referenceNormal(grid, 5, 6, scale, 10.0));
    }
    EXPECT_EQ(compared, 3 * (8 * 7 - 2));  // the hole's middle and the missing outline cell's outer corner

    // A row without any data hands the stream no cell at all.
    const TestGrid gapped = reliefGrid(6);  // its slot last held row 1
    testing_support::writeFile(dir / "gapped.asc", bodyText(gapped));
    for (const auto& [key, n] : cropNormals(dir / "gapped.asc", gapped, whole, 1.0, 10.0)) {
        const auto expected = referenceNormal(gapped, key.first, key.second, 1.0, 10.0);
        for (int k = 0; expected && k < 3; ++k)
            EXPECT_NEAR(n[k], (*expected)[k], 1e-12) << key.first << "," << key.second;
    }
}

TEST_F(VertexAttributes, NormalsFaceLikeTheFacesForEveryPresetAndScaleSign) {
    for (const double scale : {2.0, -0.5}) {
        const auto normals = cropNormals(file(), grid, whole, scale, 3.0);
        auto position = [&](std::int32_t preset, std::int64_t r, std::int64_t c) {
            double sum = 0;
            int n = 0;
            for (auto [dr, dc] : {std::pair{-1, -1}, {-1, 0}, {0, -1}, {0, 0}})
                if (grid.data(r + dr, c + dc)) sum += grid.at(r + dr, c + dc), ++n;
            const VertexCoordinates p = applyAxisOrder(preset, c * 3.0 * scale, -r * 3.0 * scale, sum / n * scale);
            return std::array<double, 3>{p.first, p.second, p.third};
        };
        for (std::int32_t preset = 0; preset < 6; ++preset) {
            const VertexCoordinates up = applyAxisOrder(preset, 0, 0, 1);
            const int axis = up.first != 0 ? 0 : up.second != 0 ? 1 : 2;
            for (std::int64_t r = 1; r <= grid.nrows; ++r) {
                for (std::int64_t c = 1; c <= grid.ncols; ++c) {
                    if (!grid.data(r, c)) continue;
                    // Bottom-left, bottom-right, top-right, top-left; Newell's normal.
                    const CornerKey corners[4] = {{r + 1, c}, {r + 1, c + 1}, {r, c + 1}, {r, c}};
                    std::array<double, 3> face{0, 0, 0};
                    for (int k = 0; k < 4; ++k) {
                        const auto a = position(preset, corners[k].first, corners[k].second);
                        const auto b = position(preset, corners[(k + 1) % 4].first, corners[(k + 1) % 4].second);
                        for (int i = 0; i < 3; ++i)
                            face[i] += (a[(i + 1) % 3] - b[(i + 1) % 3]) * (a[(i + 2) % 3] + b[(i + 2) % 3]);
                    }
                    ASSERT_NE(face[axis], 0.0);
                    for (const CornerKey& corner : corners) {
                        const Normal& n = normals.at(corner);
                        const VertexCoordinates o = applyAxisOrder(preset, n[0], n[1], n[2]);
                        const double along = axis == 0 ? o.first : axis == 1 ? o.second : o.third;
                        EXPECT_GT(along * face[axis], 0.0) << "preset " << preset << " scale " << scale;
                    }
                }
            }
        }
    }
}

TEST_F(VertexAttributes, AdjacentCropsShareNormalsAndUvsBitForBit) {
    const auto wholeNormals = cropNormals(file(), grid, whole, 1.5, 2.0);
    const CropWindow extent = uvExtentFor(UvExtentMode::grid, {3, 2, 5, 4}, grid.ncols, grid.nrows);
    // West | east (corner column 4) and north / south (corner line 4), crops touching holes.
    const std::pair<CropWindow, CropWindow> pairs[] = {
        {{1, 1, 3, 6}, {4, 1, 7, 6}}, {{2, 1, 6, 3}, {2, 4, 6, 6}}, {{5, 3, 6, 4}, {7, 3, 7, 4}}};
    for (const auto& [first, second] : pairs) {
        const auto a = cropNormals(file(), grid, first, 1.5, 2.0);
        const auto b = cropNormals(file(), grid, second, 1.5, 2.0);
        int shared = 0;
        for (const auto& [key, n] : a) {
            const auto other = b.find(key);
            if (other == b.end()) continue;
            ++shared;
            EXPECT_EQ(std::memcmp(n.data(), other->second.data(), sizeof n), 0) << key.first << "," << key.second;
            EXPECT_EQ(std::memcmp(n.data(), wholeNormals.at(key).data(), sizeof n), 0);
        }
        EXPECT_GT(shared, 2);
    }
    // The grid's extent: its edges are exactly 0 and 1 whatever the crop.
    EXPECT_EQ(cornerU(extent, 1), 0.0);
    EXPECT_EQ(cornerU(extent, 8), 1.0);
    EXPECT_EQ(cornerV(extent, 7), 0.0);
    EXPECT_EQ(cornerV(extent, 1), 1.0);
    EXPECT_EQ(cornerU(extent, 4), 3.0 / 7.0);
}

TEST(TextureCoordinates, WindowExtentSpansTheCropAndPlanesTakeTheirCellCorners) {
    const CropWindow crop{3, 2, 4, 5};
    const CropWindow window = uvExtentFor(UvExtentMode::window, crop, 10, 10);
    EXPECT_EQ(cornerU(window, 3), 0.0);
    EXPECT_EQ(cornerU(window, 5), 1.0);
    EXPECT_EQ(cornerV(window, 6), 0.0);  // south edge of the last row
    EXPECT_EQ(cornerV(window, 2), 1.0);
    double uv[8];
    cellCornerUvs(window, 2, 3, uv);  // the crop's north-west cell
    const double expected[8] = {0.0, 1.0, 0.5, 1.0, 0.5, 0.75, 0.0, 0.75};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(uv[k], expected[k]) << k;

    AttributeSettings settings;
    EXPECT_FALSE(settings.writesUv());
    settings.texture = "map.png";
    EXPECT_TRUE(settings.writesUv());
}

TEST(CornerNormals, DegenerateInputsStillGiveUnitNormals) {
    const double elevation[3] = {0, 5, 9};
    const std::uint8_t exists[3] = {1, 1, 1};
    const CornerLine line{elevation, exists};
    double n[3];
    cornerLineNormals(n, nullptr, line, nullptr, 1, 0.0);
    EXPECT_EQ(n[0], 0.0);
    EXPECT_EQ(n[2], 1.0);
    // A huge slope still gives a unit normal instead of overflowing.
    const double steep[3] = {-1e300, 0, 1e300};
    cornerLineNormals(n, nullptr, CornerLine{steep, exists}, nullptr, 1, 1.0);
    EXPECT_DOUBLE_EQ(n[0], -1.0);
    EXPECT_GT(n[2], 0.0);
}

}  // namespace
