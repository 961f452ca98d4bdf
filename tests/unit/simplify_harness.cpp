#include "simplify_harness.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <set>
#include <sstream>
#include <utility>

#include <unistd.h>

#include "grid/grid_body.h"
#include "grid/grid_header.h"
#include "base/input_file.h"

using namespace morvale;

namespace simplify_harness {

bool loadGrid(const std::string& path, CellGrid& grid) {
    GridHeader header;
    if (readGridHeader(path, header) != 1 || header.ncols < 1 || header.nrows < 1) return false;
    FileHandle input = openForReading(path);
    if (!input || !seekTo(input.get(), header.dataStart)) return false;
    grid.rows = header.nrows;
    grid.cols = header.ncols;
    const auto cells = static_cast<std::size_t>(grid.rows) * static_cast<std::size_t>(grid.cols);
    grid.value.assign(cells, 0.0);
    grid.data.assign(cells, 0);
    CropWindow window{1, 1, header.ncols, header.nrows};
    std::atomic<bool> cancel{false};
    SilentProgress progress;
    readGridBody(input.get(), header, window, header.nrows, cancel, progress,
                 [&](std::int32_t row, std::int32_t col, double value, bool) {
                     const auto at = static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(grid.cols) +
                                     static_cast<std::size_t>(col - 1);
                     grid.value[at] = value;
                     grid.data[at] = 1;
                 });
    return true;
}

namespace {

bool inRing(const SimplifyWindow& w, std::int32_t row, std::int32_t col) {
    return row >= w.firstRow - 1 && row <= w.firstRow + w.rows && col >= w.firstCol - 1 && col <= w.firstCol + w.cols;
}
bool inWindow(const SimplifyWindow& w, std::int32_t row, std::int32_t col) {
    return row >= w.firstRow && row < w.firstRow + w.rows && col >= w.firstCol && col < w.firstCol + w.cols;
}
bool ringData(const CellGrid& g, const SimplifyWindow& w, std::int32_t row, std::int32_t col) {
    return inRing(w, row, col) && g.has(row, col);
}
bool windowData(const CellGrid& g, const SimplifyWindow& w, std::int32_t row, std::int32_t col) {
    return inWindow(w, row, col) && g.has(row, col);
}
bool isVertex(const CellGrid& g, const SimplifyWindow& w, std::int32_t row, std::int32_t col) {
    return windowData(g, w, row - 1, col - 1) || windowData(g, w, row - 1, col) || windowData(g, w, row, col - 1) ||
           windowData(g, w, row, col);
}

struct CaptureSink final : MeshSink {
    Mesh* mesh = nullptr;
    std::filesystem::path spoolPath;
    bool facesStarted = false;
    void begin(const MeshInfo& info) override {
        if (info.faceCorners != 3) mesh->orderOk = false;
    }
    void vertices(const VertexBatch& batch) override {
        if (facesStarted) mesh->orderOk = false;
        for (std::size_t i = 0; i < batch.count; ++i) {
            // Placed as (column, -row, height): the corner is read back from the position.
            mesh->cornerCol.push_back(static_cast<std::int32_t>(batch.position[3 * i]));
            mesh->cornerRow.push_back(static_cast<std::int32_t>(-batch.position[3 * i + 1]));
            mesh->height.push_back(batch.position[3 * i + 2]);
        }
    }
    void endVertices() override { facesStarted = true; }
    void faces(const FaceBatch& batch) override {
        if (!facesStarted) mesh->orderOk = false;
        mesh->spooled = mesh->spooled || std::filesystem::exists(spoolPath);
        mesh->triangles.insert(mesh->triangles.end(), batch.vertex, batch.vertex + 3 * batch.count);
    }
    void settled(std::int64_t) override { ++mesh->settledCalls; }
    MeshWritten end() override { return {}; }
};

void place(void*, std::int32_t row, std::int32_t col, double height, double* position) {
    position[0] = col;
    position[1] = -row;
    position[2] = height;
}

}  // namespace

double cornerMean(const CellGrid& g, const SimplifyWindow& w, std::int32_t row, std::int32_t col) {
    double sum = 0.0;
    int count = 0;
    for (const auto& [r, c] : {std::pair{row - 1, col - 1}, {row - 1, col}, {row, col - 1}, {row, col}})
        if (ringData(g, w, r, c)) {
            sum += g.at(r, c);
            ++count;
        }
    return count ? sum / count : 0.0;
}

namespace {

void feed(TerrainSimplifier* s, const CellGrid& g, const SimplifyWindow& w) {
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(w.cols) + 2);
    std::vector<double> heights(static_cast<std::size_t>(w.cols) + 1);
    auto cellRow = [&](std::int32_t row) {
        for (std::int32_t c = 0; c < w.cols + 2; ++c)
            cells[static_cast<std::size_t>(c)] = ringData(g, w, row, w.firstCol - 1 + c) ? 1 : 0;
    };
    cellRow(w.firstRow - 1);
    simplifyRingAbove(*s, cells.data());
    for (std::int32_t k = 0; k <= w.rows; ++k) {
        const std::int32_t row = w.firstRow + k;
        for (std::int32_t c = 0; c <= w.cols; ++c)
            heights[static_cast<std::size_t>(c)] = cornerMean(g, w, row, w.firstCol + c);
        cellRow(row);
        simplifyCornerLine(*s, heights.data(), cells.data());
    }
}

}  // namespace

