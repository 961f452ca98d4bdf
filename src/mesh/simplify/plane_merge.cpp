#include "mesh/simplify/plane_merge.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <vector>

namespace morvale {

namespace {

struct OpenRectangle {
    std::int32_t col0, col1;  // window columns, col1 exclusive
    std::int32_t row0;        // window row of its first row
    double low, high;
};

constexpr std::size_t kBatch = 1024;

}  // namespace

struct PlaneMerge {
    SimplifyWindow window;
    double maxError = 0.0;
    RectanglePlacement placement;
    MeshSink* sink = nullptr;
    std::int32_t row = 0;  // window rows seen
    std::vector<OpenRectangle> open, next;
    std::vector<std::uint8_t> taken;
    std::vector<double> positions;
    std::vector<std::int64_t> faces;
    PlaneMergeTotals totals;
};

bool mergeLevel(double low, double high, double maxError, double& level) {
    level = low + (high - low) * 0.5;
    return high - level <= maxError && level - low <= maxError;
}

namespace {

// The rectangle ends with the row before the current one.
void finish(PlaneMerge& m, const OpenRectangle& r) {
    double level = 0.0;
    const bool fits = mergeLevel(r.low, r.high, m.maxError, level);
    if (!fits) level = r.low;  // a single non-finite cell
    double corners[12];
    m.placement.place(m.placement.context, m.window.firstRow + r.row0, m.window.firstCol + r.col0,
                      m.window.firstRow + m.row - 1, m.window.firstCol + r.col1 - 1, level, corners);
    m.positions.insert(m.positions.end(), corners, corners + 12);
    ++m.totals.rectangles;
    m.totals.cells += static_cast<std::int64_t>(r.col1 - r.col0) * (m.row - r.row0);
    if (m.positions.size() >= 12 * kBatch) sendVertices(*m.sink, m.positions);
}

}  // namespace

PlaneMerge* createPlaneMerge(const SimplifyWindow& window, double maxError, const RectanglePlacement& placement,
                             MeshSink& sink) {
    assert(window.cols >= 1 && maxError >= 0.0);
    auto* m = new (std::nothrow) PlaneMerge();
    if (!m) return nullptr;
    m->window = window;
    m->maxError = maxError;
    m->placement = placement;
    m->sink = &sink;
    m->taken.assign(static_cast<std::size_t>(window.cols), 0);
    MeshInfo info;
    info.faceCorners = 4;
    sink.begin(info);
    return m;
}

void destroyPlaneMerge(PlaneMerge* merge) { delete merge; }

void planeMergeRow(PlaneMerge& m, const double* values, const std::uint8_t* data) {
    std::fill(m.taken.begin(), m.taken.end(), 0);
    m.next.clear();
    // Open rectangles grow by the whole row span, or finish.
    for (const OpenRectangle& r : m.open) {
        double low = r.low, high = r.high, level = 0.0;
        bool fits = true;
        for (std::int32_t c = r.col0; c < r.col1 && fits; ++c) {
            fits = data[c] != 0;
            if (!fits) break;
            low = std::min(low, values[c]);
            high = std::max(high, values[c]);
            fits = mergeLevel(low, high, m.maxError, level);
        }
        if (fits) {
            m.next.push_back(OpenRectangle{r.col0, r.col1, r.row0, low, high});
            std::fill(m.taken.begin() + r.col0, m.taken.begin() + r.col1, 1);
        } else {
            finish(m, r);
        }
    }
    // The cells left start new rectangles: greedy runs from west to east.
    const std::int32_t cols = m.window.cols;
    for (std::int32_t c = 0; c < cols;) {
        if (!data[c] || m.taken[static_cast<std::size_t>(c)]) {
            ++c;
            continue;
        }
        OpenRectangle r{c, c + 1, m.row, values[c], values[c]};
        double level = 0.0;
        while (r.col1 < cols && data[r.col1] && !m.taken[static_cast<std::size_t>(r.col1)]) {
            const double low = std::min(r.low, values[r.col1]), high = std::max(r.high, values[r.col1]);
            if (!mergeLevel(low, high, m.maxError, level)) break;
            r.low = low;
            r.high = high;
            ++r.col1;
        }
        m.next.push_back(r);
        c = r.col1;
    }
    std::sort(m.next.begin(), m.next.end(),
              [](const OpenRectangle& a, const OpenRectangle& b) { return a.col0 < b.col0; });
    std::swap(m.open, m.next);
    ++m.row;
}

PlaneMergeTotals finishPlaneMerge(PlaneMerge& m) {
    for (const OpenRectangle& r : m.open) finish(m, r);
    m.open.clear();
    sendVertices(*m.sink, m.positions);
    m.sink->endVertices();
    for (std::int64_t i = 1; i <= m.totals.rectangles;) {
        m.faces.clear();
        const std::int64_t first = i;
        for (; i <= m.totals.rectangles && i < first + static_cast<std::int64_t>(kBatch); ++i) {
            const std::int64_t quad[4] = {4 * i, 4 * i - 1, 4 * i - 2, 4 * i - 3};  // SW, SE, NE, NW
            m.faces.insert(m.faces.end(), quad, quad + 4);
        }
        FaceBatch batch;
        batch.count = m.faces.size() / 4;
        batch.vertex = m.faces.data();
        batch.cancellable = true;
        m.sink->faces(batch);
    }
    return m.totals;
}

}  // namespace morvale
