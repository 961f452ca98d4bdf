// Tile sets: a grid cut into uneven tiles (no data at the cuts, one tile
// missing) read tile by tile gives exactly the cells of the merged grid's crop
// reads, and converted tile by tile exactly the merged grid's vertices; the
// seam index survives its file; planning warns and refuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/input_file.h"
#include "convert/conversion_request.h"
#include "grid/grid_body.h"
#include "test_support.h"
#include "tiles/grid_cuts.h"
#include "tiles/grid_tiling.h"
#include "tiles/seam_file.h"
#include "tiles/seam_pieces.h"
#include "tiles/tile_cell_source.h"
#include "tiles/tile_jobs.h"
#include "tiles/tile_run.h"
#include "tiles/tile_set.h"

using namespace morvale;
using testing_support::ScratchDir;
using testing_support::writeFile;

namespace {

constexpr double noData = -9999.0;

struct Cell {
    std::int64_t row, col;
    std::uint64_t bits;
    bool inWindow;
    bool operator==(const Cell&) const = default;
};

struct Recorder final : CellSink {
    std::vector<Cell> cells;
    void cell(std::int32_t row, std::int32_t col, double value, bool inWindow) override {
        cells.push_back({row, col, std::bit_cast<std::uint64_t>(value), inWindow});
    }
};

// A grid file: corner or centre reference, rows split over `lineBreaks` lines each.
std::string gridText(const std::vector<std::vector<double>>& rows, double xll, double yll, double size, bool center,
                     int lineBreaks = 1) {
    const double shift = center ? size * 0.5 : 0.0;
    char line[256];
    std::snprintf(line, sizeof line, "ncols %zu\nnrows %zu\n%s %.17g\n%s %.17g\ncellsize %.17g\nNODATA_value -9999\n",
                  rows[0].size(), rows.size(), center ? "xllcenter" : "xllcorner", xll + shift,
                  center ? "yllcenter" : "yllcorner", yll + shift, size);
    std::string text = line;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            std::snprintf(line, sizeof line, "%.17g", row[c]);
            text += line;
            const bool breakHere = (c + 1) % ((row.size() + lineBreaks - 1) / lineBreaks) == 0;
            text += c + 1 == row.size() || breakHere ? "\n" : " ";
        }
    }
    return text;
}

// The merged grid of the identity test and its cuts: columns 0..3 | 4..6 |
// 7..10 and rows 0..2 | 3..4 | 5..8; the east tile of the middle band is missing.
struct CutGrid {
    static constexpr int ncols = 11, nrows = 9;
    static constexpr double xll = 1000.25, yll = 2000.5, size = 0.5;
    std::vector<int> colCuts{0, 4, 7, 11}, rowCuts{0, 3, 5, 9};
    std::vector<std::vector<double>> cells;
    std::vector<std::filesystem::path> tiles;
    std::filesystem::path merged;

    bool missing(int band, int column) const { return band == 1 && column == 2; }

    explicit CutGrid(const ScratchDir& dir) {
        cells.assign(nrows, std::vector<double>(ncols));
        for (int r = 0; r < nrows; ++r)
            for (int c = 0; c < ncols; ++c) {
                cells[r][c] = std::ldexp(static_cast<double>((r * 7919 + c * 104729) % 100003), -7) - 300.0;
                // No data on both sides of cuts, and at a corner where four tiles meet.
                if ((c == 3 && r % 3 == 0) || (c == 4 && r == 5) || (r == 4 && c % 4 == 1) || (r == 3 && c == 7))
                    cells[r][c] = noData;
            }
        for (int band = 0; band < 3; ++band)
            for (int column = 0; column < 3; ++column) {
                std::vector<std::vector<double>> part;
                for (int r = rowCuts[band]; r < rowCuts[band + 1]; ++r) {
                    part.emplace_back(cells[r].begin() + colCuts[column], cells[r].begin() + colCuts[column + 1]);
                    if (missing(band, column))
                        for (int c = colCuts[column]; c < colCuts[column + 1]; ++c) cells[r][c] = noData;
                }
                if (missing(band, column)) continue;
                const double west = xll + colCuts[column] * size;
                const double south = yll + (nrows - rowCuts[band + 1]) * size;
                const auto path = dir / ("tile_" + std::to_string(band) + std::to_string(column) + ".asc");
                writeFile(path, gridText(part, west, south, size, band == 0 && column == 0, band == 2 ? 2 : 1));
                tiles.push_back(path);
            }
        merged = dir / "merged.asc";
        writeFile(merged, gridText(cells, xll, yll, size, false));
    }
};

std::vector<TileHeader> readHeaders(const std::vector<std::filesystem::path>& paths) {
    std::vector<TileHeader> headers;
    for (const auto& path : paths) {
        TileHeader h{path, {}};
        EXPECT_EQ(readGridHeader(path, h.header), gridHeaderOk) << path;
        headers.push_back(h);
    }
    return headers;
}

GridHeader header(double xll, double yll, double size, int ncols, int nrows) {
    GridHeader h;
    h.xll = xll;
    h.yll = yll;
    h.cellsize = size;
    h.ncols = ncols;
    h.nrows = nrows;
    return h;
}

struct MergedRead {
    std::vector<Cell> cells;
    GridBodyCounts counts;
};

MergedRead readMerged(const std::filesystem::path& path, const CropWindow& window, std::int32_t lastRow,
                      const std::atomic<bool>& cancel) {
    GridHeader h;
    EXPECT_EQ(readGridHeader(path, h), gridHeaderOk);
    FileHandle file = openForReading(path);
    EXPECT_TRUE(seekTo(file.get(), h.dataStart));
    SilentProgress silent;
    MergedRead read;
    read.counts = readGridBody(file.get(), h, window, lastRow, cancel, silent,
                               [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                   read.cells.push_back({row, col, std::bit_cast<std::uint64_t>(value), inWindow});
                               });
    return read;
}

