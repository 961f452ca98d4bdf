#include "outline_harness.h"

#include <map>
#include <utility>

#include "mesh/solid/outline_bottom.h"

namespace testing_support {

using morvale::OutlineEdge;
using morvale::OutlinePoint;

OutlineCheck checkOutlineBottom(const OutlineCase& c) {
    OutlineCheck check;
    const auto fail = [&](std::string why) {
        check.ok = false;
        check.problem = std::move(why);
        return check;
    };
    const std::int64_t width = c.cols + 1;
    const auto id = [&](std::int64_t r, std::int64_t col) { return r * width + col + 1; };
    // Each cell's edges counter-clockwise seen from above (north is -row); shared ones cancel.
    std::map<std::pair<std::int64_t, std::int64_t>, int> edges;
    std::int64_t cells = 0;
    for (int r = 0; r < c.rows; ++r)
        for (int col = 0; col < c.cols; ++col) {
            if (!c.data[static_cast<std::size_t>(r * c.cols + col)]) continue;
            ++cells;
            const std::int64_t ring[4] = {id(r + 1, col), id(r + 1, col + 1), id(r, col + 1), id(r, col)};
            for (int k = 0; k < 4; ++k) {
                const std::pair<std::int64_t, std::int64_t> e{ring[k], ring[(k + 1) % 4]};
                auto reverse = edges.find({e.second, e.first});
                if (reverse != edges.end())
                    edges.erase(reverse);
                else
                    edges[e] = 1;
            }
        }
    // Straight-run corners dropped: one edge in, one out, both the same way.
    std::map<std::int64_t, std::vector<std::int64_t>> out, in;
    for (const auto& [e, n] : edges) {
        out[e.first].push_back(e.second);
        in[e.second].push_back(e.first);
    }
    for (auto& [v, tos] : out) {
        if (c.dropCorner.empty() || !c.dropCorner[static_cast<std::size_t>(v - 1)]) continue;
        if (tos.size() != 1 || in[v].size() != 1) continue;
        const std::int64_t a = in[v][0], b = tos[0];
        if (b - v != v - a) continue;  // a turn
        edges.erase({a, v});
        edges.erase({v, b});
        edges[{a, b}] = 1;
        out[a] = {b};
        in[b] = {a};
        in[v].clear();
        tos.clear();
    }
    std::vector<OutlineEdge> outline;
    std::vector<OutlinePoint> points;
    for (const auto& [e, n] : edges) outline.push_back({e.first, e.second});
    for (const auto& [v, tos] : out)
        if (!tos.empty())
            points.push_back({v, static_cast<double>((v - 1) % width), -static_cast<double>((v - 1) / width)});
    check.outlineEdges = static_cast<std::int64_t>(outline.size());
    std::vector<std::int64_t> triangles;
    if (!morvale::triangulateOutline(outline, points, triangles)) return fail("refused");
    check.triangles = static_cast<std::int64_t>(triangles.size() / 3);
    std::map<std::pair<std::int64_t, std::int64_t>, int> count;
    for (const OutlineEdge& e : outline) ++count[{e.to, e.from}];
    std::int64_t twiceArea = 0;
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        const std::int64_t v[3] = {triangles[t], triangles[t + 1], triangles[t + 2]};
        std::int64_t x[3], y[3];
        for (int k = 0; k < 3; ++k) {
            x[k] = (v[k] - 1) % width;
            y[k] = -((v[k] - 1) / width);
            ++count[{v[k], v[(k + 1) % 3]}];
        }
        const std::int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
        if (area <= 0) return fail("triangle " + std::to_string(t / 3) + " has area " + std::to_string(area));
        twiceArea += area;
    }
    if (twiceArea != 2 * cells)
        return fail("area " + std::to_string(twiceArea) + "/2 for " + std::to_string(cells) + " cells");
    for (const auto& [e, n] : count) {
        const auto reverse = count.find({e.second, e.first});
        if (n != 1 || reverse == count.end() || reverse->second != 1)
            return fail("edge " + std::to_string(e.first) + " -> " + std::to_string(e.second) + " unmatched");
    }
    return check;
}

}  // namespace testing_support
