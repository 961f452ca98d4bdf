// bench_simplify: the terrain simplifier on a grid file, timed from corner
// heights in memory to the last face replayed (the comparison simplifier in
// bench/delatin_run.mjs gets the same heights and is timed the same way).
// Grids under 4 million cells run 4 million / cells times; figures are per run.
//
//   bench_simplify GRID --heights OUT E...   writes the corner heights (float64,
//                                            (cols + 1) x (rows + 1), north first)
//                                            then prints "E triangles vertices seconds cpu-seconds reached"
//   bench_simplify GRID E...                 the same without the heights file
//   bench_simplify --stream GRID E           reads the file row by row and keeps
//                                            no grid in memory (peak memory run)
//
// Corners without a cell with data around them (no vertex of the full mesh)
// get the height of the nearest vertex to their west on the same line (or
// east, or 0), so that the comparison simplifier, which knows no holes, sees
// a plain surface there.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "grid/grid_body.h"
#include "grid/grid_header.h"
#include "base/input_file.h"
#include "mesh/simplify/terrain_simplifier.h"

using namespace morvale;

namespace {

struct CountingSink final : MeshSink {
    std::int64_t vertexCount = 0, faceCount = 0;
    void begin(const MeshInfo&) override {}
    void vertices(const VertexBatch& batch) override { vertexCount += static_cast<std::int64_t>(batch.count); }
    void endVertices() override {}
    void faces(const FaceBatch& batch) override { faceCount += static_cast<std::int64_t>(batch.count); }
    MeshWritten end() override { return {vertexCount, faceCount, true}; }
};

void place(void*, std::int32_t row, std::int32_t col, double height, double* position) {
    position[0] = col;
    position[1] = -row;
    position[2] = height;
}

// One row of cells with the ring columns: values and data flags.
struct CellRow {
    std::vector<double> value;
    std::vector<std::uint8_t> data;
};

// Corner means of line k from the cell rows above and below (ring columns included).
void cornerLine(const CellRow& above, const CellRow& below, std::int32_t cols, double* heights) {
    for (std::int32_t c = 0; c <= cols; ++c) {
        double sum = 0.0;
        int count = 0;
        for (const CellRow* row : {&above, &below})
            for (std::int32_t k = c; k <= c + 1; ++k)
                if (row->data[static_cast<std::size_t>(k)]) {
                    sum += row->value[static_cast<std::size_t>(k)];
                    ++count;
                }
        heights[c] = count ? sum / count : 0.0;
    }
}

int streamRun(const char* path, double maxError) {
    GridHeader header;
    if (readGridHeader(path, header) != 1) return 1;
    FileHandle input = openForReading(path);
    if (!input || !seekTo(input.get(), header.dataStart)) return 1;
    const std::int32_t cols = header.ncols, rows = header.nrows;
    CountingSink sink;
    TerrainSimplifier* s =
        createTerrainSimplifier(SimplifyWindow{1, 1, rows, cols}, maxError, CornerPlacement{nullptr, place}, &sink);
    const auto width = static_cast<std::size_t>(cols) + 2;
    CellRow above{std::vector<double>(width, 0.0), std::vector<std::uint8_t>(width, 0)};
    CellRow below = above, empty = above;
    std::vector<double> heights(static_cast<std::size_t>(cols) + 1);
    simplifyRingAbove(*s, above.data.data());
    std::int32_t filling = 1;  // the row `below` holds
    auto feedLine = [&] {
        cornerLine(above, below, cols, heights.data());
        simplifyCornerLine(*s, heights.data(), below.data.data());
        std::swap(above, below);
        below = empty;
        ++filling;
    };
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    readGridBody(input.get(), header, CropWindow{1, 1, cols, rows}, rows, cancel, progress,
                 [&](std::int32_t row, std::int32_t col, double value, bool) {
                     while (filling < row) feedLine();
                     below.value[static_cast<std::size_t>(col)] = value;
                     below.data[static_cast<std::size_t>(col)] = 1;
                 });
    while (filling <= rows + 1) feedLine();
    const SimplifyTotals totals = finishTerrainSimplifier(*s);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    destroyTerrainSimplifier(s);
    std::printf("%g %lld %lld %.3f %g%s\n", maxError, static_cast<long long>(totals.triangles),
                static_cast<long long>(totals.vertices), seconds, totals.errorReached, totals.ok ? "" : " FAILED");
    return totals.ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--stream") == 0) return streamRun(argv[2], std::atof(argv[3]));
    if (argc < 3) {
        std::fputs("usage: bench_simplify GRID [--heights OUT] E... | --stream GRID E\n", stderr);
        return 2;
    }
    const char* path = argv[1];
    int first = 2;
    const char* heightsPath = nullptr;
    if (std::strcmp(argv[2], "--heights") == 0 && argc >= 5) {
        heightsPath = argv[3];
        first = 4;
    }
    GridHeader header;
    if (readGridHeader(path, header) != 1) return 1;
    FileHandle input = openForReading(path);
    if (!input || !seekTo(input.get(), header.dataStart)) return 1;
    const std::int32_t cols = header.ncols, rows = header.nrows;
    const auto width = static_cast<std::size_t>(cols) + 2;
    // Cell rows 0 .. rows + 1 (ring rows empty), ring columns included.
    std::vector<CellRow> cells(static_cast<std::size_t>(rows) + 2,
                               CellRow{std::vector<double>(width, 0.0), std::vector<std::uint8_t>(width, 0)});
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    readGridBody(input.get(), header, CropWindow{1, 1, cols, rows}, rows, cancel, progress,
                 [&](std::int32_t row, std::int32_t col, double value, bool) {
                     cells[static_cast<std::size_t>(row)].value[static_cast<std::size_t>(col)] = value;
                     cells[static_cast<std::size_t>(row)].data[static_cast<std::size_t>(col)] = 1;
                 });
    const auto lineWidth = static_cast<std::size_t>(cols) + 1;
    std::vector<double> heights(lineWidth * (static_cast<std::size_t>(rows) + 1));
    for (std::int32_t k = 0; k <= rows; ++k)
        cornerLine(cells[static_cast<std::size_t>(k)], cells[static_cast<std::size_t>(k) + 1], cols,
                   &heights[static_cast<std::size_t>(k) * lineWidth]);
    if (heightsPath) {
        std::vector<double> filled = heights;
        for (std::int32_t k = 0; k <= rows; ++k) {
            const CellRow &a = cells[static_cast<std::size_t>(k)], &b = cells[static_cast<std::size_t>(k) + 1];
            double* line = &filled[static_cast<std::size_t>(k) * lineWidth];
            auto vertex = [&](std::int32_t c) {
                return a.data[static_cast<std::size_t>(c)] || a.data[static_cast<std::size_t>(c) + 1] ||
                       b.data[static_cast<std::size_t>(c)] || b.data[static_cast<std::size_t>(c) + 1];
            };
            std::int32_t last = -1;
            for (std::int32_t c = 0; c <= cols; ++c) {
                if (vertex(c)) {
                    if (last < 0)
                        for (std::int32_t j = 0; j < c; ++j) line[j] = line[c];
                    last = c;
                } else if (last >= 0) {
                    line[c] = line[last];
                }
            }
        }
        std::FILE* out = std::fopen(heightsPath, "wb");
        if (!out || std::fwrite(filled.data(), sizeof(double), filled.size(), out) != filled.size()) return 1;
        std::fclose(out);
    }
    // Small grids run several times (the figures are per run), so that the
    // clock's resolution does not decide them.
    const double cellCount = static_cast<double>(rows) * static_cast<double>(cols);
    const int repeats = cellCount < 4e6 ? static_cast<int>(4e6 / cellCount) : 1;
    for (int i = first; i < argc; ++i) {
        const double maxError = std::atof(argv[i]);
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        SimplifyTotals totals;
        for (int repeat = 0; repeat < repeats; ++repeat) {
            CountingSink sink;
            TerrainSimplifier* s = createTerrainSimplifier(SimplifyWindow{1, 1, rows, cols}, maxError,
                                                           CornerPlacement{nullptr, place}, &sink);
            simplifyRingAbove(*s, cells[0].data.data());
            for (std::int32_t k = 0; k <= rows; ++k)
                simplifyCornerLine(*s, &heights[static_cast<std::size_t>(k) * lineWidth],
                                   cells[static_cast<std::size_t>(k) + 1].data.data());
            totals = finishTerrainSimplifier(*s);
            destroyTerrainSimplifier(s);
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
        const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC / repeats;
        std::printf("%g %lld %lld %.5f %.5f %g%s\n", maxError, static_cast<long long>(totals.triangles),
                    static_cast<long long>(totals.vertices), seconds, cpu, totals.errorReached,
                    totals.ok ? "" : " FAILED");
    }
    return 0;
}
