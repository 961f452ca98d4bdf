// The builders against their previous, single-threaded versions: every byte
// of the OBJ file (apart from the clock in header line 4), the result, the
// statistics, the stages and the progress steps, on real grids and on
// generated ones, in every way the pipeline can run, also when cancelled.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "conversion_fixture.h"
#include "reference_builders.h"

using namespace morvale;
using namespace testing_support;

namespace {

using Builder =
    std::function<ConversionResult(const ConversionRequest&, std::atomic<bool>&, ProgressReporter&, ConversionStats&)>;

// Records stages and steps, and raises the cancel flag in stage `cancelAt`
// (1-based; 0 never) once it has made `cancelAfter` steps.
class PlannedCancel final : public ProgressReporter {
public:
    PlannedCancel(std::atomic<bool>& cancel, int cancelAt, int cancelAfter)
        : cancel_(cancel), cancelAt_(cancelAt), cancelAfter_(cancelAfter) {}
    void showPreparing() override { events.push_back("preparing"); }
    void beginStage(std::string_view text, int step) override {
        events.push_back(std::string(text) + " /" + std::to_string(step));
        steps.push_back(0);
        if (++stage_ == cancelAt_ && cancelAfter_ == 0) cancel_.store(true);
    }
    void step() override {
        if (steps.empty()) return;
        ++steps.back();
        if (stage_ == cancelAt_ && steps.back() == cancelAfter_) cancel_.store(true);
    }
    std::vector<std::string> events;
    std::vector<int> steps;

private:
    std::atomic<bool>& cancel_;
    int cancelAt_;
    int cancelAfter_;
    int stage_ = 0;
};

struct Outcome {
    ConversionResult result = 0;
    ConversionStats stats;
    std::string obj;
    std::vector<std::string> events;
    std::vector<int> steps;
};

Outcome convertWith(const Builder& build, const ConversionRequest& request, int cancelAt = 0, int cancelAfter = 0) {
    std::atomic<bool> cancel{false};
    PlannedCancel progress(cancel, cancelAt, cancelAfter);
    Outcome outcome;
    outcome.result = build(request, cancel, progress, outcome.stats);
    outcome.obj = readFile(request.outputPath);
    outcome.events = progress.events;
    outcome.steps = progress.steps;
    return outcome;
}

// The first line where two files differ, for a readable failure.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const std::size_t lineStart = a.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    return "at byte " + std::to_string(at) + ": \"" + a.substr(from, 60) + "\" / \"" + b.substr(from, 60) + "\"";
}

const struct {
    PipelineMode mode;
    const char* name;
} pipelineModes[] = {{PipelineMode::threaded, "threaded"}, {PipelineMode::inlined, "inlined"}};

Builder builderIn(PipelineMode mode) {
    return [mode](const ConversionRequest& r, std::atomic<bool>& c, ProgressReporter& p, ConversionStats& s) {
        return runConversion(r, c, p, s, mode);
    };
}

// Converts with the reference and with every pipeline mode; all must agree.
void expectSameAsBefore(const std::filesystem::path& grid, const ConversionSettings& settings, int cancelAt = 0,
                        int cancelAfter = 0) {
    ScratchDir dir;
    ConversionRequest request = requestFor(grid, dir / "reference.obj", settings);
    const Outcome expected = convertWith(reference::runConversion, request, cancelAt, cancelAfter);
    const std::string expectedObj = withoutClock(expected.obj);
    for (const auto& [mode, name] : pipelineModes) {
        SCOPED_TRACE(name);
        request.outputPath = dir / (std::string(name) + ".obj");
        const Outcome actual = convertWith(builderIn(mode), request, cancelAt, cancelAfter);
        EXPECT_EQ(actual.result, expected.result);
        const std::string actualObj = withoutClock(actual.obj);
        EXPECT_TRUE(actualObj == expectedObj) << firstDifference(expectedObj, actualObj);
        EXPECT_EQ(actual.events, expected.events);
        EXPECT_EQ(actual.steps, expected.steps);
        const ConversionStats &a = actual.stats, &e = expected.stats;
        EXPECT_EQ(a.status, e.status);
        EXPECT_EQ(a.vertexCount, e.vertexCount);
        EXPECT_EQ(a.quadCount, e.quadCount);
        EXPECT_EQ(a.triangleCount, e.triangleCount);
        EXPECT_EQ(a.noDataCount, e.noDataCount);
        EXPECT_EQ(a.rowsRead, e.rowsRead);
        EXPECT_EQ(a.recordsRead, e.recordsRead);
        EXPECT_EQ(a.rowsOk, e.rowsOk);
        EXPECT_EQ(a.recordsOk, e.recordsOk);
    }
}

// Centring on for some scales, off for the others.
bool centredAt(double scale) { return scale < 1.0; }