struct NoProgress final : SetProgress {};

TEST(TileSets, TilesReadExactlyTheMergedGridsCropReads) {
    ScratchDir dir;
    const CutGrid grid(dir);
    const TileSetPlan plan = planTileSet(readHeaders(grid.tiles));
    ASSERT_EQ(plan.tiles.size(), 8u);
    EXPECT_TRUE(plan.alone.empty());
    EXPECT_EQ(plan.merged.ncols, CutGrid::ncols);
    EXPECT_EQ(plan.merged.nrows, CutGrid::nrows);
    EXPECT_EQ(plan.merged.xll, CutGrid::xll);  // from a tile given by its centre
    EXPECT_EQ(plan.merged.yll, CutGrid::yll);
    EXPECT_EQ(plan.merged.xllIsCenter, 0);

    // The first pass on two workers, then each tile with only the index file at hand.
    std::atomic<bool> cancel{false};
    NoProgress quiet;
    std::vector<char> opened;
    const SeamIndex collected = collectSetSeams(plan, seamDepth, 2, cancel, quiet, opened);
    EXPECT_EQ(std::count(opened.begin(), opened.end(), 1), 8);
    ASSERT_EQ(writeSeamFile(dir / "set.seams", collected), SeamFileResult::ok);

    for (const SetTile& tile : plan.tiles) {
        SeamIndex index;
        ASSERT_EQ(readSeamFile(dir / "set.seams", index, &tile.window), SeamFileResult::ok);
        const CropWindow window = mergedCropWindow(tile.window);
        const std::int32_t below = std::min(window.yMax + 1, CutGrid::nrows);
        TileCellSource source(tile, index);  // read twice, as a builder that reads the body again does
        for (const std::int32_t lastRow : {window.yMax, below}) {
            SCOPED_TRACE(tile.path.filename().string() + " last row " + std::to_string(lastRow));
            Recorder got;
            SilentProgress silent;
            const GridBodyCounts counts = source.read(window, lastRow, cancel, silent, got);
            const MergedRead expected = readMerged(grid.merged, window, lastRow, cancel);
            EXPECT_EQ(got.cells, expected.cells);
            EXPECT_EQ(counts.rowsRead, expected.counts.rowsRead);
            EXPECT_EQ(counts.recordsRead, expected.counts.recordsRead);
            EXPECT_EQ(counts.noDataCount, expected.counts.noDataCount);
        }
        // Two lines deep: read for its own window, the one-cell ring as above; read for
        // the window widened by one, the merged grid's read of that window.
        TileCellSource deep(tile, index, 2);
        const CropWindow wide{std::max(window.xMin - 1, 1), std::max(window.yMin - 1, 1),
                              std::min(window.xMax + 1, CutGrid::ncols), std::min(window.yMax + 1, CutGrid::nrows)};
        for (const CropWindow& read : {window, wide}) {
            Recorder got;
            SilentProgress silent;
            deep.read(read, CutGrid::nrows, cancel, silent, got);
            EXPECT_EQ(got.cells, readMerged(grid.merged, read, CutGrid::nrows, cancel).cells) << tile.path.filename();
        }
    }

    // A cancel request before reading: nothing is handed over, as from the merged file.
    cancel = true;
    TileCellSource source(plan.tiles[4], collected);
    Recorder got;
    SilentProgress silent;
    source.read(mergedCropWindow(plan.tiles[4].window), CutGrid::nrows, cancel, silent, got);
    EXPECT_TRUE(got.cells.empty());
}

TEST(TileSets, PlanningWarnsAboutTilesThatCannotJoin) {
    // The first input lies off the lattice, so the set is measured from the larger group after it.
    const std::vector<TileHeader> inputs{
        {"off.asc", header(104.25, 0.0, 1.0, 4, 3)},        {"a.asc", header(100.0, 0.0, 1.0, 4, 3)},
        {"b.asc", header(104.0 + 1e-8, 0.0, 1.0, 2, 3)},     // on the lattice within a millionth
        {"c.asc", header(100.0, 3.0, 2.0, 4, 3)},            // another cell size
        {"d.asc", header(101.0, 1.0, 1.0, 2, 2)},            // inside a.asc
        {"e.asc", header(106.0, -5.0, 1.0000000001, 1, 1)},  // same size within 1e-9, below a gap
    };
    const TileSetPlan plan = planTileSet(inputs);
    ASSERT_EQ(plan.tiles.size(), 3u);
    EXPECT_EQ(plan.tiles[0].path, "a.asc");
    EXPECT_EQ(plan.tiles[1].path, "b.asc");
    EXPECT_EQ(plan.tiles[2].path, "e.asc");
    EXPECT_EQ(plan.merged.ncols, 7);
    EXPECT_EQ(plan.merged.nrows, 8);
    EXPECT_EQ(plan.merged.xll, 100.0);
    EXPECT_EQ(plan.merged.yll, -5.0);
    EXPECT_EQ(plan.tiles[0].window, (TileWindow{0, 0, 3, 4}));
    EXPECT_EQ(plan.tiles[1].window, (TileWindow{0, 4, 3, 2}));
    EXPECT_EQ(plan.tiles[2].window, (TileWindow{7, 6, 1, 1}));

    ASSERT_EQ(plan.alone.size(), 3u);
    EXPECT_EQ(plan.alone[0].path, "d.asc");
    EXPECT_EQ(plan.alone[0].reason, AloneReason::overlaps);
    EXPECT_EQ(aloneReasonText(plan.alone[0]), "'d.asc' overlaps 'a.asc'");
    EXPECT_EQ(plan.alone[1].path, "off.asc");
    EXPECT_EQ(aloneReasonText(plan.alone[1]), "'off.asc' lies 0.25 cells off the set's lattice");
    EXPECT_EQ(plan.alone[2].path, "c.asc");
    EXPECT_EQ(aloneReasonText(plan.alone[2]), "'c.asc' has another cell size (2) than the set");

    // Against an index's merged grid: on its lattice but not listed, and off it.
    const TileSetPlan placed =
        placeOnMergedGrid(plan.merged, {plan.tiles[1].window},
                          {{"b.asc", inputs[2].header}, {"a.asc", inputs[1].header}, {"off.asc", inputs[0].header}});
    ASSERT_EQ(placed.tiles.size(), 1u);
    EXPECT_EQ(placed.tiles[0].window, plan.tiles[1].window);
    ASSERT_EQ(placed.alone.size(), 2u);
    EXPECT_EQ(placed.alone[0].reason, AloneReason::notInIndex);
    EXPECT_EQ(placed.alone[1].reason, AloneReason::offLattice);
}

