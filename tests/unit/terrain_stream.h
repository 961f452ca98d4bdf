#pragma once
// A small terrain surface fed to a MeshSink the way a builder feeds it: a
// vertex at every corner of a data cell, numbered row by row from the north,
// then one face per data cell (bottom-left, bottom-right, top-right,
// top-left, or that quad as two triangles on the same diagonal), a batch per
// row, settled() after each row, outline marks when the sink wants them.
// Also what the solids of such a surface must be, and a sink that cancels
// mid-stream. Shared by the unit tests and the fuzz target.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include "mesh/forwarding_sink.h"
#include "mesh/mesh_sink.h"

namespace testing_support {

struct TerrainGrid {
    int cols = 1, rows = 1;
    std::vector<double> corner;  // (rows + 1) x (cols + 1) elevations, north row first
    std::vector<bool> data;      // rows x cols, north row first
    double cell = 1.0;
    double west = 0.0, south = 0.0;

    TerrainGrid(int c, int r)
        : cols(c), rows(r), corner(static_cast<std::size_t>((c + 1) * (r + 1)), 0.0),
          data(static_cast<std::size_t>(c * r), true) {}
    double& height(int row, int col) { return corner[static_cast<std::size_t>(row * (cols + 1) + col)]; }
    bool hasData(int row, int col) const {
        return row >= 0 && col >= 0 && row < rows && col < cols && data[static_cast<std::size_t>(row * cols + col)];
    }
};

struct StreamChoices {
    bool triangles = false;
    bool uv = false;
    morvale::NormalLayout normals = morvale::NormalLayout::none;
    bool settledHints = true;
    bool cancellable = true;
    bool stepAfterRows = false;
    bool markOutline = true;  // when the sink wants them (MeshSink::wantsOutline)
};

// Vertex numbers of the corners (0: none), (rows + 1) x (cols + 1).
inline std::vector<std::int64_t> streamTerrain(TerrainGrid& g, morvale::MeshSink& sink, const StreamChoices& choices) {
    using namespace morvale;
    MeshInfo info;
    info.faceCorners = choices.triangles ? 3 : 4;
    info.uv = choices.uv;
    info.normals = choices.normals;
    const bool marks = choices.markOutline && sink.wantsOutline();
    sink.begin(info);
    std::vector<std::int64_t> number(g.corner.size(), 0);
    std::int64_t next = 1;
    for (int r = 0; r <= g.rows; ++r) {
        std::vector<double> position, normal, uv;
        std::vector<std::uint8_t> outline;
        for (int c = 0; c <= g.cols; ++c) {
            const int cells = g.hasData(r - 1, c - 1) + g.hasData(r - 1, c) + g.hasData(r, c - 1) + g.hasData(r, c);
            if (cells == 0) continue;
            outline.push_back(cells < 4 ? 1 : 0);
            number[static_cast<std::size_t>(r * (g.cols + 1) + c)] = next++;
            position.insert(position.end(), {g.west + c * g.cell, g.south + (g.rows - r) * g.cell, g.height(r, c)});
            normal.insert(normal.end(), {0.6, 0.0, 0.8});
            uv.insert(uv.end(), {static_cast<double>(c) / g.cols, static_cast<double>(g.rows - r) / g.rows});
        }
        VertexBatch batch;
        batch.count = position.size() / 3;
        batch.position = position.data();
        batch.normal = choices.normals == NormalLayout::perVertex ? normal.data() : nullptr;
        batch.uv = choices.uv ? uv.data() : nullptr;
        batch.outline = marks ? outline.data() : nullptr;
        batch.cancellable = choices.cancellable;
        batch.stepAfter = choices.stepAfterRows;
        sink.vertices(batch);
    }
    sink.endVertices();
    for (int r = 0; r < g.rows; ++r) {
        std::vector<std::int64_t> v;
        auto at = [&](int row, int col) { return number[static_cast<std::size_t>(row * (g.cols + 1) + col)]; };
        for (int c = 0; c < g.cols; ++c) {
            if (!g.hasData(r, c)) continue;
            const std::int64_t bl = at(r + 1, c), br = at(r + 1, c + 1), tr = at(r, c + 1), tl = at(r, c);
            if (choices.triangles)
                v.insert(v.end(), {bl, br, tr, bl, tr, tl});
            else
                v.insert(v.end(), {bl, br, tr, tl});
        }
        FaceBatch batch;
        batch.count = v.size() / static_cast<std::size_t>(info.faceCorners);
        batch.vertex = v.data();
        batch.cancellable = choices.cancellable;
        batch.stepAfter = choices.stepAfterRows;
        sink.faces(batch);
        // Later rows name corners of rows r + 1 on, numbered in row order.
        if (choices.settledHints) {
            std::int64_t lowest = next;
            for (std::size_t k = static_cast<std::size_t>((r + 1) * (g.cols + 1)); k < number.size() && lowest == next;
                 ++k)
                if (number[k] != 0) lowest = number[k];
            sink.settled(lowest);
        }
    }
    return number;
}

// Each data cell is two triangles split on the bottom-left to top-right
// diagonal: a solid down to `base` is the prisms under them.
inline double prismVolume(TerrainGrid& g, double base) {
    double volume = 0;
    const double half = g.cell * g.cell / 2.0;
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.cols; ++c)
            if (g.hasData(r, c)) {
                const double bl = g.height(r + 1, c), br = g.height(r + 1, c + 1), tr = g.height(r, c + 1),
                             tl = g.height(r, c);
                volume += half * ((bl + br + tr) / 3.0 - base) + half * ((bl + tr + tl) / 3.0 - base);
            }
    return volume;
}

// True when two data cells meet only at a corner (their boundary loops touch there).
inline bool pinched(TerrainGrid& g) {
    for (int r = 1; r < g.rows; ++r)
        for (int c = 1; c < g.cols; ++c) {
            const bool nw = g.hasData(r - 1, c - 1), ne = g.hasData(r - 1, c), sw = g.hasData(r, c - 1),
                       se = g.hasData(r, c);
            if ((nw && se && !ne && !sw) || (ne && sw && !nw && !se)) return true;
        }
    return false;
}

// Passes the stream on and sets the cancel flag after `batches` batches (0: never).
class CancelAfter final : public morvale::ForwardingSink {
public:
    CancelAfter(morvale::MeshSink& inner, std::atomic<bool>& flag, int batches)
        : ForwardingSink(inner), flag_(flag), left_(batches) {}
    void vertices(const morvale::VertexBatch& batch) override {
        ForwardingSink::vertices(batch);
        tick();
    }
    void faces(const morvale::FaceBatch& batch) override {
        ForwardingSink::faces(batch);
        tick();
    }

private:
    void tick() {
        if (--left_ == 0) flag_ = true;
    }
    std::atomic<bool>& flag_;
    int left_;
};

}  // namespace testing_support
