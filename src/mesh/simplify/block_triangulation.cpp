#include "mesh/simplify/block_triangulation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace morvale {

namespace {

struct Tri {
    std::int32_t v[3];       // vertex ids, orient(v0, v1, v2) > 0 in (x, y-south)
    std::int32_t adj[3];     // across edge (v[i], v[i+1]); -1 on the hull
    std::uint8_t fixedEdge;  // bit i: edge i is a segment (never flipped)
    bool inside;
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

// The next and the previous of a triangle's three corners or edges.
inline int next3(int k) { return k == 2 ? 0 : k + 1; }
inline int prev3(int k) { return k == 0 ? 2 : k - 1; }

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
    // The block's heights as the scan's first pass reads them: NaN wherever
    // the corner is no candidate, so that the pass needs no flag and no branch.
    std::vector<double> scanHeight;
    // A scan's rows: the corners inside, and the largest distance times area.
    std::int32_t rowFrom[kMaxBlockCells + 1], rowTo[kMaxBlockCells + 1];
    double rowTop[kMaxBlockCells + 1];
};

namespace {

// a goes before b: larger error first; equal errors, lower slot first (the same result everywhere).
bool before(const HeapEntry& a, const HeapEntry& b) {
    return a.error > b.error || (a.error == b.error && a.tri < b.tri);
}
void heapPut(BlockWorkspace& w, std::size_t i, const HeapEntry& entry) {
    w.heap[i] = entry;
    w.heapPlace[static_cast<std::size_t>(entry.tri)] = static_cast<std::int32_t>(i);
}

// Both sifts carry the entry in hand and move each passed entry once.
void heapUp(BlockWorkspace& w, std::size_t i) {
    const HeapEntry entry = w.heap[i];
    while (i > 0) {
        const std::size_t parent = (i - 1) / 2;
        if (!before(entry, w.heap[parent])) break;
        heapPut(w, i, w.heap[parent]);
        i = parent;
    }
    heapPut(w, i, entry);
}

void heapDown(BlockWorkspace& w, std::size_t i) {
    const HeapEntry entry = w.heap[i];
    const std::size_t size = w.heap.size();
    for (;;) {
        std::size_t child = 2 * i + 1;
        if (child >= size) break;
        if (child + 1 < size && before(w.heap[child + 1], w.heap[child])) ++child;
        if (!before(w.heap[child], entry)) break;
        heapPut(w, i, w.heap[child]);
        i = child;
    }
    heapPut(w, i, entry);
}

void heapRemove(BlockWorkspace& w, std::int32_t tri) {
    if (static_cast<std::size_t>(tri) >= w.heapPlace.size()) return;
    const std::int32_t place = w.heapPlace[static_cast<std::size_t>(tri)];
    if (place < 0) return;
    const auto i = static_cast<std::size_t>(place);
    const HeapEntry last = w.heap.back();
    w.heap.pop_back();
    w.heapPlace[static_cast<std::size_t>(tri)] = -1;
    if (i < w.heap.size()) {
        heapPut(w, i, last);
        heapUp(w, i);
        heapDown(w, static_cast<std::size_t>(w.heapPlace[static_cast<std::size_t>(last.tri)]));
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
        if (v[i] == a && v[next3(i)] == b) return i;
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
        }
        w.newIds.push_back(id);
    }
    assert(w.newTris.size() >= w.oldIds.size());
    for (std::size_t i = 0; i < w.newTris.size(); ++i) {
        Tri& t = w.tris[static_cast<std::size_t>(w.newIds[i])];
        // A slot in the heap keeps its key until it is scanned again.
        const double key = i < w.oldIds.size() ? t.error : 0.0;
        t = Tri{};
        t.inside = inside;
        t.candidate = -1;
        t.error = key;
        for (int k = 0; k < 3; ++k) t.v[k] = w.newTris[i].v[k];
        for (int k = 0; k < 3; ++k) {
            const std::int32_t a = t.v[k], b = t.v[next3(k)];
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
    const std::int32_t a = t.v[e], b = t.v[next3(e)], c = t.v[prev3(e)], d = u.v[prev3(ue)];
    const std::int32_t nBC = t.adj[next3(e)], nCA = t.adj[prev3(e)];
    const std::int32_t nAD = u.adj[next3(ue)], nDB = u.adj[prev3(ue)];
    const bool fBC = t.fixedEdge & (1u << next3(e)), fCA = t.fixedEdge & (1u << prev3(e));
    const bool fAD = u.fixedEdge & (1u << next3(ue)), fDB = u.fixedEdge & (1u << prev3(ue));
    t.v[0] = c, t.v[1] = a, t.v[2] = d;
    t.adj[0] = nCA, t.adj[1] = nAD, t.adj[2] = ui;
    t.fixedEdge = static_cast<std::uint8_t>((fCA ? 1 : 0) | (fAD ? 2 : 0));
    u.v[0] = c, u.v[1] = d, u.v[2] = b;
    u.adj[0] = ti, u.adj[1] = nDB, u.adj[2] = nBC;
    u.fixedEdge = static_cast<std::uint8_t>((fDB ? 2 : 0) | (fBC ? 4 : 0));
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
        const std::int32_t a = t.v[edge], b = t.v[next3(edge)], c = t.v[prev3(edge)];
        const Tri& u = w.tris[static_cast<std::size_t>(ui)];
        const int ue = edgeOf(u, b, a);
        if (ue < 0) continue;  // stale entry
        const std::int32_t d = u.v[prev3(ue)];
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
        if (orientV(w, t.v[k], t.v[next3(k)], p) == 0) onEdge = k;
    if (onEdge < 0) {
        // Inside: t keeps (v0, v1, p); two new slots take (v1, v2, p) and (v2, v0, p).
        const auto t1 = static_cast<std::int32_t>(w.tris.size()), t2 = t1 + 1;
        Tri parts[3];
        const std::int32_t ids[3] = {ti, t1, t2};
        for (int k = 0; k < 3; ++k) {
            Tri& n = parts[k];
            n.v[0] = t.v[k], n.v[1] = t.v[next3(k)], n.v[2] = p;
            n.adj[0] = t.adj[k], n.adj[1] = ids[next3(k)], n.adj[2] = ids[prev3(k)];
            n.fixedEdge = (t.fixedEdge >> k) & 1u;
            n.inside = t.inside;
            n.candidate = -1;
            n.error = k == 0 ? t.error : 0.0;
        }
        w.tris[static_cast<std::size_t>(ti)] = parts[0];
        w.tris.push_back(parts[1]);
        w.tris.push_back(parts[2]);
        for (int k = 1; k < 3; ++k) {
            if (t.adj[k] < 0) continue;
            Tri& n = w.tris[static_cast<std::size_t>(t.adj[k])];
            n.adj[edgeOf(n, t.v[next3(k)], t.v[k])] = ids[k];
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
    // On edge (a, b) of t = (a, b, c), beside u = (b, a, d) when there is one:
    // t's slot takes (a, p, c), u's (p, b, c), two new slots (b, p, d) and
    // (p, a, d). Without u, a new slot takes (p, b, c).
    const std::int32_t a = t.v[onEdge], b = t.v[next3(onEdge)], c = t.v[prev3(onEdge)];
    const std::int32_t ui = t.adj[onEdge];
    const auto fresh = static_cast<std::int32_t>(w.tris.size());
    const std::int32_t id1 = ui >= 0 ? ui : fresh, id2 = fresh + (ui >= 0 ? 0 : 1), id3 = id2 + 1;
    const std::int32_t halfA = ui >= 0 ? id3 : -1;
    // A split edge keeps its segment mark on both halves.
    const auto split = static_cast<std::uint8_t>((t.fixedEdge >> onEdge) & 1u);
    // Outline edge k of the new triangle `id` was edge e of `old`: take its
    // neighbour and mark, and point the neighbour back.
    auto takeOutline = [&](Tri& n, std::int32_t id, int k, const Tri& old, int e) {
        n.adj[k] = old.adj[e];
        n.fixedEdge |= static_cast<std::uint8_t>(((old.fixedEdge >> e) & 1u) << k);
        if (old.adj[e] >= 0) {
            Tri& o = w.tris[static_cast<std::size_t>(old.adj[e])];
            o.adj[edgeOf(o, old.v[next3(e)], old.v[e])] = id;
        }
    };
    auto made = [&](std::int32_t v0, std::int32_t v1, std::int32_t v2, double key) {
        Tri n{};
        n.v[0] = v0, n.v[1] = v1, n.v[2] = v2;
        n.fixedEdge = split;  // edge 0 is always a half of (a, b)
        n.inside = t.inside;
        n.candidate = -1;
        n.error = key;
        return n;
    };
    Tri t0 = made(a, p, c, t.error);
    t0.adj[0] = halfA, t0.adj[1] = id1;
    takeOutline(t0, ti, 2, t, prev3(onEdge));
    if (ui < 0) {
        Tri t1 = made(p, b, c, 0.0);
        t1.adj[0] = -1, t1.adj[2] = ti;
        takeOutline(t1, id1, 1, t, next3(onEdge));
        w.tris[static_cast<std::size_t>(ti)] = t0;
        w.tris.push_back(t1);
        w.vertexTri[static_cast<std::size_t>(a)] = ti;
        for (std::int32_t v : {p, b, c}) w.vertexTri[static_cast<std::size_t>(v)] = id1;
        w.cavity.push_back(ti);
        w.cavity.push_back(id1);
        pushEdge(w, ti, 2);
        pushEdge(w, id1, 1);
    } else {
        const Tri u = w.tris[static_cast<std::size_t>(ui)];
        const int ue = edgeOf(u, b, a);
        const std::int32_t d = u.v[prev3(ue)];
        Tri t1 = made(p, b, c, u.error), t2 = made(b, p, d, 0.0), t3 = made(p, a, d, 0.0);
        t1.adj[0] = id2, t1.adj[2] = ti;
        takeOutline(t1, id1, 1, t, next3(onEdge));
        t2.adj[0] = id1, t2.adj[1] = id3;
        takeOutline(t2, id2, 2, u, prev3(ue));
        t3.adj[0] = ti, t3.adj[2] = id2;
        takeOutline(t3, id3, 1, u, next3(ue));
        w.tris[static_cast<std::size_t>(ti)] = t0;
        w.tris[static_cast<std::size_t>(ui)] = t1;
        w.tris.push_back(t2);
        w.tris.push_back(t3);
        w.vertexTri[static_cast<std::size_t>(c)] = id1;
        w.vertexTri[static_cast<std::size_t>(b)] = id2;
        for (std::int32_t v : {a, d, p}) w.vertexTri[static_cast<std::size_t>(v)] = id3;
        for (std::int32_t id : {ti, id1, id2, id3}) w.cavity.push_back(id);
        pushEdge(w, ti, 2);
        pushEdge(w, id1, 1);
        pushEdge(w, id2, 2);
        pushEdge(w, id3, 1);
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
            const std::int32_t a = t.v[e], b = t.v[next3(e)];
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
            in = orient(w.px[t.v[k]], w.py[t.v[k]], w.px[t.v[next3(k)]], w.py[t.v[next3(k)]], x, y) >= 0;
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
        const int back = edgeOf(u, t.v[next3(edge)], t.v[edge]);
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
        const std::int32_t v1 = t.v[next3(k)], v2 = t.v[prev3(k)];
        if (v1 == b) {
            markSegment(w, ti, k);
            return true;
        }
        if (v2 == b) {
            markSegment(w, ti, prev3(k));
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
            const std::int32_t next = w.tris[static_cast<std::size_t>(ti)].adj[direction == 0 ? prev3(k) : k];
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
        std::int32_t l = t.v[prev3(k)], r = t.v[next3(k)];  // left: orient(a, b, l) > 0
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
            const std::int32_t o = n.v[prev3(ne)];
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

// One side of a triangle row by row: x(y) = xs + dx * (y - ys) / dy, kept as
// a whole part and a remainder, so that a row costs no division. A level
// side (dy = 0) is only asked for at its own row.
struct SideWalk {
    std::int32_t whole, rest, dy, wholeStep, restStep;

    void start(std::int32_t xs, std::int32_t ys, std::int32_t xe, std::int32_t ye) {
        const std::int32_t dx = xe - xs;
        dy = ye - ys;
        whole = xs;
        rest = 0;
        if (dy == 0) {
            dy = 1;
            wholeStep = restStep = 0;
            return;
        }
        wholeStep = dx / dy;
        restStep = dx % dy;
        if (restStep < 0) {  // floor division
            restStep += dy;
            --wholeStep;
        }
    }
    void next() {
        whole += wholeStep;
        rest += restStep;
        if (rest >= dy) {
            rest -= dy;
            ++whole;
        }
    }
    std::int32_t floorX() const { return whole; }
    std::int32_t ceilX() const { return whole + (rest != 0); }
};

// Triangles whose box holds at most this many corners are scanned corner by
// corner, each exactly: up to that size, testing every corner of the box
// costs less than setting up the rows.
constexpr std::int32_t kSmallBox = 25;

inline bool isCandidate(std::uint8_t flags) {
    return (flags & (cornerIsVertex | cornerOnLine | cornerKept)) == cornerIsVertex;
}

// The candidate of a triangle: the corner farthest from its plane, the first
// in row order among equals. Two passes, so that the common path has neither
// a division nor a flag test: the first walks the triangle's rows (scanHeight,
// NaN where no candidate) and finds each row's largest distance times area,
// roughly; the second takes the exact form, and divides, only in rows that
// come within the first pass's slack and a margin of the largest. The margin
// lies far above the rounding of either exact form (a few units in the last
// place of the heights involved), so the choice and the distance are those of
// the exact form alone, the same as a single pass over every corner gives.
void scanTriangle(BlockWorkspace& w, std::int32_t ti) {
    Tri& t = w.tris[static_cast<std::size_t>(ti)];
    t.candidate = -1;
    t.error = 0.0;
    if (!t.inside) return;
    const BlockCorners& bc = *w.corners;
    const std::int32_t x0 = w.px[t.v[0]], y0 = w.py[t.v[0]];
    const std::int32_t x1 = w.px[t.v[1]], y1 = w.py[t.v[1]];
    const std::int32_t x2 = w.px[t.v[2]], y2 = w.py[t.v[2]];
    const double h0 = bc.heightAt[y0 * bc.stride + x0];
    const double h1 = bc.heightAt[y1 * bc.stride + x1];
    const double h2 = bc.heightAt[y2 * bc.stride + x2];
    const double area = static_cast<double>(orient(x0, y0, x1, y1, x2, y2));
    // The exact form, from the three weights of a corner (whole numbers): the
    // plane times area, and the distance. Every path computes these alike.
    auto planeAt = [&](double d0, double d1, double d2) { return d0 * h0 + d1 * h1 + d2 * h2; };
    auto distance = [&](double height, double plane) { return std::fabs(height - plane / area); };
    const std::int32_t minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
    const std::int32_t minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
    // Half a cell holds no corner but its own three; most triangles of a fine
    // mesh are that small.
    if (maxX - minX <= 1 && maxY - minY <= 1) return;
    // A few corners: each in the box, exactly, in row order.
    if ((maxX - minX + 1) * (maxY - minY + 1) <= kSmallBox) {
        double best = -1.0;
        for (std::int32_t y = minY; y <= maxY; ++y) {
            for (std::int32_t x = minX; x <= maxX; ++x) {
                if (!isCandidate(bc.flags[y * bc.stride + x])) continue;
                const std::int64_t d0 = orient(x1, y1, x2, y2, x, y), d1 = orient(x2, y2, x0, y0, x, y);
                const std::int64_t d2 = orient(x0, y0, x1, y1, x, y);
                if (d0 < 0 || d1 < 0 || d2 < 0) continue;
                const double error =
                    distance(bc.heightAt[y * bc.stride + x],
                             planeAt(static_cast<double>(d0), static_cast<double>(d1), static_cast<double>(d2)));
                if (error > best) {
                    best = error;
                    t.candidate = y * w.cw + x;
                }
            }
        }
        t.error = best < 0.0 ? 0.0 : best;
        return;
    }
    // Weight k at (x, y) is base_k + rowStep_k * y + step_k * x: whole numbers, exact in doubles.
    const double step0 = y1 - y2, step1 = y2 - y0, step2 = y0 - y1;
    const double rowStep0 = x2 - x1, rowStep1 = x0 - x2, rowStep2 = x1 - x0;
    const double base0 = static_cast<double>(orient(x1, y1, x2, y2, 0, 0));
    const double base1 = static_cast<double>(orient(x2, y2, x0, y0, 0, 0));
    const double base2 = static_cast<double>(orient(x0, y0, x1, y1, 0, 0));
    // Top, middle and bottom corner; rows run from the top along the long side
    // (top to bottom) and the short sides (top to middle, middle to bottom).
    std::int32_t xs[3] = {x0, x1, x2}, ys[3] = {y0, y1, y2};
    int top = 0, bottom = 0;
    for (int k = 1; k < 3; ++k) {
        if (ys[k] < ys[top]) top = k;
        if (ys[k] >= ys[bottom]) bottom = k;
    }
    if (top == bottom) bottom = next3(top);  // level triangles have no area
    const int middle = 3 - top - bottom;
    const std::int32_t xa = xs[top], ya = ys[top], xb = xs[middle], yb = ys[middle], xc = xs[bottom], yc = ys[bottom];
    const bool shortOnLeft =
        static_cast<std::int64_t>(xc - xa) * (yb - ya) - static_cast<std::int64_t>(yc - ya) * (xb - xa) > 0;
    SideWalk longSide, shortSide;
    longSide.start(xa, ya, xc, yc);
    shortSide.start(xa, ya, xb, yb);
    // The first pass starts each row with the exact form, then moves the plane
    // by adds (two lanes, two corners apart). Its drift from the exact form is
    // at most `slack`: rounding of the row's start and of each add (|plane| <=
    // area * heightTop inside the triangle), the step's own rounding times the
    // steps taken, and the final subtraction. The bound has a factor of four
    // or more to spare; too large a bound only costs divisions.
    const double heightTop = std::max({std::fabs(h0), std::fabs(h1), std::fabs(h2)});
    const double planeStep = step0 * h0 + step1 * h1 + step2 * h2, twoSteps = 2.0 * planeStep;
    const double steps = maxX - minX;
    const double stepSum = std::fabs(step0) + std::fabs(step1) + std::fabs(step2);
    const double slack =
        4e-15 * (heightTop * (area * (steps + 4.0) + steps * stepSum) + area * (w.heightBound + heightTop));
    double peak = -1.0;
    for (std::int32_t y = ya; y <= yc; ++y, longSide.next(), shortSide.next()) {
        if (y == yb) shortSide.start(xb, yb, xc, yc);
        const std::int32_t from = shortOnLeft ? shortSide.ceilX() : longSide.ceilX();
        const std::int32_t to = shortOnLeft ? longSide.floorX() : shortSide.floorX();
        const std::size_t row = static_cast<std::size_t>(y - ya);
        w.rowFrom[row] = from;
        w.rowTo[row] = to;
        const double* heights = w.scanHeight.data() + y * w.cw;
        const double fy = y, fx = from;
        const double plane = planeAt(base0 + rowStep0 * fy + step0 * fx, base1 + rowStep1 * fy + step1 * fx,
                                     base2 + rowStep2 * fy + step2 * fx);
        // Two lanes, two corners apart, so that neither add waits on the other;
        // NaN distances (no candidate) lose every comparison.
        double best = -1.0, best2 = -1.0, even = plane, odd = plane + planeStep;
        std::int32_t x = from;
        for (; x < to; x += 2, even += twoSteps, odd += twoSteps) {
            const double a = std::fabs(heights[x] * area - even), b = std::fabs(heights[x + 1] * area - odd);
            best = best < a ? a : best;
            best2 = best2 < b ? b : best2;
        }
        if (x == to) {
            const double a = std::fabs(heights[x] * area - even);
            best = best < a ? a : best;
        }
        best = best < best2 ? best2 : best;
        w.rowTop[row] = best;
        peak = std::max(peak, best);
    }
    if (peak < 0.0) return;
    // The two exact forms may order distances within `margin` of each other
    // either way, and the first pass may be off by `slack`: every corner the
    // exact form could choose lies in a row within twice the slack and the
    // margins of the peak, and within one slack and the margins itself.
    const double margin = 1e-13 * area * (w.heightBound + heightTop);
    const double rowFloor = peak - 2.0 * slack - 3.0 * margin;
    const double floor = peak - slack - 3.0 * margin;
    double best = -1.0;
    for (std::int32_t y = ya; y <= yc; ++y) {
        const std::size_t row = static_cast<std::size_t>(y - ya);
        if (w.rowTop[row] < rowFloor) continue;
        const std::int32_t from = w.rowFrom[row], to = w.rowTo[row];
        const std::uint8_t* flags = bc.flags + y * bc.stride;
        const double* heights = bc.heightAt + y * bc.stride;
        const double fy = y, fx = from;
        double d0 = base0 + rowStep0 * fy + step0 * fx, d1 = base1 + rowStep1 * fy + step1 * fx;
        double d2 = base2 + rowStep2 * fy + step2 * fx;
        for (std::int32_t x = from; x <= to; ++x, d0 += step0, d1 += step1, d2 += step2) {
            if (!isCandidate(flags[x])) continue;
            const double plane = planeAt(d0, d1, d2);
            if (std::fabs(heights[x] * area - plane) < floor) continue;
            const double error = distance(heights[x], plane);
            if (error > best) {
                best = error;
                t.candidate = y * w.cw + x;
            }
        }
    }
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
    if (w.scanHeight.size() < cornerCount) w.scanHeight.resize(cornerCount);
    constexpr double kNoCandidate = std::numeric_limits<double>::quiet_NaN();
    double heightBound = 0.0;  // a local: the stores below may not touch it
    for (std::int32_t y = 0; y <= bc.height; ++y) {
        const double* heights = bc.heightAt + y * bc.stride;
        const std::uint8_t* flags = bc.flags + y * bc.stride;
        double* scan = w.scanHeight.data() + y * w.cw;
        for (std::int32_t x = 0; x <= bc.width; ++x) {
            heightBound = std::max(heightBound, std::fabs(heights[x]));
            scan[x] = isCandidate(flags[x]) ? heights[x] : kNoCandidate;
        }
    }
    w.heightBound = heightBound;

    // The block's rectangle as two triangles, its sides marked.
    const std::int32_t nw = addVertex(w, 0, 0), ne = addVertex(w, bc.width, 0);
    const std::int32_t se = addVertex(w, bc.width, bc.height), sw = addVertex(w, 0, bc.height);
    // (x, y-south): nw, se, sw turns positively.
    w.tris.push_back(Tri{{nw, se, sw}, {1, -1, -1}, 6, false, -1, 0.0});
    w.tris.push_back(Tri{{nw, ne, se}, {-1, -1, 0}, 3, false, -1, 0.0});
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
        w.scanHeight[static_cast<std::size_t>(corner)] = std::numeric_limits<double>::quiet_NaN();
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