// The merged grid is measured from the westernmost and southernmost tiles
// wherever they come in the inputs: every order of three tiles (east before
// west, north before south) gives the same origin and windows.
TEST(TileSets, PlansInAnyOrderGiveTheSameMergedGrid) {
    const std::vector<TileHeader> tiles{{"ne.asc", header(104.0, 3.0, 1.0, 4, 3)},
                                        {"nw.asc", header(100.0, 3.0, 1.0, 4, 3)},
                                        {"sw.asc", header(100.0, 0.0, 1.0, 4, 3)}};
    std::vector<std::size_t> order{0, 1, 2};
    do {
        std::vector<TileHeader> inputs;
        for (const std::size_t i : order) inputs.push_back(tiles[i]);
        SCOPED_TRACE(inputs[0].path.string() + " " + inputs[1].path.string() + " " + inputs[2].path.string());
        const TileSetPlan plan = planTileSet(inputs);
        EXPECT_EQ(plan.merged.xll, 100.0);
        EXPECT_EQ(plan.merged.yll, 0.0);
        EXPECT_EQ(plan.merged.ncols, 8);
        EXPECT_EQ(plan.merged.nrows, 6);
        ASSERT_EQ(plan.tiles.size(), 3u);
        for (const SetTile& tile : plan.tiles) {
            const TileWindow expected = tile.path == "ne.asc"   ? TileWindow{0, 4, 3, 4}
                                        : tile.path == "nw.asc" ? TileWindow{0, 0, 3, 4}
                                                                : TileWindow{3, 0, 3, 4};
            EXPECT_EQ(tile.window, expected) << tile.path;
        }
    } while (std::next_permutation(order.begin(), order.end()));
}

// Tiles wider and taller than the border lines on both sides (the first pass
// skips their inner cells early), down to one inner cell: every stored border
// cell holds the file's value bit for bit (no data as such), and every
// border cell is stored.
TEST(TileSets, WideTilesKeepEveryBorderCellAsTheFileHasIt) {
    ScratchDir dir;
    const std::atomic<bool> cancel{false};
    SilentProgress silent;
    for (const auto& [ncols, nrows] : {std::pair{9, 7}, std::pair{5, 5}, std::pair{6, 11}}) {
        std::vector<std::vector<double>> rows(static_cast<std::size_t>(nrows));
        for (int r = 0; r < nrows; ++r)
            for (int c = 0; c < ncols; ++c)
                rows[r].push_back((r * 5 + c) % 7 == 3 ? noData : std::ldexp(r * 131 + c * 17 + 1, -3) - 40.0);
        const auto path = dir / ("wide_" + std::to_string(ncols) + "x" + std::to_string(nrows) + ".asc");
        writeFile(path, gridText(rows, 0.0, 0.0, 1.0, false));
        SCOPED_TRACE(path.filename().string());
        SetTile tile{path, {}, TileWindow{0, 0, nrows, ncols}};
        ASSERT_EQ(readGridHeader(path, tile.header), gridHeaderOk);
        SeamTile seams;
        ASSERT_TRUE(collectTileSeams(tile, seamDepth, cancel, silent, seams).opened);
        std::int64_t stored = 0;
        for (int r = 0; r < nrows; ++r) {
            for (int c = 0; c < ncols; ++c) {
                SCOPED_TRACE(std::to_string(r) + "," + std::to_string(c));
                const bool border = r < seamDepth || r >= nrows - seamDepth || c < seamDepth || c >= ncols - seamDepth;
                const std::int64_t slot = borderSlot(tile.window, seamDepth, r, c);
                EXPECT_EQ(slot >= 0, border);
                if (slot < 0) continue;
                ++stored;
                const double value = seams.border[static_cast<std::size_t>(slot)];
                if (rows[r][c] == noData)
                    EXPECT_TRUE(isSeamNoData(value));
                else
                    EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(rows[r][c]));
            }
        }
        EXPECT_EQ(stored, borderCellCount(tile.window, seamDepth));
        EXPECT_EQ(seams.border.size(), static_cast<std::size_t>(stored));
    }
}

