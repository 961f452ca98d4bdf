#include "mesh/simplify/block_triangulation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <queue>

namespace morvale {

namespace {

struct Tri {
    std::int32_t v[3];    // vertex ids, orient(v0, v1, v2) > 0 in (x, y-south)
    std::int32_t adj[3];  // across edge (v[i], v[i+1]); -1 on the hull
    std::uint8_t fixedEdge;  // bit i: edge i is a segment (never flipped)
    bool inside;
    std::uint32_t version;  // bumped whenever the slot is rewritten
    std::int32_t candidate;  // corner index (y * (width + 1) + x) or -1
    double error;
};

struct HeapEntry {
    double error;
    std::int32_t tri;
    std::uint32_t version;
    bool operator<(const HeapEntry& other) const {
        if (error != other.error) return error < other.error;
        return tri > other.tri;  // equal errors: lower slot first, for the same result everywhere
    }
};

struct NewTri {
    std::int32_t v[3];
};

inline std::int64_t orient(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by, std::int64_t cx,
                           std::int64_t cy) {
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

}  // namespace

struct BlockWorkspace {
    std::vector<Tri> tris;
    std::vector<std::int32_t> px, py;     // vertex coordinates
    std::vector<std::int32_t> vertexTri;  // one triangle holding each vertex
    std::vector<std::int32_t> cornerVertex;  // corner index -> vertex id or -1
    std::priority_queue<HeapEntry> heap;
    std::vector<std::int32_t> stack;  // (tri, edge) pairs to legalise
    // Scratch of a re-triangulation.
    std::vector<Tri> oldTris;
    std::vector<std::int32_t> oldIds;
    std::vector<NewTri> newTris;
    std::vector<std::int32_t> newIds;
    std::vector<std::int32_t> left, right, cavity;
    const BlockCorners* corners = nullptr;
    std::int32_t cw = 0;  // corners per row
};

BlockWorkspace* createBlockWorkspace() { return new BlockWorkspace(); }
void destroyBlockWorkspace(BlockWorkspace* workspace) { delete workspace; }

namespace {

std::int64_t orientV(const BlockWorkspace& w, std::int32_t a, std::int32_t b, std::int32_t c) {
    return orient(w.px[a], w.py[a], w.px[b], w.py[b], w.px[c], w.py[c]);
}

// > 0 when d lies inside the circle through a, b, c (orient(a, b, c) > 0).
std::int64_t inCircle(const BlockWorkspace& w, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    const std::int64_t adx = w.px[a] - w.px[d], ady = w.py[a] - w.py[d];
    const std::int64_t bdx = w.px[b] - w.px[d], bdy = w.py[b] - w.py[d];
    const std::int64_t cdx = w.px[c] - w.px[d], cdy = w.py[c] - w.py[d];
    return (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) + (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
           (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
}

std::int32_t addVertex(BlockWorkspace& w, std::int32_t x, std::int32_t y) {
    const auto id = static_cast<std::int32_t>(w.px.size());
    w.px.push_back(x);
    w.py.push_back(y);
    w.vertexTri.push_back(-1);
    w.cornerVertex[static_cast<std::size_t>(y * w.cw + x)] = id;
    return id;
}

int edgeOf(const std::int32_t* v, std::int32_t a, std::int32_t b) {
    for (int i = 0; i < 3; ++i)
        if (v[i] == a && v[(i + 1) % 3] == b) return i;
    return -1;
}
int edgeOf(const Tri& t, std::int32_t a, std::int32_t b) { return edgeOf(t.v, a, b); }

// Replaces the triangles w.oldIds by w.newTris (same outline). Edges inside the
// new set are linked to each other; outline edges take the neighbour and the
// segment mark of the old triangle that had them. The new ids land in w.newIds.
void retriangulate(BlockWorkspace& w, bool inside) {
    w.oldTris.clear();
    for (std::int32_t id : w.oldIds) w.oldTris.push_back(w.tris[static_cast<std::size_t>(id)]);
    w.newIds.clear();
    for (std::size_t i = 0; i < w.newTris.size(); ++i) {
        std::int32_t id;
        if (i < w.oldIds.size()) {
            id = w.oldIds[i];
        } else {
            id = static_cast<std::int32_t>(w.tris.size());
            w.tris.push_back(Tri{});
            w.tris.back().version = 0;
        }
        w.newIds.push_back(id);
    }
    assert(w.newTris.size() >= w.oldIds.size());
    for (std::size_t i = 0; i < w.newTris.size(); ++i) {
        Tri& t = w.tris[static_cast<std::size_t>(w.newIds[i])];
        const std::uint32_t version = t.version + 1;
        t = Tri{};
        t.version = version;
        t.inside = inside;
        t.candidate = -1;
        t.error = 0.0;
        for (int k = 0; k < 3; ++k) t.v[k] = w.newTris[i].v[k];
        for (int k = 0; k < 3; ++k) {
            const std::int32_t a = t.v[k], b = t.v[(k + 1) % 3];
            w.vertexTri[static_cast<std::size_t>(a)] = w.newIds[i];
            t.adj[k] = -1;
            bool linked = false;
            for (std::size_t j = 0; j < w.newTris.size() && !linked; ++j) {
                if (j == i) continue;
                if (edgeOf(w.newTris[j].v, b, a) >= 0) {
                    t.adj[k] = w.newIds[j];
                    linked = true;
                }
            }
            if (linked) continue;
            for (const Tri& old : w.oldTris) {
                const int e = edgeOf(old, a, b);
                if (e < 0) continue;
                t.adj[k] = old.adj[e];
                if (old.fixedEdge & (1u << e)) t.fixedEdge |= static_cast<std::uint8_t>(1u << k);
                if (old.adj[e] >= 0) {
                    Tri& n = w.tris[static_cast<std::size_t>(old.adj[e])];
                    const int back = edgeOf(n, b, a);
                    assert(back >= 0);
                    n.adj[back] = w.newIds[i];
                }
                break;
            }
        }
    }
}

void pushEdge(BlockWorkspace& w, std::int32_t tri, int edge) {
    w.stack.push_back(tri);
    w.stack.push_back(edge);
}

// Lawson flips from the queued edges until every unmarked edge is locally
// Delaunay. Touched triangles are appended to w.cavity.
void legalise(BlockWorkspace& w) {
    while (!w.stack.empty()) {
        const int edge = w.stack.back();
        w.stack.pop_back();
        const std::int32_t ti = w.stack.back();
        w.stack.pop_back();
        const Tri& t = w.tris[static_cast<std::size_t>(ti)];
        const std::int32_t ui = t.adj[edge];
        if (ui < 0 || (t.fixedEdge & (1u << edge))) continue;
        const std::int32_t a = t.v[edge], b = t.v[(edge + 1) % 3], c = t.v[(edge + 2) % 3];
        const Tri& u = w.tris[static_cast<std::size_t>(ui)];
        const int ue = edgeOf(u, b, a);
        if (ue < 0) continue;  // stale entry
        const std::int32_t d = u.v[(ue + 2) % 3];
        if (inCircle(w, a, b, c, d) <= 0) continue;
        w.oldIds.assign({ti, ui});
        w.newTris.assign({NewTri{{c, a, d}}, NewTri{{c, d, b}}});
        retriangulate(w, t.inside);
        // Every edge of the two new triangles may now be illegal.
        for (std::int32_t id : w.newIds) {
            w.cavity.push_back(id);
            for (int k = 0; k < 3; ++k) pushEdge(w, id, k);
        }
    }
}

// Inserts vertex p, which lies in the closed triangle ti (not on a marked edge).
void insertInto(BlockWorkspace& w, std::int32_t ti, std::int32_t p) {
    const Tri t = w.tris[static_cast<std::size_t>(ti)];
    int onEdge = -1;
    for (int k = 0; k < 3; ++k)
        if (orientV(w, t.v[k], t.v[(k + 1) % 3], p) == 0) onEdge = k;
    w.oldIds.assign({ti});
    w.newTris.clear();
    if (onEdge < 0) {
        for (int k = 0; k < 3; ++k) w.newTris.push_back(NewTri{{t.v[k], t.v[(k + 1) % 3], p}});
    } else {
        const std::int32_t a = t.v[onEdge], b = t.v[(onEdge + 1) % 3], c = t.v[(onEdge + 2) % 3];
        w.newTris.push_back(NewTri{{a, p, c}});
        w.newTris.push_back(NewTri{{p, b, c}});
        const std::int32_t ui = t.adj[onEdge];
        if (ui >= 0) {
            const Tri& u = w.tris[static_cast<std::size_t>(ui)];
            const int ue = edgeOf(u, b, a);
            const std::int32_t d = u.v[(ue + 2) % 3];
            w.oldIds.push_back(ui);
            w.newTris.push_back(NewTri{{b, p, d}});
            w.newTris.push_back(NewTri{{p, a, d}});
        }
    }
    // A split edge keeps its segment mark on both halves.
    const bool splitFixed = onEdge >= 0 && (t.fixedEdge & (1u << onEdge));
    retriangulate(w, t.inside);
    if (splitFixed) {
        const std::int32_t a = t.v[onEdge], b = t.v[(onEdge + 1) % 3];
        auto onSplit = [&](std::int32_t v) { return v == a || v == b || v == p; };
        for (std::int32_t id : w.newIds) {
            Tri& n = w.tris[static_cast<std::size_t>(id)];
            for (int k = 0; k < 3; ++k)
                if (onSplit(n.v[k]) && onSplit(n.v[(k + 1) % 3])) n.fixedEdge |= static_cast<std::uint8_t>(1u << k);
        }
    }
    w.cavity.insert(w.cavity.end(), w.newIds.begin(), w.newIds.end());
    for (std::int32_t id : w.newIds) {
        const Tri& n = w.tris[static_cast<std::size_t>(id)];
        for (int k = 0; k < 3; ++k)
            if (n.v[k] != p && n.v[(k + 1) % 3] != p) pushEdge(w, id, k);
    }
    legalise(w);
}

// The triangle holding point (x, y), by a visibility walk (it ends in a
// Delaunay triangulation; the step cap guards the others).
std::int32_t locate(const BlockWorkspace& w, std::int32_t start, std::int32_t x, std::int32_t y) {
    std::int32_t ti = start;
    const std::size_t cap = 4 * w.tris.size() + 16;
    for (std::size_t step = 0; step < cap; ++step) {
        const Tri& t = w.tris[static_cast<std::size_t>(ti)];
        int next = -1;
        for (int k = 0; k < 3 && next < 0; ++k) {
            const int e = static_cast<int>((k + step) % 3);
            const std::int32_t a = t.v[e], b = t.v[(e + 1) % 3];
            if (orient(w.px[a], w.py[a], w.px[b], w.py[b], x, y) < 0) next = e;
        }
        if (next < 0) return ti;
        ti = t.adj[next];
        if (ti < 0) break;
    }
    for (std::size_t i = 0; i < w.tris.size(); ++i) {
        const Tri& t = w.tris[i];
        bool in = true;
        for (int k = 0; k < 3 && in; ++k)
            in = orient(w.px[t.v[k]], w.py[t.v[k]], w.px[t.v[(k + 1) % 3]], w.py[t.v[(k + 1) % 3]], x, y) >= 0;
        if (in) return static_cast<std::int32_t>(i);
    }
    return -1;
}

// Delaunay triangulation of a side chain of a recovered segment (a, b):
// picks the chain vertex whose circle through a and b holds no other, and
// recurses on both sides of it.
void triangulateChain(BlockWorkspace& w, std::int32_t a, std::int32_t b, const std::int32_t* chain,
                      std::size_t count) {
    if (count == 0) return;
    std::size_t best = 0;
    for (std::size_t i = 1; i < count; ++i) {
        std::int32_t pa = a, pb = b, pc = chain[best];
        if (orientV(w, pa, pb, pc) < 0) std::swap(pa, pb);
        if (inCircle(w, pa, pb, pc, chain[i]) > 0) best = i;
    }
    const std::int32_t c = chain[best];
    if (orientV(w, a, b, c) > 0)
        w.newTris.push_back(NewTri{{a, b, c}});
    else
        w.newTris.push_back(NewTri{{b, a, c}});
    triangulateChain(w, a, c, chain, best);
    triangulateChain(w, c, b, chain + best + 1, count - best - 1);
}

void markSegment(BlockWorkspace& w, std::int32_t ti, int edge) {
    Tri& t = w.tris[static_cast<std::size_t>(ti)];
    t.fixedEdge |= static_cast<std::uint8_t>(1u << edge);
    if (t.adj[edge] >= 0) {
        Tri& u = w.tris[static_cast<std::size_t>(t.adj[edge])];
        const int back = edgeOf(u, t.v[(edge + 1) % 3], t.v[edge]);
        if (back >= 0) u.fixedEdge |= static_cast<std::uint8_t>(1u << back);
    }
}

// Makes (a, b) an edge of the triangulation and marks it.
bool recoverSegment(BlockWorkspace& w, std::int32_t a, std::int32_t b) {
    // Turn around a to the triangle whose corner at a holds the direction of b:
    // counter-clockwise first, then clockwise when the hull stops the turn.
    const std::int32_t start = w.vertexTri[static_cast<std::size_t>(a)];
    std::int32_t first = -1;
    auto cornerOf = [&](std::int32_t ti) {
        const Tri& t = w.tris[static_cast<std::size_t>(ti)];
        int k = 0;
        while (t.v[k] != a) ++k;
        return k;
    };
    // 1: edge found and marked; 0: go on; b lies in this triangle's corner: first.
    auto look = [&](std::int32_t ti) {
        const Tri& t = w.tris[static_cast<std::size_t>(ti)];
        const int k = cornerOf(ti);
        const std::int32_t v1 = t.v[(k + 1) % 3], v2 = t.v[(k + 2) % 3];
        if (v1 == b) {
            markSegment(w, ti, k);
            return true;
        }
        if (v2 == b) {
            markSegment(w, ti, (k + 2) % 3);
            return true;
        }
        if (orientV(w, a, v1, b) > 0 && orientV(w, a, v2, b) < 0) first = ti;
        return false;
    };
    for (int direction = 0; direction < 2 && first < 0; ++direction) {
        std::int32_t ti = start;
        for (std::size_t guard = 0; guard < w.tris.size() + 2; ++guard) {
            if (look(ti)) return true;
            if (first >= 0) break;
            const int k = cornerOf(ti);
            const std::int32_t next = w.tris[static_cast<std::size_t>(ti)].adj[direction == 0 ? (k + 2) % 3 : k];
            if (next < 0 || next == start) break;
            ti = next;
        }
    }
    if (first < 0) return false;
    // Walk along (a, b), collecting the crossed triangles and both side chains.
    w.cavity.clear();
    w.left.clear();
    w.right.clear();
    w.oldIds.clear();
    w.oldIds.push_back(first);
    {
        const Tri& t = w.tris[static_cast<std::size_t>(first)];
        int k = 0;
        while (t.v[k] != a) ++k;
        std::int32_t l = t.v[(k + 2) % 3], r = t.v[(k + 1) % 3];  // left: orient(a, b, l) > 0
        w.left.push_back(l);
        w.right.push_back(r);
        std::int32_t cur = first;
        for (std::size_t guard = 0; guard < w.tris.size() + 8; ++guard) {
            const Tri& c = w.tris[static_cast<std::size_t>(cur)];
            const int e = edgeOf(c, r, l);
            if (e < 0 || (c.fixedEdge & (1u << e)) || c.adj[e] < 0) return false;
            const std::int32_t ni = c.adj[e];
            const Tri& n = w.tris[static_cast<std::size_t>(ni)];
            const int ne = edgeOf(n, l, r);
            const std::int32_t o = n.v[(ne + 2) % 3];
            w.oldIds.push_back(ni);
            cur = ni;
            if (o == b) break;
            const std::int64_t side = orientV(w, a, b, o);
            if (side == 0) return false;  // a vertex inside the segment
            if (side > 0) {
                w.left.push_back(o);
                l = o;
            } else {
                w.right.push_back(o);
                r = o;
            }
        }
    }
    w.newTris.clear();
    triangulateChain(w, a, b, w.left.data(), w.left.size());
    triangulateChain(w, b, a, w.right.data(), w.right.size());
    if (w.newTris.size() != w.oldIds.size()) return false;
    retriangulate(w, false);
    for (std::int32_t id : w.newIds) {
        const int e = edgeOf(w.tris[static_cast<std::size_t>(id)], a, b);
        if (e >= 0) {
            markSegment(w, id, e);
            return true;
        }
    }
    return false;
}

// The candidate of a triangle: the corner farthest from its plane.
void scanTriangle(BlockWorkspace& w, std::int32_t ti) {
    Tri& t = w.tris[static_cast<std::size_t>(ti)];
    t.candidate = -1;
    t.error = 0.0;
    if (!t.inside) return;
    const BlockCorners& bc = *w.corners;
    const std::int64_t x0 = w.px[t.v[0]], y0 = w.py[t.v[0]];
    const std::int64_t x1 = w.px[t.v[1]], y1 = w.py[t.v[1]];
    const std::int64_t x2 = w.px[t.v[2]], y2 = w.py[t.v[2]];
    const double h0 = bc.heightAt[y0 * bc.stride + x0];
    const double h1 = bc.heightAt[y1 * bc.stride + x1];
    const double h2 = bc.heightAt[y2 * bc.stride + x2];
    const double area = static_cast<double>(orient(x0, y0, x1, y1, x2, y2));
    const std::int64_t minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
    const std::int64_t minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
    double best = -1.0;
    std::int32_t bestCorner = -1;
    for (std::int64_t y = minY; y <= maxY; ++y) {
        std::int64_t w0 = orient(x1, y1, x2, y2, minX, y);
        std::int64_t w1 = orient(x2, y2, x0, y0, minX, y);
        std::int64_t w2 = orient(x0, y0, x1, y1, minX, y);
        const std::uint8_t* flags = bc.flags + y * bc.stride;
        const double* heights = bc.heightAt + y * bc.stride;
        for (std::int64_t x = minX; x <= maxX; ++x) {
            if ((w0 | w1 | w2) >= 0 && (flags[x] & (cornerIsVertex | cornerOnLine | cornerKept)) == cornerIsVertex) {
                const double surface = (static_cast<double>(w0) * h0 + static_cast<double>(w1) * h1 +
                                        static_cast<double>(w2) * h2) /
                                       area;
                const double error = std::fabs(heights[x] - surface);
                if (error > best) {
                    best = error;
                    bestCorner = static_cast<std::int32_t>(y * w.cw + x);
                }
            }
            w0 -= y2 - y1;
            w1 -= y0 - y2;
            w2 -= y1 - y0;
        }
    }
    t.candidate = bestCorner;
    t.error = best < 0.0 ? 0.0 : best;
}

}  // namespace

BlockOutcome simplifyBlock(BlockWorkspace& w, const BlockCorners& bc, const BlockSegment* segments,
                           std::size_t segmentCount, double maxError, std::vector<BlockTriangle>& triangles) {
    assert(bc.width >= 1 && bc.height >= 1 && bc.width <= kMaxBlockCells && bc.height <= kMaxBlockCells);
    BlockOutcome outcome;
    w.corners = &bc;
    w.cw = bc.width + 1;
    w.tris.clear();
    w.px.clear();
    w.py.clear();
    w.vertexTri.clear();
    w.cornerVertex.assign(static_cast<std::size_t>(w.cw) * static_cast<std::size_t>(bc.height + 1), -1);
    w.heap = {};
    w.stack.clear();

    // The block's rectangle as two triangles, its sides marked.
    const std::int32_t nw = addVertex(w, 0, 0), ne = addVertex(w, bc.width, 0);
    const std::int32_t se = addVertex(w, bc.width, bc.height), sw = addVertex(w, 0, bc.height);
    // (x, y-south): nw, se, sw turns positively.
    w.tris.push_back(Tri{{nw, se, sw}, {1, -1, -1}, 6, false, 0, -1, 0.0});
    w.tris.push_back(Tri{{nw, ne, se}, {-1, -1, 0}, 3, false, 0, -1, 0.0});
    w.vertexTri = {0, 0, 0, 0};

    // Every kept corner, row by row.
    std::int32_t hint = 0;
    for (std::int32_t y = 0; y <= bc.height; ++y) {
        for (std::int32_t x = 0; x <= bc.width; ++x) {
            if (!(bc.flags[y * bc.stride + x] & cornerKept)) continue;
            if (w.cornerVertex[static_cast<std::size_t>(y * w.cw + x)] >= 0) continue;
            const std::int32_t ti = locate(w, hint, x, y);
            if (ti < 0) {
                outcome.ok = false;
                return outcome;
            }
            const std::int32_t p = addVertex(w, x, y);
            w.cavity.clear();
            insertInto(w, ti, p);
            hint = w.vertexTri[static_cast<std::size_t>(p)];
        }
    }
    for (std::size_t i = 0; i < segmentCount; ++i) {
        const BlockSegment& s = segments[i];
        const std::int32_t a = w.cornerVertex[static_cast<std::size_t>(s.y0 * w.cw + s.x0)];
        const std::int32_t b = w.cornerVertex[static_cast<std::size_t>(s.y1 * w.cw + s.x1)];
        if (a < 0 || b < 0 || !recoverSegment(w, a, b)) {
            outcome.ok = false;
            return outcome;
        }
    }
    // Recovery leaves some edges non-Delaunay: flip them back.
    for (std::size_t ti = 0; ti < w.tris.size(); ++ti)
        for (int k = 0; k < 3; ++k) pushEdge(w, static_cast<std::int32_t>(ti), k);
    w.cavity.clear();
    legalise(w);

    // Inside: the cell under the triangle's centroid has data.
    for (std::size_t ti = 0; ti < w.tris.size(); ++ti) {
        Tri& t = w.tris[ti];
        const std::int64_t cx = (w.px[t.v[0]] + w.px[t.v[1]] + w.px[t.v[2]]) / 3;
        const std::int64_t cy = (w.py[t.v[0]] + w.py[t.v[1]] + w.py[t.v[2]]) / 3;
        t.inside = bc.cellData[std::min<std::int64_t>(cy, bc.height - 1) * bc.cellStride +
                               std::min<std::int64_t>(cx, bc.width - 1)] != 0;
        scanTriangle(w, static_cast<std::int32_t>(ti));
        if (t.candidate >= 0) w.heap.push(HeapEntry{t.error, static_cast<std::int32_t>(ti), t.version});
    }

    // Greedy insertion: the worst corner first, until all are within maxError.
    while (!w.heap.empty()) {
        const HeapEntry top = w.heap.top();
        const Tri& t = w.tris[static_cast<std::size_t>(top.tri)];
        if (t.version != top.version) {
            w.heap.pop();
            continue;
        }
        if (top.error <= maxError) {
            outcome.errorReached = top.error;
            break;
        }
        w.heap.pop();
        const std::int32_t corner = t.candidate;
        const std::int32_t x = corner % w.cw, y = corner / w.cw;
        bc.flags[y * bc.stride + x] |= cornerKept;
        const std::int32_t p = addVertex(w, x, y);
        w.cavity.clear();
        insertInto(w, top.tri, p);
        std::sort(w.cavity.begin(), w.cavity.end());
        w.cavity.erase(std::unique(w.cavity.begin(), w.cavity.end()), w.cavity.end());
        for (std::int32_t id : w.cavity) {
            scanTriangle(w, id);
            const Tri& n = w.tris[static_cast<std::size_t>(id)];
            if (n.candidate >= 0) w.heap.push(HeapEntry{n.error, id, n.version});
        }
    }

    for (const Tri& t : w.tris) {
        if (!t.inside) continue;
        BlockTriangle out;
        // Reverse: positive in (x, y-south) is clockwise seen from above.
        const std::int32_t order[3] = {t.v[0], t.v[2], t.v[1]};
        for (int k = 0; k < 3; ++k) {
            out.x[k] = w.px[order[k]];
            out.y[k] = w.py[order[k]];
        }
        triangles.push_back(out);
    }
    return outcome;
}

}  // namespace morvale