ConversionSettings crop(TerrainMode mode, std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax,
                        std::int32_t preset = 0, double unitScale = 1.0, bool offsets = false, bool centerZ = false) {
    ConversionSettings s;
    s.mode = mode;
    s.cropXMin = xMin;
    s.cropYMin = yMin;
    s.cropXMax = xMax;
    s.cropYMax = yMax;
    s.presetIndex = preset;
    s.unitScale = unitScale;
    s.useXllYllOffsets = offsets;
    s.centerZ = centerZ;
    return s;
}

constexpr TerrainMode bothModes[] = {TerrainMode::Interpolated, TerrainMode::FloatingPlanes};

struct GridStyle {
    bool xllCenter = false;
    bool hasNodata = true;
    int valueStyle = 0;  // 0 decimals, 1 integers and zeros, 2 extreme magnitudes
    int layout = 0;      // 0 one row per line, 1 one line, 2 rows split over lines, 3 CR LF with empty lines
};

// A grid of random values with no-data patches, written in the given style.
std::string makeGrid(int cols, int rows, std::uint64_t seed, const GridStyle& style) {
    std::mt19937_64 random(seed);
    std::string text =
        "ncols " + std::to_string(cols) + "\nnrows " + std::to_string(rows) +
        (style.xllCenter ? "\nxllcenter 1250.5\nyllcenter -80.25\n" : "\nxllcorner 1250\nyllcorner -80\n") +
        "cellsize 2.5\n" + (style.hasNodata ? "NODATA_value -9999\n" : "");
    const char* lineEnd = style.layout == 3 ? "\r\n" : "\n";
    char number[64];
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const std::uint64_t bits = random();
            const bool patch = (r / 3 + c / 4 + seed) % 7 == 0;
            if (patch || bits % 23 == 0) {
                std::snprintf(number, sizeof number, "-9999");
            } else if (style.valueStyle == 1) {
                std::snprintf(number, sizeof number, "%d", static_cast<int>(bits % 7) - 3);
            } else if (style.valueStyle == 2) {
                const double magnitudes[] = {1e-9, 4.99995e-5, 0.00015, 1e7, 123456789.98765, 1e15};
                const double m = magnitudes[bits % 6] * ((bits >> 8) % 2 ? -1 : 1);
                std::snprintf(number, sizeof number, "%.17g",
                              m * (1.0 + static_cast<double>((bits >> 16) % 1000) / 997.0));
            } else {
                std::snprintf(number, sizeof number, "%.3f",
                              static_cast<double>(static_cast<std::int64_t>(bits % 4000000) - 1000000) / 1000.0);
            }
            text += number;
            const bool splitHere = style.layout == 2 && c == cols / 2;
            text += (c + 1 < cols && !splitHere) ? " " : (c + 1 < cols ? lineEnd : "");
        }
        text += style.layout == 1 ? " " : lineEnd;
        if (style.layout == 3 && r % 4 == 1) text += lineEnd;
    }
    return text;
}

}  // namespace

TEST(PipelineEquivalence, RealGridsConvertAsBefore) {
    const std::filesystem::path folder = sharedGrid("MANIFEST.md").parent_path();
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".asc") continue;
        GridHeader header;
        if (readGridHeader(entry.path(), header) != 1) continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::int32_t nc = header.ncols, nr = header.nrows;
        for (TerrainMode mode : bothModes) {
            expectSameAsBefore(entry.path(), crop(mode, 1, 1, nc, nr));
            // Away from the edges, with offsets, centring, an odd scale and a Y-up preset.
            expectSameAsBefore(entry.path(), crop(mode, (nc + 2) / 3, (nr + 2) / 3, (2 * nc + 2) / 3, (2 * nr + 2) / 3,
                                                  1, 2.5, true, true));
            // Touching the south-east corner.
            expectSameAsBefore(entry.path(), crop(mode, (nc + 1) / 2, (nr + 1) / 2, nc, nr, 3, 100.0));
        }
        ++converted;
    }
    EXPECT_GE(converted, 10);
}

TEST(PipelineEquivalence, GeneratedGridsAcrossPresetsScalesAndCrops) {
    ScratchDir dir;
    const std::filesystem::path grid = dir / "grid.asc";
    const int cols = 29, rows = 17;
    for (int valueStyle = 0; valueStyle < 3; ++valueStyle) {
        GridStyle style;
        style.valueStyle = valueStyle;
        style.xllCenter = valueStyle == 1;
        style.hasNodata = valueStyle != 1;
        writeFile(grid, makeGrid(cols, rows, 11 + valueStyle, style));
        SCOPED_TRACE("value style " + std::to_string(valueStyle));
        for (TerrainMode mode : bothModes) {
            // Every preset, also rows outside the table, which take the default order.
            for (std::int32_t preset = -1; preset <= 6; ++preset)
                expectSameAsBefore(grid, crop(mode, 1, 1, cols, rows, preset, 1.0, preset % 2 == 0, preset > 2));
            // Odd scales, down to nothing and up to coordinates too long for any text table.
            for (double scale : {-3.0, 0.001, 1e-9, 7.25, 1e9, 1e30})
                expectSameAsBefore(grid, crop(mode, 3, 2, 20, 15, 2, scale, true, centredAt(scale)));
            // Crops touching each edge, away from them, one row, one column, one cell.
            const std::int32_t crops[][4] = {
                {1, 1, 9, 5},   {20, 1, cols, 6},         {1, 12, 8, rows},     {22, 11, cols, rows},
                {5, 4, 23, 13}, {1, 9, cols, 9},          {14, 1, 14, rows},    {7, 8, 7, 8},
                {1, 1, 1, 1},   {cols, rows, cols, rows}, {1, rows, cols, rows}};
            for (const auto& c : crops)
                expectSameAsBefore(grid, crop(mode, c[0], c[1], c[2], c[3], 4, 2.0, false, true));
        }
    }
}