TEST(TileSets, SeamFileRoundTripsBitForBitAndRefusesDamage) {
    ScratchDir dir;
    SeamIndex index;
    index.merged = header(-1.5e6, 7.25, 0.1, 5, 6);
    index.merged.hasNodata = 1;
    index.merged.nodataValue = -32768.0;
    index.merged.dataStart = -1;
    const double specials[] = {-0.0, 4.9e-324, -1.7976931348623157e308, 0.1, seamNoData, 1e-300};
    const TileWindow windows[] = {{0, 0, 3, 5}, {3, 0, 3, 2}, {3, 2, 3, 3}};
    const char* names[] = {"h\xC3\xB6he.asc", "t1.asc", "t2.asc"};
    for (int t = 0; t < 3; ++t) {
        SeamTile tile;
        tile.name = names[t];
        tile.window = windows[t];
        tile.zMin = -0.0;
        tile.zMax = 1e300;
        tile.fileBytes = 1234567890123ull + t;
        tile.modified = -1700000000123456789 + t;
        for (std::int64_t i = 0; i < borderCellCount(tile.window, index.depth); ++i)
            tile.border.push_back(specials[(i + t) % 6] * (i % 7 == 3 ? -1.0 : 1.0));
        index.tiles.push_back(tile);
    }
    const auto path = dir / "set.seams";
    ASSERT_EQ(writeSeamFile(path, index), SeamFileResult::ok);
    SeamIndex back;
    ASSERT_EQ(readSeamFile(path, back), SeamFileResult::ok);
    EXPECT_EQ(back.depth, index.depth);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back.merged.xll), std::bit_cast<std::uint64_t>(index.merged.xll));
    EXPECT_EQ(back.merged.ncols, 5);
    EXPECT_EQ(back.merged.nodataValue, -32768.0);
    ASSERT_EQ(back.tiles.size(), 3u);
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(back.tiles[t].name, index.tiles[t].name);
        EXPECT_EQ(back.tiles[t].window, index.tiles[t].window);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(back.tiles[t].zMin), std::bit_cast<std::uint64_t>(-0.0));
        EXPECT_EQ(back.tiles[t].fileBytes, index.tiles[t].fileBytes);
        EXPECT_EQ(back.tiles[t].modified, index.tiles[t].modified);
        EXPECT_EQ(back.tiles[t].borderHash, seamBorderHash(index.tiles[t].border));
        ASSERT_EQ(back.tiles[t].border.size(), index.tiles[t].border.size());
        for (std::size_t i = 0; i < back.tiles[t].border.size(); ++i)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(back.tiles[t].border[i]),
                      std::bit_cast<std::uint64_t>(index.tiles[t].border[i]));
    }

    // Near a window only the tiles within the depth get their borders.
    const TileWindow farCorner{5, 4, 1, 1};
    ASSERT_EQ(readSeamFile(path, back, &farCorner), SeamFileResult::ok);
    EXPECT_TRUE(back.tiles[0].border.empty());
    EXPECT_TRUE(back.tiles[1].border.empty());
    EXPECT_FALSE(back.tiles[2].border.empty());

    const std::string bytes = testing_support::readFile(path);
    auto damaged = [&](std::string altered) {
        writeFile(dir / "bad.seams", altered);
        SeamIndex ignored;
        return readSeamFile(dir / "bad.seams", ignored);
    };
    std::string flipped = bytes;
    flipped[flipped.size() - 20] ^= 0x01;  // a value
    EXPECT_EQ(damaged(flipped), SeamFileResult::damaged);
    flipped = bytes;
    flipped[80] ^= 0x01;  // the table
    EXPECT_EQ(damaged(flipped), SeamFileResult::damaged);
    EXPECT_EQ(damaged(bytes.substr(0, bytes.size() - 1)), SeamFileResult::damaged);
    EXPECT_EQ(damaged(bytes.substr(0, 30)), SeamFileResult::damaged);
    EXPECT_EQ(damaged("ncols 5\n"), SeamFileResult::notSeams);
    std::string later = bytes;
    later[8] = 3;
    EXPECT_EQ(damaged(later), SeamFileResult::newVersion);
    later[8] = 1;  // before tiles were stamped
    EXPECT_EQ(damaged(later), SeamFileResult::oldVersion);
    SeamIndex ignored;
    EXPECT_EQ(readSeamFile(dir / "none.seams", ignored), SeamFileResult::unopenable);
}

// Each vertex as its lines: "v" with its "vt" and "vn" when they are one per vertex.
std::set<std::string> vertexLines(const std::filesystem::path& obj) {
    std::istringstream text(testing_support::readFile(obj));
    std::vector<std::string> v, vt, vn;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("v ", 0) == 0) v.push_back(line);
        if (line.rfind("vt ", 0) == 0) vt.push_back(line);
        if (line.rfind("vn ", 0) == 0) vn.push_back(line);
    }
    std::set<std::string> lines(vn.begin(), vn.end());  // normals shared by planes stand alone
    for (std::size_t i = 0; i < v.size(); ++i)
        lines.insert(v[i] + (vt.size() == v.size() ? " | " + vt[i] : "") +
                     (vn.size() == v.size() ? " | " + vn[i] : ""));
    return lines;
}

ConversionRequest mergedRequest(const CutGrid& grid, const ConversionRequest& common,
                                const std::filesystem::path& out) {
    ConversionRequest whole = common;
    whole.inputPath = grid.merged;
    whole.outputPath = out;
    EXPECT_EQ(readGridHeader(grid.merged, whole.header), gridHeaderOk);
    whole.settings.cropXMax = CutGrid::ncols;
    whole.settings.cropYMax = CutGrid::nrows;
    return whole;
}

// The cut grid planned as a set, its borders collected on two workers.
struct CutSet {
    ScratchDir dir;
    CutGrid grid{dir};
    TileSetPlan plan = planTileSet(readHeaders(grid.tiles));
    SeamIndex index;
    CutSet() {
        std::atomic<bool> cancel{false};
        NoProgress quiet;
        std::vector<char> opened;
        index = collectSetSeams(plan, seamDepth, 2, cancel, quiet, opened);
    }
};

