#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "glb/glb_writer.h"
#include "mesh/solid/edge_table.h"
#include "mesh/solid/outline_bottom.h"
#include "mesh/solid/outline_vertices.h"
#include "mesh/solid/solid_filter.h"
#include "mesh_file_shape.h"
#include "outline_harness.h"
#include "stl/stl_writer.h"
#include "terrain_stream.h"
#include "test_support.h"

using namespace morvale;
using namespace testing_support;

namespace {

// 7 x 6 cells of uneven relief with a two-cell hole inside and missing cells on the outline.
TerrainGrid holedGrid() {
    TerrainGrid g(7, 6);
    for (int r = 0; r <= g.rows; ++r)
        for (int c = 0; c <= g.cols; ++c) g.height(r, c) = 20.0 + 3.0 * std::cos(0.9 * c) + 0.5 * r * r;
    for (auto [r, c] : {std::pair{2, 2}, {2, 3}, {0, 6}, {5, 0}})
        g.data[static_cast<std::size_t>(r * g.cols + c)] = false;
    g.cell = 2.5;
    g.west = -8.0;
    g.south = 3.0;
    return g;
}

StlShape solidStl(const std::filesystem::path& path, TerrainGrid g, double base, const StreamChoices& choices,
                  std::int32_t preset = 0) {
    StlWriter writer(nullptr, nullptr);
    StlOptions options;
    options.presetIndex = preset;
    EXPECT_TRUE(writer.open(path, options));
    SolidOptions solid;
    solid.baseElevation = base;
    solid.spoolPath = path.string() + ".surface.tmp";
    SolidFilter filter(writer, solid, nullptr);
    streamTerrain(g, filter, choices);
    const MeshWritten written = filter.end();
    EXPECT_TRUE(written.ok);
    StlShape shape = inspectStl(readFile(path));
    EXPECT_TRUE(shape.sound) << shape.problem;
    // The surface's quads and the walls reach the writer as quads: the solid still counts triangles.
    EXPECT_EQ(written.faces, static_cast<std::int64_t>(shape.count));
    return shape;
}

std::vector<std::array<float, 9>> sortedTriangles(const std::vector<float>& corners) {
    std::vector<std::array<float, 9>> triangles(corners.size() / 9);
    for (std::size_t t = 0; t < triangles.size(); ++t) std::copy_n(&corners[9 * t], 9, triangles[t].begin());
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}

}  // namespace

TEST(SolidFilter, ClosedOutwardWithThePrismVolume) {
    ScratchDir dir;
    TerrainGrid g = holedGrid();
    const double base = 5.0;
    const double expected = prismVolume(g, base);
    for (bool triangles : {false, true}) {
        for (std::int32_t preset : {0, 1}) {  // Z up and Y up: rotations keep the volume
            StreamChoices choices;
            choices.triangles = triangles;
            const StlShape shape = solidStl(dir / "solid.stl", g, base, choices, preset);
            const SolidShape solid = inspectSolid(shape.corners);
            EXPECT_TRUE(solid.manifold) << solid.problem;
            EXPECT_NEAR(solid.volume, expected, expected * 1e-5) << "triangles " << triangles;
            // 38 cells: the surface, a wall for each boundary edge: 26 on the
            // outline (a missing corner cell keeps its length) and 6 around the
            // hole, and the bottom on those 32 edges' ends with one hole: 32 + 2 - 2.
            EXPECT_EQ(shape.count, 2u * 38 + 2 * (26 + 6) + 32);
        }
    }
}

TEST(SolidFilter, WallsDoNotDependOnTheSettledHintsOrTheOutlineMarks) {
    ScratchDir dir;
    StreamChoices withHints, without, unmarked;
    without.settledHints = false;
    unmarked.markOutline = false;
    const StlShape a = solidStl(dir / "a.stl", holedGrid(), 0.0, withHints);
    const StlShape b = solidStl(dir / "b.stl", holedGrid(), 0.0, without);
    const StlShape c = solidStl(dir / "c.stl", holedGrid(), 0.0, unmarked);
    EXPECT_EQ(sortedTriangles(a.corners), sortedTriangles(b.corners));
    EXPECT_EQ(sortedTriangles(a.corners), sortedTriangles(c.corners));
}

TEST(SolidFilter, CellsMeetingAtACornerStayClosed) {
    // Data on one diagonal of a 2 x 2 window: the two boundary loops touch at the centre.
    ScratchDir dir;
    TerrainGrid g(2, 2);
    for (double& h : g.corner) h = 3.0;
    g.data = {true, false, false, true};
    const StlShape shape = solidStl(dir / "pinch.stl", g, 1.0, {});
    const SolidShape solid = inspectSolid(shape.corners);
    EXPECT_TRUE(solid.closed) << solid.problem;
    EXPECT_NEAR(solid.volume, 2 * 2.0, 1e-9);
}

