#include "mesh/simplify/block_triangulation.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace morvale {

namespace {

struct Tri {
    std::int32_t v[3];       // vertex ids, orient(v0, v1, v2) > 0 in (x, y-south)
    std::int32_t adj[3];     // across edge (v[i], v[i+1]); -1 on the hull
    std::uint8_t fixedEdge;  // bit i: edge i is a segment (never flipped)
    bool inside;
    std::uint32_t version;   // bumped whenever the slot is rewritten
    std::int32_t candidate;  // corner index (y * (width + 1) + x) or -1
    double error;
};

// The heap keeps its own copy of the key: a triangle rewritten by a flip
// keeps its old key there until it is scanned again.
struct HeapEntry {
    double error;
    std::int32_t tri;
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
    std::vector<std::int32_t> px, py;        // vertex coordinates
    std::vector<std::int32_t> vertexTri;     // one triangle holding each vertex
    std::vector<std::int32_t> cornerVertex;  // corner index -> vertex id or -1
    // The triangles whose candidate is farther than maxError, worst first: a
    // binary heap with each triangle's place in it, so that a rewritten
    // triangle leaves it at once. Triangles within the bound stay out: they
    // are never split, and most triangles end there.
    std::vector<HeapEntry> heap;
    std::vector<std::int32_t> heapPlace;
    std::vector<std::int32_t> stack;  // (tri, edge) pairs to legalise
    // Scratch of a re-triangulation.
    std::vector<Tri> oldTris;
    std::vector<std::int32_t> oldIds;
    std::vector<NewTri> newTris;
    std::vector<std::int32_t> newIds;
    std::vector<std::int32_t> left, right, cavity;
    const BlockCorners* corners = nullptr;
    std::int32_t cw = 0;       // corners per row
    double heightBound = 0.0;  // the largest |height| of the block's corners
};

namespace {

// a goes before b: larger error first; equal errors, lower slot first (the same result everywhere).
bool before(const HeapEntry& a, const HeapEntry& b) {
    return a.error > b.error || (a.error == b.error && a.tri < b.tri);
}
bool before(const BlockWorkspace& w, std::size_t i, std::size_t j) { return before(w.heap[i], w.heap[j]); }

void heapSwap(BlockWorkspace& w, std::size_t i, std::size_t j) {
    std::swap(w.heap[i], w.heap[j]);
    w.heapPlace[static_cast<std::size_t>(w.heap[i].tri)] = static_cast<std::int32_t>(i);
    w.heapPlace[static_cast<std::size_t>(w.heap[j].tri)] = static_cast<std::int32_t>(j);
}

void heapUp(BlockWorkspace& w, std::size_t i) {
    while (i > 0) {
        const std::size_t parent = (i - 1) / 2;
        if (!before(w, i, parent)) break;
        heapSwap(w, i, parent);
        i = parent;
    }
}

void heapDown(BlockWorkspace& w, std::size_t i) {
    for (;;) {
        const std::size_t l = 2 * i + 1, r = l + 1;
        std::size_t best = i;
        if (l < w.heap.size() && before(w, l, best)) best = l;
        if (r < w.heap.size() && before(w, r, best)) best = r;
        if (best == i) return;
        heapSwap(w, i, best);
        i = best;
    }
}

void heapRemove(BlockWorkspace& w, std::int32_t tri) {
    if (static_cast<std::size_t>(tri) >= w.heapPlace.size()) return;
    const std::int32_t place = w.heapPlace[static_cast<std::size_t>(tri)];
    if (place < 0) return;
    const auto i = static_cast<std::size_t>(place);
    heapSwap(w, i, w.heap.size() - 1);
    w.heap.pop_back();
    w.heapPlace[static_cast<std::size_t>(tri)] = -1;
    if (i < w.heap.size()) {
        heapUp(w, i);
        heapDown(w, i);
    }
}

void heapAdd(BlockWorkspace& w, std::int32_t tri) {
    if (w.heapPlace.size() < w.tris.size()) w.heapPlace.resize(w.tris.size(), -1);
    w.heap.push_back(HeapEntry{w.tris[static_cast<std::size_t>(tri)].error, tri});
    w.heapPlace[static_cast<std::size_t>(tri)] = static_cast<std::int32_t>(w.heap.size() - 1);
    heapUp(w, w.heap.size() - 1);
}

}  // namespace

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
        // A slot in the heap keeps its key until it is scanned again.
        const std::uint32_t version = t.version + 1;
        const double key = i < w.oldIds.size() ? t.error : 0.0;
        t = Tri{};
        t.version = version;
        t.inside = inside;
        t.candidate = -1;
        t.error = key;
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

// Turns edge (a, b) of t = (a, b, c) and u = (b, a, d) into (c, d):
// t becomes (c, a, d) and u becomes (c, d, b).
// Both keep their heap keys until they are scanned again.
void flip(BlockWorkspace& w, std::int32_t ti, int e, std::int32_t ui, int ue) {
    Tri& t = w.tris[static_cast<std::size_t>(ti)];
    Tri& u = w.tris[static_cast<std::size_t>(ui)];
    const std::int32_t a = t.v[e], b = t.v[(e + 1) % 3], c = t.v[(e + 2) % 3], d = u.v[(ue + 2) % 3];
    const std::int32_t nBC = t.adj[(e + 1) % 3], nCA = t.adj[(e + 2) % 3];
    const std::int32_t nAD = u.adj[(ue + 1) % 3], nDB = u.adj[(ue + 2) % 3];
    const bool fBC = t.fixedEdge & (1u << ((e + 1) % 3)), fCA = t.fixedEdge & (1u << ((e + 2) % 3));
    const bool fAD = u.fixedEdge & (1u << ((ue + 1) % 3)), fDB = u.fixedEdge & (1u << ((ue + 2) % 3));
    t.v[0] = c, t.v[1] = a, t.v[2] = d;
    t.adj[0] = nCA, t.adj[1] = nAD, t.adj[2] = ui;
    t.fixedEdge = static_cast<std::uint8_t>((fCA ? 1 : 0) | (fAD ? 2 : 0));
    u.v[0] = c, u.v[1] = d, u.v[2] = b;
    u.adj[0] = ti, u.adj[1] = nDB, u.adj[2] = nBC;
    u.fixedEdge = static_cast<std::uint8_t>((fDB ? 2 : 0) | (fBC ? 4 : 0));
    ++t.version;
    ++u.version;
    t.candidate = u.candidate = -1;
    if (nAD >= 0) {
        Tri& n = w.tris[static_cast<std::size_t>(nAD)];
        n.adj[edgeOf(n, d, a)] = ti;
    }
    if (nBC >= 0) {
        Tri& n = w.tris[static_cast<std::size_t>(nBC)];
        n.adj[edgeOf(n, c, b)] = ui;
    }
    w.vertexTri[static_cast<std::size_t>(a)] = ti;
    w.vertexTri[static_cast<std::size_t>(c)] = ti;
    w.vertexTri[static_cast<std::size_t>(d)] = ti;
    w.vertexTri[static_cast<std::size_t>(b)] = ui;
}

// Which edges a flip may have made illegal. Around a vertex just inserted
// (the queued edges face it), only the two edges of the new triangles that
// face it: those at the vertex are Delaunay (Lawson's insertion lemma), so
// checking them would only cost. Anywhere else, all four outer edges.
enum class FlipFront { aroundNewVertex, everywhere };

// Lawson flips from the queued edges until every unmarked edge is locally
// Delaunay. Touched triangles are appended to w.cavity.
void legalise(BlockWorkspace& w, FlipFront front) {
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
        flip(w, ti, edge, ui, ue);
        // t = (c, a, d) and u = (c, d, b): edge 1 of each faces c.
        for (std::int32_t id : {ti, ui}) {
            w.cavity.push_back(id);
            if (front == FlipFront::aroundNewVertex) {
                pushEdge(w, id, 1);
            } else {
                for (int k = 0; k < 3; ++k) pushEdge(w, id, k);
            }
        }
    }
}