TEST(TileSets, EveryTileHasTheMergedGridsVerticesOfItsCorners) {
    const CutSet set;
    const ScratchDir& dir = set.dir;
    const CutGrid& grid = set.grid;
    const TileSetPlan& plan = set.plan;
    std::atomic<bool> cancel{false};
    NoProgress quiet;

    struct Variant {
        TerrainMode mode;
        std::int32_t preset;
        bool offsets;
        double scale;
        int workers;      // tiles converted at a time
        bool attributes;  // texture coordinates over the set and vertex normals
    };
    const Variant variants[] = {{TerrainMode::Interpolated, 0, false, 1.0, 2, false},
                                {TerrainMode::Interpolated, 1, true, 2.0, 1, true},
                                {TerrainMode::Interpolated, 2, false, 0.5, 2, true},
                                {TerrainMode::FloatingPlanes, 3, true, 100.0, 2, true},
                                {TerrainMode::FloatingPlanes, 0, false, 1.0, 1, false}};
    int k = 0;
    for (const Variant& v : variants) {
        SCOPED_TRACE(k);
        ConversionRequest common;
        ConversionSettings& settings = common.settings;
        settings.mode = v.mode;
        settings.presetIndex = v.preset;
        settings.useXllYllOffsets = v.offsets;
        settings.unitScale = v.scale;
        common.attributes.uv = common.attributes.normals = v.attributes;
        const auto out = dir / ("out" + std::to_string(k++));
        std::filesystem::create_directory(out);
        const std::vector<TileJob> jobs = prepareTileJobs(plan, common, out);
        for (const TileOutcome& o : runTileJobs(jobs, &set.index, v.workers, cancel, tileConverter(), quiet))
            EXPECT_EQ(exitCode(o.exitStatus), 0);

        const ConversionRequest whole = mergedRequest(grid, common, out / "merged.obj");
        ConversionStats stats;
        SilentProgress silent;
        ASSERT_EQ(runConversion(whole, cancel, silent, stats), conversionFinished);
        const std::set<std::string> merged = vertexLines(whole.outputPath);

        std::set<std::string> fromTiles;
        for (const TileJob& job : jobs)
            for (const std::string& line : vertexLines(job.request.outputPath)) {
                EXPECT_TRUE(merged.count(line)) << job.request.inputPath.filename() << ": " << line;
                fromTiles.insert(line);
            }
        EXPECT_EQ(fromTiles, merged);
    }
}

// The corners (0-based, north-west first) of each job's output, every vertex
// checked against the merged grid's full mesh `full` (offsets, preset 0, scale 1).
std::vector<std::set<std::pair<int, int>>> keptCorners(const std::vector<TileJob>& jobs,
                                                       const std::set<std::string>& full, std::size_t& total) {
    std::vector<std::set<std::pair<int, int>>> kept(jobs.size());
    total = 0;
    for (std::size_t t = 0; t < jobs.size(); ++t)
        for (const std::string& line : vertexLines(jobs[t].request.outputPath)) {
            EXPECT_TRUE(full.count(line)) << jobs[t].request.outputPath.filename() << ": " << line;
            if (line.rfind("v ", 0) != 0) continue;  // a normal line of its own
            double x = 0, y = 0;
            EXPECT_EQ(std::sscanf(line.c_str(), "v %lf %lf", &x, &y), 2);
            const double top = CutGrid::yll + CutGrid::nrows * CutGrid::size;
            kept[t].insert({static_cast<int>(std::lround((top - y) / CutGrid::size)),
                            static_cast<int>(std::lround((x - CutGrid::xll) / CutGrid::size))});
            ++total;
        }
    return kept;
}

// A corner one tile keeps is kept by every tile with data beside it.
void expectSeamCornersAlike(const CutGrid& grid, const std::vector<TileJob>& jobs,
                            const std::vector<TileWindow>& windows,
                            const std::vector<std::set<std::pair<int, int>>>& kept) {
    auto hasData = [&](const TileWindow& w, int row, int col) {
        return row >= w.rowOffset && row < w.rowOffset + w.nrows && col >= w.colOffset && col < w.colOffset + w.ncols &&
               grid.cells[row][col] != noData;
    };
    for (std::size_t a = 0; a < jobs.size(); ++a)
        for (const auto& [r, c] : kept[a])
            for (std::size_t b = 0; b < jobs.size(); ++b) {
                const TileWindow& w = windows[b];
                if (b == a ||
                    !(hasData(w, r - 1, c - 1) || hasData(w, r - 1, c) || hasData(w, r, c - 1) || hasData(w, r, c)))
                    continue;
                EXPECT_TRUE(kept[b].count({r, c}))
                    << jobs[a].request.outputPath.filename() << " keeps corner " << r << "," << c << ", "
                    << jobs[b].request.outputPath.filename() << " does not";
            }
}

