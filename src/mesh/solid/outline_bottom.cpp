#include "mesh/solid/outline_bottom.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <numbers>

namespace morvale {

namespace {

constexpr int none = -1;

// One point per outline edge: the edge's start, with the loop's next edge.
struct Outline {
    std::vector<double> x, y;
    std::vector<std::int64_t> vertex;
    std::vector<int> next, prev;
};

double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// Sweep order: north first, then west first; one point's copies by number.
bool above(const Outline& o, int a, int b) {
    if (o.y[static_cast<std::size_t>(a)] != o.y[static_cast<std::size_t>(b)])
        return o.y[static_cast<std::size_t>(a)] > o.y[static_cast<std::size_t>(b)];
    if (o.x[static_cast<std::size_t>(a)] != o.x[static_cast<std::size_t>(b)])
        return o.x[static_cast<std::size_t>(a)] < o.x[static_cast<std::size_t>(b)];
    return a < b;
}

// Left turn at b on the way a -> b -> c.
double turn(const Outline& o, int a, int b, int c) {
    const auto ua = static_cast<std::size_t>(a), ub = static_cast<std::size_t>(b), uc = static_cast<std::size_t>(c);
    return cross(o.x[ub] - o.x[ua], o.y[ub] - o.y[ua], o.x[uc] - o.x[ub], o.y[uc] - o.y[ub]);
}

// Links each edge to the one that follows it. Where loops touch, an edge
// arriving at a vertex takes the leaving edge that turns most to the left, so
// each loop keeps its own wedge there.
bool buildOutline(const std::vector<OutlineEdge>& edges, const std::vector<OutlinePoint>& points, Outline& o) {
    const std::size_t n = edges.size();
    o.x.resize(n);
    o.y.resize(n);
    o.vertex.resize(n);
    o.next.assign(n, none);
    o.prev.assign(n, none);
    std::vector<double> endX(n), endY(n);
    for (std::size_t k = 0; k < n; ++k) {
        std::int64_t ends[2] = {edges[k].from, edges[k].to};
        double at[2][2];
        for (int e = 0; e < 2; ++e) {
            const auto it = std::lower_bound(points.begin(), points.end(), ends[e],
                                             [](const OutlinePoint& p, std::int64_t v) { return p.vertex < v; });
            if (it == points.end() || it->vertex != ends[e]) return false;
            at[e][0] = it->x;
            at[e][1] = it->y;
        }
        if ((at[0][0] == at[1][0]) == (at[0][1] == at[1][1])) return false;  // slanted, or a point
        o.x[k] = at[0][0];
        o.y[k] = at[0][1];
        o.vertex[k] = edges[k].from;
        endX[k] = at[1][0];
        endY[k] = at[1][1];
    }
    std::vector<int> leaving(n);
    for (std::size_t k = 0; k < n; ++k) leaving[k] = static_cast<int>(k);
    std::sort(leaving.begin(), leaving.end(), [&](int a, int b) {
        return edges[static_cast<std::size_t>(a)].from < edges[static_cast<std::size_t>(b)].from;
    });
    std::vector<int> arriving = leaving;
    std::sort(arriving.begin(), arriving.end(), [&](int a, int b) {
        return edges[static_cast<std::size_t>(a)].to < edges[static_cast<std::size_t>(b)].to;
    });
    for (std::size_t i = 0, j = 0; i < n;) {
        const std::int64_t v = edges[static_cast<std::size_t>(arriving[i])].to;
        std::size_t iEnd = i, jEnd = 0;
        while (iEnd < n && edges[static_cast<std::size_t>(arriving[iEnd])].to == v) ++iEnd;
        while (j < n && edges[static_cast<std::size_t>(leaving[j])].from < v) ++j;
        jEnd = j;
        while (jEnd < n && edges[static_cast<std::size_t>(leaving[jEnd])].from == v) ++jEnd;
        if (jEnd - j != iEnd - i) return false;  // not closed here
        for (std::size_t a = i; a < iEnd; ++a) {
            const int in = arriving[a];
            int best = none;
            double bestAngle = 0.0;
            for (std::size_t b = j; b < jEnd; ++b) {
                const int out = leaving[b];
                if (o.prev[static_cast<std::size_t>(out)] != none) continue;
                const auto ui = static_cast<std::size_t>(in), uo = static_cast<std::size_t>(out);
                const double dx = o.x[uo] - o.x[ui], dy = o.y[uo] - o.y[ui];
                const double fx = endX[uo] - o.x[uo], fy = endY[uo] - o.y[uo];
                const double angle = std::atan2(cross(dx, dy, fx, fy), dx * fx + dy * fy);
                if (best == none || angle > bestAngle) {
                    best = out;
                    bestAngle = angle;
                }
            }
            o.next[static_cast<std::size_t>(in)] = best;
            o.prev[static_cast<std::size_t>(best)] = in;
        }
        i = iEnd;
        j = jEnd;
    }
    // A leaving edge at a vertex no edge arrives at: not closed there.
    for (std::size_t k = 0; k < n; ++k)
        if (o.prev[k] == none) return false;
    return true;
}

enum class Kind : std::uint8_t { start, split, end, merge, leftChain, rightChain };

Kind kindOf(const Outline& o, int v) {
    const int p = o.prev[static_cast<std::size_t>(v)], q = o.next[static_cast<std::size_t>(v)];
    const bool prevAbove = above(o, p, v), nextAbove = above(o, q, v);
    const bool convex = turn(o, p, v, q) > 0.0;
    if (!prevAbove && !nextAbove) return convex ? Kind::start : Kind::split;
    if (prevAbove && nextAbove) return convex ? Kind::end : Kind::merge;
    // Going south the interior lies east of the point.
    return prevAbove ? Kind::leftChain : Kind::rightChain;
}

// The sweep: diagonals that cut the polygons into y-monotone pieces.
void monotoneDiagonals(const Outline& o, const std::vector<int>& order, std::vector<std::pair<int, int>>& diagonals) {
    const std::size_t n = o.next.size();
    std::vector<int> helper(n, none);
    std::vector<Kind> kind(n);
    for (std::size_t v = 0; v < n; ++v) kind[v] = kindOf(o, static_cast<int>(v));
    // Edges with the interior east of them that the sweep line crosses, by
    // their easting; an edge is named by its start point. East-west edges
    // only have a helper: no other point is swept while they are crossed.
    std::multimap<double, int> crossed;
    std::vector<std::multimap<double, int>::iterator> place(n, crossed.end());
    const auto insert = [&](int e, int v) {
        helper[static_cast<std::size_t>(e)] = v;
        const int q = o.next[static_cast<std::size_t>(e)];
        if (o.x[static_cast<std::size_t>(e)] == o.x[static_cast<std::size_t>(q)])
            place[static_cast<std::size_t>(e)] = crossed.emplace(o.x[static_cast<std::size_t>(e)], e);
    };
    const auto erase = [&](int e) {
        if (place[static_cast<std::size_t>(e)] != crossed.end()) crossed.erase(place[static_cast<std::size_t>(e)]);
        place[static_cast<std::size_t>(e)] = crossed.end();
    };
    const auto closeWithHelper = [&](int e, int v) {
        const int h = helper[static_cast<std::size_t>(e)];
        if (h != none && kind[static_cast<std::size_t>(h)] == Kind::merge) diagonals.emplace_back(v, h);
    };
    const auto leftOf = [&](int v) {
        auto it = crossed.lower_bound(o.x[static_cast<std::size_t>(v)]);
        return it == crossed.begin() ? none : std::prev(it)->second;
    };
    for (int v : order) {
        const int p = o.prev[static_cast<std::size_t>(v)];
        switch (kind[static_cast<std::size_t>(v)]) {
        case Kind::start: insert(v, v); break;
        case Kind::end:
            closeWithHelper(p, v);
            erase(p);
            break;
        case Kind::split: {
            const int e = leftOf(v);
            if (e != none) {
                diagonals.emplace_back(v, helper[static_cast<std::size_t>(e)]);
                helper[static_cast<std::size_t>(e)] = v;
            }
            insert(v, v);
            break;
        }
        case Kind::merge: {
            closeWithHelper(p, v);
            erase(p);
            const int e = leftOf(v);
            if (e != none) {
                closeWithHelper(e, v);
                helper[static_cast<std::size_t>(e)] = v;
            }
            break;
        }
        case Kind::leftChain:
            closeWithHelper(p, v);
            erase(p);
            insert(v, v);
            break;
        case Kind::rightChain: {
            const int e = leftOf(v);
            if (e != none) {
                closeWithHelper(e, v);
                helper[static_cast<std::size_t>(e)] = v;
            }
            break;
        }
        }
    }
}

// The pieces the diagonals cut: each walked with its interior on the left,
// taking at every point the leaving edge next clockwise from the arriving one.
void pieces(const Outline& o, const std::vector<std::pair<int, int>>& diagonals, std::vector<std::vector<int>>& out) {
    const std::size_t n = o.next.size();
    std::vector<std::vector<int>> extra(n);
    for (auto [a, b] : diagonals) {
        extra[static_cast<std::size_t>(a)].push_back(b);
        extra[static_cast<std::size_t>(b)].push_back(a);
    }
    // Half-edges: the outline's (from each point) then the diagonals' (from each end).
    std::vector<std::vector<char>> usedExtra(n);
    for (std::size_t v = 0; v < n; ++v) usedExtra[v].assign(extra[v].size(), 0);
    std::vector<char> usedNext(n, 0);
    const auto following = [&](int from, int at) {
        const auto ua = static_cast<std::size_t>(at);
        if (extra[ua].empty()) return std::pair{o.next[ua], none};
        const double dx = o.x[static_cast<std::size_t>(from)] - o.x[ua],
                     dy = o.y[static_cast<std::size_t>(from)] - o.y[ua];
        std::pair<int, int> best{none, none};
        double bestAngle = 0.0;
        for (int k = -1; k < static_cast<int>(extra[ua].size()); ++k) {
            const int to = k < 0 ? o.next[ua] : extra[ua][static_cast<std::size_t>(k)];
            if (to == from) continue;
            const double ex = o.x[static_cast<std::size_t>(to)] - o.x[ua],
                         ey = o.y[static_cast<std::size_t>(to)] - o.y[ua];
            double angle = std::atan2(cross(ex, ey, dx, dy), dx * ex + dy * ey);
            if (angle <= 0.0) angle += 2.0 * std::numbers::pi;
            if (best.first == none || angle < bestAngle) {
                best = {to, k};
                bestAngle = angle;
            }
        }
        return best;
    };
    const auto markUsed = [&](int from, int k) -> bool {
        char& used = k < 0 ? usedNext[static_cast<std::size_t>(from)]
                           : usedExtra[static_cast<std::size_t>(from)][static_cast<std::size_t>(k)];
        if (used) return false;
        used = 1;
        return true;
    };
    const auto walk = [&](int from, int to, int k) {
        std::vector<int> piece;
        std::size_t steps = 0;
        while (markUsed(from, k) && steps++ <= n + diagonals.size() * 2) {
            piece.push_back(from);
            const auto [nextTo, nextK] = following(from, to);
            from = to;
            to = nextTo;
            k = nextK;
        }
        if (piece.size() >= 3) out.push_back(std::move(piece));
    };
    for (std::size_t v = 0; v < n; ++v) {
        const int iv = static_cast<int>(v);
        if (!usedNext[v]) walk(iv, o.next[v], -1);
        for (std::size_t k = 0; k < extra[v].size(); ++k)
            if (!usedExtra[v][k]) walk(iv, extra[v][k], static_cast<int>(k));
    }
}

// A y-monotone piece (interior on the left) triangulated along its chains.
void triangulateMonotone(const Outline& o, const std::vector<int>& piece, std::vector<std::int64_t>& triangles) {
    const std::size_t m = piece.size();
    const auto emit = [&](int a, int b, int c) {
        if (turn(o, a, b, c) < 0.0) std::swap(b, c);
        for (int v : {a, b, c}) triangles.push_back(o.vertex[static_cast<std::size_t>(v)]);
    };
    if (m == 3) {
        emit(piece[0], piece[1], piece[2]);
        return;
    }
    std::size_t top = 0, bottom = 0;
    for (std::size_t i = 1; i < m; ++i) {
        if (above(o, piece[i], piece[top])) top = i;
        if (above(o, piece[bottom], piece[i])) bottom = i;
    }
    // Forward from the top runs down the west chain.
    std::vector<std::pair<int, bool>> sorted;  // point, on the west chain
    sorted.reserve(m);
    for (std::size_t i = top; i != bottom; i = (i + 1) % m) sorted.emplace_back(piece[i], true);
    for (std::size_t i = bottom; i != top; i = (i + 1) % m) sorted.emplace_back(piece[i], false);
    std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) { return above(o, a.first, b.first); });
    std::vector<std::pair<int, bool>> stack{sorted[0], sorted[1]};
    for (std::size_t j = 2; j + 1 < m; ++j) {
        const auto u = sorted[j];
        if (u.second != stack.back().second) {
            for (std::size_t k = 0; k + 1 < stack.size(); ++k) emit(u.first, stack[k].first, stack[k + 1].first);
            const auto last = stack.back();
            stack.assign({last, u});
        } else {
            auto last = stack.back();
            stack.pop_back();
            while (!stack.empty()) {
                const int a = stack.back().first;
                // The diagonal u -> a stays inside where `last` is a convex corner.
                const double t = u.second ? turn(o, a, last.first, u.first) : turn(o, u.first, last.first, a);
                if (t <= 0.0) break;
                emit(u.first, last.first, a);
                last = stack.back();
                stack.pop_back();
            }
            stack.push_back(last);
            stack.push_back(u);
        }
    }
    const int lowest = sorted[m - 1].first;
    for (std::size_t k = 0; k + 1 < stack.size(); ++k) emit(lowest, stack[k].first, stack[k + 1].first);
}

}  // namespace

bool triangulateOutline(const std::vector<OutlineEdge>& edges, const std::vector<OutlinePoint>& points,
                        std::vector<std::int64_t>& triangles) {
    if (edges.empty()) return true;
    Outline o;
    if (!buildOutline(edges, points, o)) return false;
    std::vector<int> order(edges.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int>(k);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return above(o, a, b); });
    std::vector<std::pair<int, int>> diagonals;
    monotoneDiagonals(o, order, diagonals);
    std::vector<std::vector<int>> cut;
    pieces(o, diagonals, cut);
    for (const std::vector<int>& piece : cut) triangulateMonotone(o, piece, triangles);
    return true;
}

}  // namespace morvale