// Inserts vertex p, which lies in the closed triangle ti (not on a marked edge).
void insertInto(BlockWorkspace& w, std::int32_t ti, std::int32_t p) {
    const Tri t = w.tris[static_cast<std::size_t>(ti)];
    int onEdge = -1;
    for (int k = 0; k < 3; ++k)
        if (orientV(w, t.v[k], t.v[(k + 1) % 3], p) == 0) onEdge = k;
    if (onEdge < 0) {
        // Inside: t keeps (v0, v1, p); two new slots take (v1, v2, p) and (v2, v0, p).
        const auto t1 = static_cast<std::int32_t>(w.tris.size()), t2 = t1 + 1;
        Tri parts[3];
        const std::int32_t ids[3] = {ti, t1, t2};
        for (int k = 0; k < 3; ++k) {
            Tri& n = parts[k];
            n.v[0] = t.v[k], n.v[1] = t.v[(k + 1) % 3], n.v[2] = p;
            n.adj[0] = t.adj[k], n.adj[1] = ids[(k + 1) % 3], n.adj[2] = ids[(k + 2) % 3];
            n.fixedEdge = (t.fixedEdge >> k) & 1u;
            n.inside = t.inside;
            n.version = k == 0 ? t.version + 1 : 0;
            n.candidate = -1;
            n.error = k == 0 ? t.error : 0.0;
        }
        w.tris[static_cast<std::size_t>(ti)] = parts[0];
        w.tris.push_back(parts[1]);
        w.tris.push_back(parts[2]);
        for (int k = 1; k < 3; ++k) {
            if (t.adj[k] < 0) continue;
            Tri& n = w.tris[static_cast<std::size_t>(t.adj[k])];
            n.adj[edgeOf(n, t.v[(k + 1) % 3], t.v[k])] = ids[k];
        }
        w.vertexTri[static_cast<std::size_t>(t.v[0])] = ti;
        w.vertexTri[static_cast<std::size_t>(t.v[1])] = ti;
        w.vertexTri[static_cast<std::size_t>(t.v[2])] = t1;
        w.vertexTri[static_cast<std::size_t>(p)] = ti;
        for (int k = 0; k < 3; ++k) {
            w.cavity.push_back(ids[k]);
            pushEdge(w, ids[k], 0);
        }
        legalise(w, FlipFront::aroundNewVertex);
        return;
    }
    w.oldIds.assign({ti});
    w.newTris.clear();
    {
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
    legalise(w, FlipFront::aroundNewVertex);
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
void triangulateChain(BlockWorkspace& w, std::int32_t a, std::int32_t b, const std::int32_t* chain, std::size_t count) {
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
    triangulateChain(w, a, b, w.right.data(), w.right.size());  // both chains run from a to b
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

// Narrows [from, to] to the i where w + step * i >= 0. Block coordinates
// keep every value far inside 32 bits, where division is cheaper.
void spanOf(std::int32_t w, std::int32_t step, std::int32_t& from, std::int32_t& to) {
    if (step > 0) {
        if (w < 0) from = std::max(from, (-w + step - 1) / step);
    } else if (step < 0) {
        if (w < 0) {
            to = -1;
        } else {
            to = std::min(to, w / -step);
        }
    } else if (w < 0) {
        to = -1;
    }
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
    // A corner is first judged without the division: |h * area - plane| is
    // compared with best * area, less a margin far above the rounding of
    // either form (a few units in the last place of the heights involved).
    // Only corners that may beat the best get the exact distance, so the
    // choice and the distance are those of the exact form alone.
    const double margin = 1e-13 * area * (w.heightBound + std::max({std::fabs(h0), std::fabs(h1), std::fabs(h2)}));
    double threshold = -HUGE_VAL;
    // Per row, only the span inside the triangle: each weight is linear in x
    // (w + step * i for i = x - minX) and must not be negative.
    const auto step0 = static_cast<std::int32_t>(y1 - y2), step1 = static_cast<std::int32_t>(y2 - y0),
               step2 = static_cast<std::int32_t>(y0 - y1);
    const auto f0 = static_cast<double>(step0), f1 = static_cast<double>(step1), f2 = static_cast<double>(step2);
    for (std::int64_t y = minY; y <= maxY; ++y) {
        const auto w0 = static_cast<std::int32_t>(orient(x1, y1, x2, y2, minX, y));
        const auto w1 = static_cast<std::int32_t>(orient(x2, y2, x0, y0, minX, y));
        const auto w2 = static_cast<std::int32_t>(orient(x0, y0, x1, y1, minX, y));
        std::int32_t from = 0, to = static_cast<std::int32_t>(maxX - minX);
        spanOf(w0, step0, from, to);
        spanOf(w1, step1, from, to);
        spanOf(w2, step2, from, to);
        const std::uint8_t* flags = bc.flags + y * bc.stride + minX;
        const double* heights = bc.heightAt + y * bc.stride + minX;
        // Whole numbers below 2^53: stepping in doubles is exact.
        double d0 = static_cast<double>(w0 + step0 * from), d1 = static_cast<double>(w1 + step1 * from);
        double d2 = static_cast<double>(w2 + step2 * from);
        for (std::int64_t i = from; i <= to; ++i, d0 += f0, d1 += f1, d2 += f2) {
            if ((flags[i] & (cornerIsVertex | cornerOnLine | cornerKept)) != cornerIsVertex) continue;
            const double plane = d0 * h0 + d1 * h1 + d2 * h2;
            if (std::fabs(heights[i] * area - plane) < threshold) continue;
            const double error = std::fabs(heights[i] - plane / area);
            if (error > best) {
                best = error;
                bestCorner = static_cast<std::int32_t>(y * w.cw + minX + i);
                threshold = best * area - margin;
            }
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
    // Only the last block's vertices are cleared: most corners never were one.
    for (std::size_t v = 0; v < w.px.size(); ++v)
        w.cornerVertex[static_cast<std::size_t>(w.py[v] * w.cw + w.px[v])] = -1;
    const auto cornerCount = static_cast<std::size_t>((bc.width + 1) * (bc.height + 1));
    if (w.cornerVertex.size() < cornerCount) w.cornerVertex.resize(cornerCount, -1);
    w.corners = &bc;
    w.cw = bc.width + 1;
    w.tris.clear();
    w.px.clear();
    w.py.clear();
    w.vertexTri.clear();
    w.heap.clear();
    w.heapPlace.clear();
    w.stack.clear();
    w.heightBound = 0.0;
    for (std::int32_t y = 0; y <= bc.height; ++y)
        for (std::int32_t x = 0; x <= bc.width; ++x)
            w.heightBound = std::max(w.heightBound, std::fabs(bc.heightAt[y * bc.stride + x]));

    // The block's rectangle as two triangles, its sides marked.
    const std::int32_t nw = addVertex(w, 0, 0), ne = addVertex(w, bc.width, 0);
    const std::int32_t se = addVertex(w, bc.width, bc.height), sw = addVertex(w, 0, bc.height);
    // (x, y-south): nw, se, sw turns positively.
    w.tris.push_back(Tri{{nw, se, sw}, {1, -1, -1}, 6, false, 0, -1, 0.0});
    w.tris.push_back(Tri{{nw, ne, se}, {-1, -1, 0}, 3, false, 0, -1, 0.0});
    w.vertexTri = {0, 1, 0, 0};  // ne lies only in the second

    // Every kept corner, row by row.
    std::int32_t hint = 0;
    for (std::int32_t y = 0; y <= bc.height; ++y) {
        const std::uint8_t* rowFlags = bc.flags + y * bc.stride;
        for (std::int32_t x = nextKept(rowFlags, 0, bc.width); x <= bc.width; x = nextKept(rowFlags, x + 1, bc.width)) {
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
    legalise(w, FlipFront::everywhere);

    // Inside: the cell under the triangle's centroid has data.
    for (std::size_t ti = 0; ti < w.tris.size(); ++ti) {
        Tri& t = w.tris[ti];
        const std::int64_t cx = (w.px[t.v[0]] + w.px[t.v[1]] + w.px[t.v[2]]) / 3;
        const std::int64_t cy = (w.py[t.v[0]] + w.py[t.v[1]] + w.py[t.v[2]]) / 3;
        t.inside = bc.cellData[std::min<std::int64_t>(cy, bc.height - 1) * bc.cellStride +
                               std::min<std::int64_t>(cx, bc.width - 1)] != 0;
        scanTriangle(w, static_cast<std::int32_t>(ti));
        if (t.candidate >= 0 && t.error > maxError) heapAdd(w, static_cast<std::int32_t>(ti));
    }

    // Greedy insertion: the worst corner first, until all are within maxError.
    while (!w.heap.empty()) {
        const std::int32_t worst = w.heap.front().tri;
        const Tri& t = w.tris[static_cast<std::size_t>(worst)];
        const std::int32_t corner = t.candidate;
        const std::int32_t x = corner % w.cw, y = corner / w.cw;
        bc.flags[y * bc.stride + x] |= cornerKept;
        const std::int32_t p = addVertex(w, x, y);
        w.cavity.clear();
        insertInto(w, worst, p);
        std::sort(w.cavity.begin(), w.cavity.end());
        w.cavity.erase(std::unique(w.cavity.begin(), w.cavity.end()), w.cavity.end());
        for (std::int32_t id : w.cavity) {
            scanTriangle(w, id);
            const bool inHeap =
                static_cast<std::size_t>(id) < w.heapPlace.size() && w.heapPlace[static_cast<std::size_t>(id)] >= 0;
            const Tri& n = w.tris[static_cast<std::size_t>(id)];
            if (n.candidate < 0 || n.error <= maxError) {
                heapRemove(w, id);
            } else if (!inHeap) {
                heapAdd(w, id);
            } else {
                const auto place = static_cast<std::size_t>(w.heapPlace[static_cast<std::size_t>(id)]);
                w.heap[place].error = n.error;
                heapUp(w, place);
                heapDown(w, static_cast<std::size_t>(w.heapPlace[static_cast<std::size_t>(id)]));
            }
        }
    }

    for (const Tri& t : w.tris) {
        outcome.errorReached = std::max(outcome.errorReached, t.error);
        if (!t.inside) continue;
        BlockTriangle out;
        // Reverse: positive in (x, y-south) is clockwise seen from above.
        const std::int32_t order[3] = {t.v[0], t.v[2], t.v[1]};
        for (int k = 0; k < 3; ++k) {
            out.x[k] = static_cast<std::uint8_t>(w.px[order[k]]);
            out.y[k] = static_cast<std::uint8_t>(w.py[order[k]]);
        }
        triangles.push_back(out);
    }
    return outcome;
}

}  // namespace morvale