// Simplified tiles: every vertex is a corner of the merged grid's full mesh,
// and a corner on a tile's edge is kept alike by every tile with data beside it
// (no crack, no T-junction along a seam).
TEST(TileSets, SimplifiedTilesKeepTheSameSeamCorners) {
    const CutSet set;
    const ScratchDir& dir = set.dir;
    const CutGrid& grid = set.grid;
    std::atomic<bool> cancel{false};
    NoProgress quiet;
    ConversionRequest common;
    common.settings.useXllYllOffsets = true;  // preset 0, scale 1: x, y are the map position
    // The merged grid's full mesh, plain and with texture coordinates and normals.
    std::set<std::string> fullMeshes[2];
    for (int attributes = 0; attributes < 2; ++attributes) {
        common.attributes.uv = common.attributes.normals = attributes == 1;
        const ConversionRequest whole = mergedRequest(grid, common, dir / "merged.obj");
        ConversionStats stats;
        SilentProgress silent;
        ASSERT_EQ(runConversion(whole, cancel, silent, stats), conversionFinished);
        fullMeshes[attributes] = vertexLines(whole.outputPath);
    }

    for (const double maxError : {0.0, 40.0, 1e9}) {
        SCOPED_TRACE(maxError);
        common.maxError = maxError;
        // With normals the tiles read a wider ring: their lines and checks must still be the merged grid's.
        common.attributes.uv = common.attributes.normals = maxError == 40.0;
        const std::set<std::string>& full = fullMeshes[maxError == 40.0];
        const auto out = dir / ("e" + std::to_string(static_cast<int>(std::min(maxError, 1e6))));
        std::filesystem::create_directory(out);
        const std::vector<TileJob> jobs = prepareTileJobs(set.plan, common, out);
        for (const TileOutcome& o : runTileJobs(jobs, &set.index, 2, cancel, tileConverter(), quiet))
            ASSERT_EQ(exitCode(o.exitStatus), 0);
        std::size_t total = 0;
        const auto kept = keptCorners(jobs, full, total);
        if (maxError > 1e6) {
            EXPECT_LT(total, full.size() / 2);
        }
        std::vector<TileWindow> windows;
        for (const TileJob& job : jobs) windows.push_back(job.tile->window);
        expectSeamCornersAlike(grid, jobs, windows, kept);
    }
}

// One grid cut by --tile-size: every tile is the whole grid's mesh over its
// window (both modes, attributes, offsets), and simplified tiles keep their
// seam corners alike; the names sort in reading order.
TEST(TileSets, AGridCutIntoTilesMeetsAsTheWholeGrid) {
    ScratchDir dir;
    const CutGrid grid(dir);
    TileHeader input{grid.merged, {}};
    ASSERT_EQ(readGridHeader(grid.merged, input.header), gridHeaderOk);
    std::atomic<bool> cancel{false};
    NoProgress quiet;
    const GridTiling tiling = tileGrid(CutGrid::ncols, CutGrid::nrows, {4, 3});  // the last column 3 wide
    ASSERT_EQ(tiling.tileCols, 3);
    ASSERT_EQ(tiling.tileRows, 3);
    struct Variant {
        TerrainMode mode;
        bool offsets;
        bool attributes;
        double maxError;  // below zero: not simplified
    };
    const Variant variants[] = {{TerrainMode::Interpolated, false, true, -1.0},
                                {TerrainMode::FloatingPlanes, true, true, -1.0},
                                {TerrainMode::Interpolated, true, true, 40.0},
                                {TerrainMode::Interpolated, true, false, 1e9}};
    int k = 0;
    for (const Variant& v : variants) {
        SCOPED_TRACE(k);
        ConversionRequest common;
        common.settings.mode = v.mode;
        common.settings.useXllYllOffsets = v.offsets;
        common.attributes.uv = common.attributes.normals = v.attributes;
        const auto out = dir / ("cut" + std::to_string(k++));
        std::filesystem::create_directory(out);
        const std::set<std::string> full = vertexLines([&] {
            const ConversionRequest whole = mergedRequest(grid, common, out / "whole.obj");
            ConversionStats stats;
            SilentProgress silent;
            EXPECT_EQ(runConversion(whole, cancel, silent, stats), conversionFinished);
            return whole.outputPath;
        }());
        if (v.maxError >= 0.0) common.maxError = v.maxError;
        const std::vector<TileJob> jobs = prepareGridTileJobs(input, tiling, common, out);
        ASSERT_EQ(jobs.size(), 9u);
        EXPECT_EQ(jobs[5].request.outputPath, out / "merged_r2_c3.obj");
        for (const TileOutcome& o : runTileJobs(jobs, nullptr, 2, cancel, tileConverter(), quiet))
            EXPECT_EQ(exitCode(o.exitStatus), 0);
        if (v.maxError < 0.0) {
            std::set<std::string> fromTiles;
            for (const TileJob& job : jobs) {
                const std::set<std::string> lines = vertexLines(job.request.outputPath);
                fromTiles.insert(lines.begin(), lines.end());
            }
            EXPECT_EQ(fromTiles, full);
            continue;
        }
        std::size_t total = 0;
        const auto kept = keptCorners(jobs, full, total);
        std::vector<TileWindow> windows;
        for (const TileJob& job : jobs) {
            const ConversionSettings& s = job.request.settings;
            windows.push_back(
                {s.cropYMin - 1, s.cropXMin - 1, s.cropYMax - s.cropYMin + 1, s.cropXMax - s.cropXMin + 1});
        }
        expectSeamCornersAlike(grid, jobs, windows, kept);
    }
    // One cell a tile: 9 rows, 11 columns; one tile alone is that tile's job.
    const GridTiling cells = tileGrid(CutGrid::ncols, CutGrid::nrows, {1, 1});
    const std::vector<TileJob> all = prepareGridTileJobs(input, cells, {}, dir.path());
    ASSERT_EQ(all.size(), 99u);
    EXPECT_EQ(all.front().request.outputPath.filename(), "merged_r1_c01.obj");
    EXPECT_EQ(all[10].request.outputPath.filename(), "merged_r1_c11.obj");
    for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LT(all[i - 1].request.outputPath, all[i].request.outputPath);
    const std::vector<TileJob> one = prepareGridTileJobs(input, cells, {}, dir.path(), 9, 2);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].request.outputPath, all[89].request.outputPath);
    EXPECT_EQ(tileGrid(5, 4, {7, 9}).size.cols, 5);  // larger than the grid: one tile
}