TEST(SolidFilter, BaseCopiesOnlyUnderWallsKeepTheirTextureCoordinates) {
    ScratchDir dir;
    GlbWriter writer(nullptr, nullptr);
    ASSERT_TRUE(writer.open(dir / "s.glb", {}));
    SolidOptions options;
    options.baseElevation = -2.0;
    SolidFilter filter(writer, options, nullptr);
    TerrainGrid g = holedGrid();
    StreamChoices choices;
    choices.uv = true;
    choices.normals = NormalLayout::perVertex;
    streamTerrain(g, filter, choices);
    ASSERT_TRUE(filter.end().ok);
    const GlbShape shape = inspectGlb(readFile(dir / "s.glb"));
    ASSERT_TRUE(shape.sound) << shape.problem;
    EXPECT_TRUE(shape.normals.empty());
    // The surface's 54 vertices, then a base copy of each of the 32 on the
    // outline and around the hole, in their order.
    const std::size_t n = 54, copies = 32;
    ASSERT_EQ(shape.vertexCount, static_cast<std::int64_t>(n + copies));
    std::vector<std::pair<std::size_t, std::size_t>> copyOf;  // surface vertex, base copy
    for (std::size_t v = 0; v < n; ++v)
        for (std::size_t b = n; b < n + copies; ++b)
            if (shape.positions[3 * v] == shape.positions[3 * b] &&
                shape.positions[3 * v + 2] == shape.positions[3 * b + 2])
                copyOf.emplace_back(v, b);
    ASSERT_EQ(copyOf.size(), copies);
    for (std::size_t k = 0; k < copies; ++k) {
        const auto [v, b] = copyOf[k];
        EXPECT_EQ(b, n + k);
        EXPECT_EQ(shape.positions[3 * b + 1], -2.0f);
        EXPECT_EQ(shape.uvs[2 * v], shape.uvs[2 * b]);
        EXPECT_EQ(shape.uvs[2 * v + 1], shape.uvs[2 * b + 1]);
    }
    std::vector<char> named(n + copies, 0);
    for (std::uint32_t i : shape.indices) named[i] = 1;
    EXPECT_EQ(std::count(named.begin(), named.end(), 0), 0);
    std::vector<float> corners;
    for (std::uint32_t i : shape.indices)
        corners.insert(corners.end(), &shape.positions[3 * i], &shape.positions[3 * i] + 3);
    const SolidShape solid = inspectSolid(corners);
    EXPECT_TRUE(solid.manifold) << solid.problem;
    EXPECT_NEAR(solid.volume, prismVolume(g, -2.0), prismVolume(g, -2.0) * 1e-5);
}

TEST(SolidFilter, CancelledBeforeTheFacesAddsNothing) {
    ScratchDir dir;
    std::atomic<bool> cancel{true};
    StlWriter writer(&cancel, nullptr);
    ASSERT_TRUE(writer.open(dir / "c.stl", {}));
    SolidFilter filter(writer, {}, &cancel);
    // The vertices are not cancellable and pass; the base copies would be.
    MeshInfo info;
    filter.begin(info);
    const double position[] = {0, 0, 1, 1, 0, 1, 1, 1, 1};
    VertexBatch batch;
    batch.count = 3;
    batch.position = position;
    filter.vertices(batch);
    filter.endVertices();
    const MeshWritten w = filter.end();
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.vertices, 3);  // no base copies once cancelled
    EXPECT_EQ(inspectStl(readFile(dir / "c.stl")).count, 0u);
}