Mesh simplify(const CellGrid& g, const SimplifyWindow& w, double maxError, bool countOnly, std::size_t facesInMemory,
              int helperThreads) {
    Mesh mesh;
    CaptureSink sink;
    sink.mesh = &mesh;
    // Its own name: test processes run side by side.
    static std::atomic<int> runs{0};
    sink.spoolPath = std::filesystem::temp_directory_path() /
                     ("morvale-simplify-" + std::to_string(getpid()) + "-" + std::to_string(++runs) + ".faces.tmp");
    TerrainSimplifier* s =
        createTerrainSimplifier(w, maxError, CornerPlacement{nullptr, place}, countOnly ? nullptr : &sink,
                                sink.spoolPath, facesInMemory, helperThreads);
    feed(s, g, w);
    mesh.totals = finishTerrainSimplifier(*s);
    destroyTerrainSimplifier(s);
    mesh.spoolLeft = std::filesystem::exists(sink.spoolPath);
    return mesh;
}

BudgetChoice chooseForBudget(const CellGrid& g, const SimplifyWindow& w, std::int64_t budget) {
    TerrainSimplifier* s = createTriangleBudgetPass(w, budget);
    feed(s, g, w);
    const BudgetChoice choice = finishTriangleBudgetPass(*s);
    destroyTerrainSimplifier(s);
    return choice;
}