// The first pass in pieces (one a tile, read in any order) merges into the
// whole set's index; one tile's borders come only from the pieces near it; a
// neighbour's file with no piece is found, a missing file is a hole.
TEST(TileSets, SeamPiecesMergeIntoTheWholeSetsIndex) {
    const CutSet set;
    const ScratchDir& dir = set.dir;
    std::filesystem::create_directory(dir / "pieces");
    std::atomic<bool> cancel{false};
    NoProgress quiet;
    for (const SetTile& tile : set.plan.tiles) {
        std::vector<char> opened;
        const SeamIndex piece =
            collectSetSeams(planOneTile({tile.path, tile.header}), seamDepth, 1, cancel, quiet, opened);
        ASSERT_EQ(writeSeamFile(dir / "pieces" / (tile.path.stem().string() + ".seams"), piece), SeamFileResult::ok);
    }
    // Backwards, so that the first piece read is neither the westernmost nor the southernmost.
    std::vector<std::filesystem::path> files = listSeamPieces({dir / "pieces", dir / "pieces" / "tile_00.seams"});
    ASSERT_EQ(files.size(), set.plan.tiles.size());
    std::reverse(files.begin(), files.end());
    SeamPieces pieces;
    ASSERT_EQ(readSeamPieceTables(files, pieces).result, SeamPiecesResult::ok);
    const SeamIndex& merged = pieces.index;
    EXPECT_EQ(merged.merged.ncols, set.index.merged.ncols);
    EXPECT_EQ(merged.merged.nrows, set.index.merged.nrows);
    EXPECT_EQ(merged.merged.xll, set.index.merged.xll);
    EXPECT_EQ(merged.merged.yll, set.index.merged.yll);
    const auto recorded = [&](const SeamTile& tile) {
        for (const SeamTile& whole : set.index.tiles)
            if (whole.name == tile.name) return whole;
        ADD_FAILURE() << tile.name;
        return SeamTile{};
    };
    // The middle tile of the west column: its neighbours' borders only.
    const TileWindow middle = set.index.tiles[3].window;
    ASSERT_EQ(loadSeamPieceBorders(pieces, &middle).result, SeamPiecesResult::ok);
    std::size_t loaded = 0;
    for (const SeamTile& tile : merged.tiles) {
        EXPECT_EQ(tile.window, recorded(tile).window) << tile.name;
        if (tile.border.empty()) continue;
        ++loaded;
        EXPECT_EQ(seamBorderHash(tile.border), recorded(tile).borderHash) << tile.name;
    }
    EXPECT_EQ(loaded, 6u);  // itself, north, north-east, east, south and south-east
    ASSERT_EQ(loadSeamPieceBorders(pieces, nullptr).result, SeamPiecesResult::ok);
    for (const SeamTile& tile : merged.tiles)
        EXPECT_EQ(seamBorderHash(tile.border), recorded(tile).borderHash) << tile.name;

    // Without tile_01's piece, its file is the missing neighbour of tile_00, unless it is gone too.
    const SetTile& northWest = set.plan.tiles[0];
    std::filesystem::remove(dir / "pieces" / "tile_01.seams");
    ASSERT_EQ(readSeamPieceTables(listSeamPieces({dir / "pieces"}), pieces).result, SeamPiecesResult::ok);
    EXPECT_EQ(unindexedNeighbour(pieces.index, northWest.path, northWest.window, 1), dir / "tile_01.asc");
    EXPECT_EQ(unindexedNeighbour(pieces.index, set.plan.tiles[6].path, set.plan.tiles[6].window, 2), "");
    std::filesystem::remove(dir / "tile_01.asc");
    EXPECT_EQ(unindexedNeighbour(pieces.index, northWest.path, northWest.window, 1), "");

    // Pieces of another set refuse to join.
    SeamIndex other;
    ASSERT_EQ(readSeamFile(dir / "pieces" / "tile_00.seams", other), SeamFileResult::ok);
    for (const auto& [change, result] :
         {std::pair{0.25, SeamPiecesResult::offLattice}, {1.0, SeamPiecesResult::cellSize}}) {
        SeamIndex moved = other;
        if (change == 1.0)
            moved.merged.cellsize *= 2.0;
        else
            moved.merged.xll += change * moved.merged.cellsize;
        ASSERT_EQ(writeSeamFile(dir / "other.seams", moved), SeamFileResult::ok);
        EXPECT_EQ(readSeamPieceTables({dir / "pieces" / "tile_02.seams", dir / "other.seams"}, pieces).result, result);
    }
    EXPECT_EQ(readSeamPieceTables({dir / "pieces" / "tile_00.seams", dir / "pieces" / "tile_00.seams"}, pieces).result,
              SeamPiecesResult::overlap);
}