TEST(OutlineBottom, CellPatternsCloseWithTheirOwnArea) {
    // Hand-made shapes first: a one-cell peninsula, cells touching only at a
    // corner (both ways, around a hole and between islands), a ring, a comb;
    // then random patterns, with straight-run corners kept or dropped.
    const std::vector<std::pair<int, std::string>> shapes = {
        {4,
         "####"
         "#..#"
         "#.##"
         "####"},
        {3,
         "#.#"
         ".#."
         "#.#"},
        {4,
         "####"
         "#.##"
         "##.#"
         "####"},
        {5,
         "#.#.#"
         "#####"
         "#.#.#"
         "#####"},
        {4,
         ".#.."
         "####"
         ".#.."
         ".##."},
    };
    std::mt19937 random(7);
    std::int64_t edges = 0, triangles = 0;
    for (int round = 0; round < 400; ++round) {
        OutlineCase c;
        if (round < static_cast<int>(shapes.size()) * 2) {
            const auto& [cols, text] = shapes[static_cast<std::size_t>(round / 2)];
            c.cols = cols;
            c.rows = static_cast<int>(text.size()) / cols;
            for (char ch : text) c.data.push_back(ch == '#');
        } else {
            c.rows = 1 + static_cast<int>(random() % 12);
            c.cols = 1 + static_cast<int>(random() % 12);
            const unsigned density = 40 + random() % 55;
            for (int i = 0; i < c.rows * c.cols; ++i) c.data.push_back(random() % 100 < density);
        }
        if (round % 2)
            for (int i = 0; i < (c.rows + 1) * (c.cols + 1); ++i) c.dropCorner.push_back(random() % 3 != 0);
        const OutlineCheck check = checkOutlineBottom(c);
        ASSERT_TRUE(check.ok) << "round " << round << ": " << check.problem;
        edges += check.outlineEdges;
        triangles += check.triangles;
    }
    // About one triangle per outline edge (each hole adds two).
    EXPECT_LE(triangles, edges * 5 / 4);
    // Edges that do not close into loops are refused, the triangles left as they were.
    std::vector<std::int64_t> kept{7, 8, 9};
    const std::vector<OutlinePoint> points{{1, 0, 0}, {2, 1, 0}, {3, 1, 1}};
    EXPECT_FALSE(triangulateOutline({{1, 2}, {2, 3}}, points, kept));
    EXPECT_FALSE(triangulateOutline({{1, 2}, {2, 3}, {3, 1}, {1, 3}}, points, kept));
    EXPECT_FALSE(triangulateOutline({{1, 3}, {3, 1}}, points, kept));  // slanted
    EXPECT_EQ(kept, (std::vector<std::int64_t>{7, 8, 9}));
}

TEST(SolidFilter, DefaultBaseIsATenthOfTheReliefBelow) {
    EXPECT_DOUBLE_EQ(defaultSolidBase(100.0, 300.0), 80.0);
    EXPECT_DOUBLE_EQ(defaultSolidBase(-50.0, -10.0), -54.0);
    EXPECT_DOUBLE_EQ(defaultSolidBase(7.0, 7.0), 6.0);
    EXPECT_EQ(solidVertexBound(10), 20);
    EXPECT_EQ(solidFaceBound(10, 4), 180);
    EXPECT_EQ(solidFaceBound(10, 3), 130);
}

TEST(SolidFilter, ASpoolThatCannotBeWrittenFailsTheRun) {
    ScratchDir dir;
    StlWriter writer(nullptr, nullptr);
    ASSERT_TRUE(writer.open(dir / "s.stl", {}));
    SolidOptions options;
    options.memoryBudget = 64;
    options.spoolPath = dir / "no-such-folder" / "surface.tmp";
    SolidFilter filter(writer, options, nullptr);
    TerrainGrid g = holedGrid();
    streamTerrain(g, filter, {});
    EXPECT_FALSE(filter.end().ok);
    EXPECT_TRUE(inspectStl(readFile(dir / "s.stl")).sound);
}

TEST(OutlineVertices, PlacesFollowTheKeptRunsInAnyLookupOrder) {
    OutlineVertices marked(sizeof(double), 64, {});
    for (std::int64_t v : {3, 4, 5, 9, 12, 13, 14}) {
        const double record = static_cast<double>(v);
        marked.add(v, &record);
    }
    marked.keepThrough(12);  // a cut in the middle of the last run
    ASSERT_EQ(marked.size(), 5);
    const std::map<std::int64_t, std::int64_t> expected = {{3, 0}, {4, 1}, {5, 2}, {9, 3}, {12, 4}};
    std::vector<std::int64_t> numbers;
    for (std::int64_t v = -1; v <= 16; ++v) numbers.push_back(v);
    std::mt19937 random(7);
    for (int round = 0; round < 3; ++round) {
        OutlineVertices::Cursor cursor;
        for (std::int64_t v : numbers) {
            const auto it = expected.find(v);
            const std::int64_t place = marked.place(v, cursor);
            EXPECT_EQ(place, it == expected.end() ? -1 : it->second) << v;
            if (place >= 0) {
                double record = 0.0;
                std::memcpy(&record, marked.record(place), sizeof record);
                EXPECT_EQ(record, static_cast<double>(v));
            }
        }
        std::shuffle(numbers.begin(), numbers.end(), random);
    }
}