std::string check(const CellGrid& g, const SimplifyWindow& w, double maxError, const Mesh& mesh, double* worstError) {
    std::ostringstream problem;
    if (!mesh.totals.ok) return "the simplifier reported a failure";
    if (mesh.spoolLeft) return "the spool file was left behind";
    if (!mesh.orderOk) return "faces before vertices, or not triangles";
    const auto vertexCount = static_cast<std::int64_t>(mesh.height.size());
    if (mesh.totals.vertices != vertexCount) return "vertex count differs from the vertices sent";
    if (mesh.totals.triangles * 3 != static_cast<std::int64_t>(mesh.triangles.size()))
        return "triangle count differs from the faces sent";

    // Vertices: full-mesh vertices, each once, with the full mesh's height.
    std::set<std::pair<std::int32_t, std::int32_t>> seen;
    for (std::int64_t i = 0; i < vertexCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const std::int32_t row = mesh.cornerRow[at], col = mesh.cornerCol[at];
        if (!isVertex(g, w, row, col)) return "a vertex that is no vertex of the full mesh";
        if (mesh.height[at] != cornerMean(g, w, row, col)) return "a vertex height differs from the full mesh";
        if (!seen.insert({row, col}).second) return "a corner sent twice";
    }

    // Triangles: orientation, area, no T-junction.
    const auto lw = static_cast<std::int64_t>(w.cols) + 1, lh = static_cast<std::int64_t>(w.rows) + 1;
    std::vector<std::int64_t> vertexAt(static_cast<std::size_t>(lw * lh), 0);
    for (std::int64_t i = 0; i < vertexCount; ++i)
        vertexAt[static_cast<std::size_t>((mesh.cornerRow[static_cast<std::size_t>(i)] - w.firstRow) * lw +
                                          (mesh.cornerCol[static_cast<std::size_t>(i)] - w.firstCol))] = i + 1;
    std::int64_t doubledArea = 0;
    // Per corner: the worst distance and whether a triangle covers it.
    std::vector<double> error(static_cast<std::size_t>(lw * lh), -1.0);
    // Per cell: how many triangles hold a point just off its centre.
    std::vector<int> cover(static_cast<std::size_t>(w.rows) * static_cast<std::size_t>(w.cols), 0);
    const std::size_t triangleCount = mesh.triangles.size() / 3;
    for (std::size_t t = 0; t < triangleCount; ++t) {
        std::int64_t x[3], y[3];
        double h[3];
        for (int k = 0; k < 3; ++k) {
            const std::int64_t v = mesh.triangles[3 * t + static_cast<std::size_t>(k)];
            if (v < 1 || v > vertexCount) return "a face names a vertex that does not exist";
            x[k] = mesh.cornerCol[static_cast<std::size_t>(v - 1)] - w.firstCol;
            y[k] = w.firstRow - mesh.cornerRow[static_cast<std::size_t>(v - 1)];  // north up
            h[k] = mesh.height[static_cast<std::size_t>(v - 1)];
        }
        const std::int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
        if (area <= 0) return "a triangle is clockwise seen from above, or flat";
        doubledArea += area;
        for (int k = 0; k < 3; ++k) {  // lattice points inside an edge must not be vertices
            const std::int64_t dx = x[(k + 1) % 3] - x[k], dy = y[(k + 1) % 3] - y[k];
            const std::int64_t steps = std::gcd(std::abs(dx), std::abs(dy));
            for (std::int64_t i = 1; i < steps; ++i) {
                const std::int64_t px = x[k] + dx / steps * i, py = -(y[k] + dy / steps * i);
                if (vertexAt[static_cast<std::size_t>(py * lw + px)] != 0) return "a T-junction";
            }
        }
        const std::int64_t minX = std::min({x[0], x[1], x[2]}), maxX = std::max({x[0], x[1], x[2]});
        const std::int64_t minY = std::min({y[0], y[1], y[2]}), maxY = std::max({y[0], y[1], y[2]});
        auto weight = [&](int k, double px, double py) {
            const int a = (k + 1) % 3, b = (k + 2) % 3;
            return (static_cast<double>(x[b] - x[a]) * (py - static_cast<double>(y[a])) -
                    static_cast<double>(y[b] - y[a]) * (px - static_cast<double>(x[a])));
        };
        for (std::int64_t py = minY; py <= maxY; ++py)
            for (std::int64_t px = minX; px <= maxX; ++px) {
                if (px < maxX && py > minY) {  // the cell south-east of the point, probed off centre
                    const double cx = static_cast<double>(px) + 0.5 + 1.0 / 1024;
                    const double cy = static_cast<double>(py) - 0.5 + 1.0 / 4096;
                    if (weight(0, cx, cy) > 0 && weight(1, cx, cy) > 0 && weight(2, cx, cy) > 0)
                        ++cover[static_cast<std::size_t>(-py * w.cols + px)];
                }
                const double w0 = weight(0, px, py), w1 = weight(1, px, py), w2 = weight(2, px, py);
                if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                const std::size_t at = static_cast<std::size_t>(-py * lw + px);
                const double surface = (w0 * h[0] + w1 * h[1] + w2 * h[2]) / static_cast<double>(area);
                const double d = std::fabs(cornerMean(g, w, w.firstRow - static_cast<std::int32_t>(py),
                                                      w.firstCol + static_cast<std::int32_t>(px)) -
                                           surface);
                error[at] = std::max(error[at], d);
            }
    }
    std::int64_t dataCells = 0;
    for (std::int32_t r = 0; r < w.rows; ++r)
        for (std::int32_t c = 0; c < w.cols; ++c) {
            const bool data = g.has(w.firstRow + r, w.firstCol + c);
            dataCells += data;
            const int n = cover[static_cast<std::size_t>(r * w.cols + c)];
            if (n != (data ? 1 : 0)) {
                problem << "cell " << w.firstRow + r << "," << w.firstCol + c << " covered " << n << " times";
                return problem.str();
            }
        }
    if (doubledArea != 2 * dataCells) return "the triangles' area differs from the data cells' area";

    double worst = 0.0;
    const double tolerance = 1e-9;
    for (std::int32_t r = 0; r <= w.rows; ++r)
        for (std::int32_t c = 0; c <= w.cols; ++c) {
            if (!isVertex(g, w, w.firstRow + r, w.firstCol + c)) continue;
            const double d = error[static_cast<std::size_t>(r * lw + c)];
            if (d < 0) return "a full-mesh vertex lies under no triangle";
            worst = std::max(worst, d);
            const double scale = std::max(1.0, std::fabs(cornerMean(g, w, w.firstRow + r, w.firstCol + c)));
            if (d > maxError + tolerance * scale) {
                problem << "corner " << w.firstRow + r << "," << w.firstCol + c << " is " << d << " from the surface";
                return problem.str();
            }
        }
    if (worstError) *worstError = worst;
    return {};
}

}  // namespace simplify_harness