TEST(PipelineEquivalence, IrregularBodiesReadTheSame) {
    ScratchDir dir;
    const std::filesystem::path grid = dir / "grid.asc";
    auto check = [&](const std::string& text) {
        writeFile(grid, text);
        for (TerrainMode mode : bothModes) {
            expectSameAsBefore(grid, crop(mode, 1, 1, 13, 9));
            expectSameAsBefore(grid, crop(mode, 3, 2, 10, 8, 5, 1.5, true, true));
        }
    };
    for (int layout = 0; layout < 4; ++layout) {
        SCOPED_TRACE("layout " + std::to_string(layout));
        GridStyle style;
        style.layout = layout;
        check(makeGrid(13, 9, 5 + layout, style));
    }
    const std::string grid13x9 = makeGrid(13, 9, 3, GridStyle{});
    // A short body, a word in the middle of a line, a nan token, extra numbers, and no final line end.
    check(grid13x9.substr(0, grid13x9.size() * 2 / 3));
    std::string broken = grid13x9;
    broken.insert(broken.find('\n', broken.size() / 2), " 12 word 7 8");
    check(broken);
    std::string withNan = grid13x9;
    withNan.replace(withNan.rfind(' ', withNan.size() / 3), 1, " NaN ");
    check(withNan);
    check(grid13x9 + "1 2 3 4 5 6\n7 8 9\n");
    check(grid13x9.substr(0, grid13x9.size() - 1));
    // A body that never starts: the header promises rows that are not there.
    check("ncols 13\nnrows 9\nxllcorner 0\nyllcorner 0\ncellsize 1\n");
    // Far fewer numbers than the window is wide: the columns they cannot reach stay empty.
    check("ncols 13\nnrows 9\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2 3 4\n");
    check("ncols 13\nnrows 9\nxllcorner 0\nyllcorner 0\ncellsize 1\n-1 2\n");
}

TEST(PipelineEquivalence, CancellingAtEveryStageAndStep) {
    ScratchDir dir;
    const std::filesystem::path grid = dir / "grid.asc";
    writeFile(grid, makeGrid(41, 33, 21, GridStyle{}));
    for (TerrainMode mode : bothModes) {
        const int stages = mode == TerrainMode::Interpolated ? 3 : 2;
        for (int stage = 1; stage <= stages; ++stage) {
            for (int steps : {0, 1, 2, 5, 9, 10}) {
                SCOPED_TRACE("stage " + std::to_string(stage) + " after " + std::to_string(steps) + " steps");
                expectSameAsBefore(grid, crop(mode, 2, 3, 40, 31), stage, steps);
            }
        }
    }
    // Tiny windows step after every line: a cancel lands between any two lines.
    for (TerrainMode mode : bothModes)
        for (int steps = 1; steps <= 12; ++steps) expectSameAsBefore(grid, crop(mode, 4, 4, 6, 5), 3, steps);
}

TEST(PipelineEquivalence, LargeGridsSpanManyChunksAndPieces) {
    ScratchDir dir;
    const std::filesystem::path grid = dir / "grid.asc";
    // About 30 MB of Floating planes output and 12 MB of Interpolated output.
    writeFile(grid, makeGrid(600, 300, 99, GridStyle{}));
    for (TerrainMode mode : bothModes) {
        expectSameAsBefore(grid, crop(mode, 1, 1, 600, 300, 1, 0.5, true, false));
        // Cancelled among the faces, and (Interpolated) among the vertices.
        expectSameAsBefore(grid, crop(mode, 1, 1, 600, 300), mode == TerrainMode::Interpolated ? 3 : 2, 7);
    }
    expectSameAsBefore(grid, crop(TerrainMode::Interpolated, 2, 2, 599, 299), 3, 3);
    // Wider than a block of column texts: the texts are made again block by block.
    writeFile(grid, makeGrid(70000, 3, 5, GridStyle{}));
    for (TerrainMode mode : bothModes) expectSameAsBefore(grid, crop(mode, 2, 1, 69990, 3, 5, 1.0, true, false));
}