TEST(EdgeTable, PairsAndForgetsLikeAMultiset) {
    // Edges whose home slots crowd together (lower ends four slots apart,
    // differences below 12), about nine to every ten slots, so probe runs are
    // long (up to thousands); the homes straddle the table's end at every size,
    // so runs wrap. Each edge comes once or twice (growth), then most meet
    // their reverse in another order while new edges keep coming: deletions
    // land inside runs. A std::map of counts (a multiset) keeps the expected state.
    EdgeTable table;
    std::map<std::pair<std::int64_t, std::int64_t>, int> model;
    std::mt19937_64 random(12345);
    auto pair = [&](std::int64_t from, std::int64_t to) {
        table.pair(from, to);
        auto reverse = model.find({to, from});
        if (reverse != model.end()) {
            if (--reverse->second == 0) model.erase(reverse);
        } else {
            ++model[{from, to}];
        }
        return table.size() == model.size();
    };
    // Takes the edges with an end below `settled`: those leave, the rest stay.
    auto settle = [&](std::int64_t settled) {
        std::vector<DirectedEdge> taken;
        table.take(settled, taken);
        std::map<std::pair<std::int64_t, std::int64_t>, int> got, expected;
        for (const DirectedEdge& e : taken) ++got[{e.from, e.to}];
        for (auto it = model.begin(); it != model.end();) {
            if (std::min(it->first.first, it->first.second) < settled) {
                expected.insert(*it);
                it = model.erase(it);
            } else {
                ++it;
            }
        }
        EXPECT_EQ(got, expected) << "below " << settled;
        EXPECT_EQ(table.size(), model.size());
    };
    constexpr std::int64_t vertices = 8000, spread = 12;
    for (std::int64_t round = 0; round < 3; ++round) {
        // Four times the first vertex is 2 * vertices short of a multiple of 2^40: the homes straddle 0.
        const std::int64_t first = (round + 1) * (std::int64_t{1} << 38) - vertices / 2;
        std::vector<std::pair<std::int64_t, std::int64_t>> edges;
        for (std::int64_t low = first; low < first + vertices; ++low)
            for (std::int64_t d = 0; d < spread; ++d) {
                if (random() % 10 >= 3) continue;  // 12 * 0.3 / 4 edges a slot
                const auto edge = random() % 2 ? std::pair{low, low + d} : std::pair{low + d, low};
                edges.push_back(edge);
                if (random() % 8 == 0) edges.push_back(edge);
            }
        std::shuffle(edges.begin(), edges.end(), random);
        for (const auto& [from, to] : edges) ASSERT_TRUE(pair(from, to)) << from << " -> " << to;
        std::shuffle(edges.begin(), edges.end(), random);
        for (std::size_t i = 0; i < edges.size(); ++i) {
            const auto [from, to] = edges[i];
            if (i % 10 != 9) {
                ASSERT_TRUE(pair(to, from)) << "the reverse of " << from << " -> " << to;
            } else {
                const std::int64_t low = first + static_cast<std::int64_t>(random() % vertices);
                ASSERT_TRUE(pair(low, low + static_cast<std::int64_t>(random() % spread))) << "new at " << low;
            }
        }
        // The lower half of this round leaves; the rest shares the slots with the next round's.
        settle(first + vertices / 2);
    }
    settle(INT64_MAX);
    EXPECT_EQ(table.size(), 0u);
}

TEST(SolidFilter, VerticesCutByTheWritingStageCloseWhatRemains) {
    // Two cells' vertices arrive ahead; a cancel cut the block after vertex 5,
    // so the second cell's face names a vertex that is gone.
    ScratchDir dir;
    StlWriter writer(nullptr, nullptr);
    ASSERT_TRUE(writer.open(dir / "cut.stl", {}));
    SolidOptions options;
    options.baseElevation = 1.0;
    SolidFilter filter(writer, options, nullptr);
    MeshInfo info;
    info.verticesAhead = true;
    filter.begin(info);
    const double position[] = {0, 1, 4, 1, 1, 4, 2, 1, 4, 0, 0, 4, 1, 0, 4, 2, 0, 4};
    VertexBatch batch;
    batch.count = 6;
    batch.position = position;
    filter.vertices(batch);
    filter.writingStage();
    filter.keepVertices(5);
    filter.endVertices();
    const std::int64_t faces[] = {4, 5, 2, 1, 5, 6, 3, 2};
    FaceBatch fb;
    fb.count = 2;
    fb.vertex = faces;
    filter.faces(fb);
    const MeshWritten written = filter.end();
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.vertices, 10);
    const SolidShape solid = inspectSolid(inspectStl(readFile(dir / "cut.stl")).corners);
    EXPECT_TRUE(solid.manifold) << solid.problem;
    EXPECT_NEAR(solid.volume, 3.0, 1e-9);
}