// A grid cut by --tile-size reads each tile from the offsets of its columns:
// the same cells and counts as the crop read from the grid's start, for every
// tile's window and its widened one; a grid that is not plain (a row over two
// lines, a word, a short body) is read from the start instead.
TEST(TileSets, TilesReadFromColumnOffsetsGetTheCropReadsCells) {
    ScratchDir dir;
    const std::string head = "ncols 7\nnrows 5\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9999\n";
    const std::string rows[5] = {"1 2.5 -3 4e2 5 6 7", "  8\t9 NaN -9999 12 13 +14  ", "15 16 17 18 19 20 21",
                                 "22 23 24 25 26 27 28", "29 30 31 32 33 34 35"};
    const auto body = [&](const char* join, const char* last) {
        std::string text;
        for (int r = 0; r < 5; ++r) text += rows[r] + (r == 2 ? "\n\n \r\n" : "") + (r < 4 ? join : last);
        return text;
    };
    const struct {
        std::string text;
        bool plain;
    } grids[] = {
        {head + body("\n", "\n"), true},
        {head + body("\r\n", ""), true},
        {(head + body("\n", "\n")).replace(head.size() + 2, 1, "\n"), false},   // row 1 over two lines
        {(head + body("\n", "\n")).replace(head.size() + 4, 3, "abc"), false},  // a word
        {(head + body("\n", "\n")).replace(head.size() + 4, 3, "1e999"), false},
        {(head + body("\n", "\n")).substr(0, head.size() + 60), false},  // short
    };
    std::atomic<bool> cancel{false};
    int k = 0;
    for (const auto& grid : grids) {
        SCOPED_TRACE(k);
        const auto path = dir / ("g" + std::to_string(k++) + ".asc");
        writeFile(path, grid.text);
        GridHeader h;
        ASSERT_EQ(readGridHeader(path, h), gridHeaderOk);
        const GridTiling tiling = tileGrid(h.ncols, h.nrows, {3, 2});
        const GridCuts cuts = indexGridCuts(path, h, tilingCutColumns(tiling), 1, h.nrows, cancel);
        EXPECT_EQ(cuts.plain, grid.plain);
        const GridCutCellSource source(path, h, cuts);
        for (std::int32_t row = 1; row <= tiling.tileRows; ++row)
            for (std::int32_t col = 1; col <= tiling.tileCols; ++col)
                for (const std::int32_t widen : {0, 1}) {
                    const CropWindow t = gridTileWindow(tiling, row, col);
                    const CropWindow w{std::max(t.xMin - widen, 1), std::max(t.yMin - widen, 1),
                                       std::min(t.xMax + widen, h.ncols), std::min(t.yMax + widen, h.nrows)};
                    const std::int32_t lastRow = std::min(w.yMax + 1, h.nrows);
                    const MergedRead crop = readMerged(path, w, lastRow, cancel);
                    Recorder got;
                    SilentProgress silent;
                    const GridBodyCounts counts = source.read(w, lastRow, cancel, silent, got);
                    EXPECT_EQ(got.cells, crop.cells) << row << "," << col << " widened " << widen;
                    EXPECT_EQ(counts.rowsRead, crop.counts.rowsRead);
                    EXPECT_EQ(counts.recordsRead, crop.counts.recordsRead);
                    EXPECT_EQ(counts.noDataCount, crop.counts.noDataCount);
                }
    }
}

TEST(TileSets, SetRunKeepsGoingPastAFailureAndReportsTheWorst) {
    ScratchDir dir;
    const CutGrid grid(dir);
    std::vector<TileHeader> inputs = readHeaders(grid.tiles);
    inputs.push_back({dir / "coarse.asc", header(0.0, 0.0, 3.0, 2, 2)});  // alone, and its file is missing
    const TileSetPlan plan = planTileSet(inputs);
    ASSERT_EQ(plan.alone.size(), 1u);
    std::atomic<bool> cancel{false};
    NoProgress quiet;
    std::vector<char> opened;
    const SeamIndex index = collectSetSeams(plan, seamDepth, 2, cancel, quiet, opened);

    ConversionRequest common;
    common.settings.presetIndex = 1;
    const std::vector<TileJob> jobs = prepareTileJobs(plan, common, dir.path() / "out");
    ASSERT_EQ(jobs.size(), 9u);
    EXPECT_EQ(jobs[0].request.outputPath, dir.path() / "out" / "tile_00.obj");
    EXPECT_EQ(jobs[3].request.header.ncols, CutGrid::ncols);  // placed in the merged grid
    EXPECT_EQ(jobs[8].request.header.ncols, 2);               // alone: its own grid

    // A stand-in converter: reads the cells, fails one tile, and counts how many run at once.
    std::atomic<int> running{0}, mostAtOnce{0};
    const TileConverter convert = [&](const ConversionRequest& request, CellSource* cells, std::atomic<bool>&,
                                      ProgressReporter& progress, ConversionStats& stats) {
        const int now = ++running;
        for (int seen = mostAtOnce; now > seen && !mostAtOnce.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        --running;
        if (cells == nullptr) return conversionInputUnreadable;
        if (request.inputPath.filename() == "tile_11.asc") return conversionOutputUncreatable;
        Recorder sink;
        const ConversionSettings& s = request.settings;
        const CropWindow window{s.cropXMin, s.cropYMin, s.cropXMax, s.cropYMax};
        std::atomic<bool> noCancel{false};
        const GridBodyCounts counts = cells->read(window, window.yMax, noCancel, progress, sink);
        stats.status =
            counts.recordsRead == std::int64_t{window.xMax - window.xMin + 1} * (window.yMax - window.yMin + 1) ? 1 : 0;
        stats.quadCount = counts.recordsRead - counts.noDataCount;
        return conversionFinished;
    };
    const std::vector<TileOutcome> outcomes = runTileJobs(jobs, &index, 2, cancel, convert, quiet);
    ASSERT_EQ(outcomes.size(), jobs.size());
    EXPECT_EQ(mostAtOnce.load(), 2);
    int worst = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const bool failing = jobs[i].request.inputPath.filename() == "tile_11.asc";
        EXPECT_TRUE(outcomes[i].started);
        EXPECT_EQ(exitCode(outcomes[i].exitStatus), i == 8 ? 3 : failing ? 4 : 0) << jobs[i].request.inputPath;
        worst = std::max(worst, exitCode(outcomes[i].exitStatus));
    }
    EXPECT_EQ(worst, 4);
    const std::string table = tileTableText(jobs, outcomes);
    EXPECT_NE(table.find("tile_11.asc"), std::string::npos);
    EXPECT_NE(table.find("Can't create output file..."), std::string::npos);
    EXPECT_NE(table.find("Can't open input file..."), std::string::npos);
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 10);

    // Cancelled before the run: nothing starts, every tile reports the cancel.
    cancel = true;
    for (const TileOutcome& o : runTileJobs(jobs, &index, 2, cancel, convert, quiet)) {
        EXPECT_FALSE(o.started);
        EXPECT_EQ(exitCode(o.exitStatus), 130);
    }
}

}  // namespace
