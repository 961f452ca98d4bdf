#include "mesh/solid/solid_filter.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>

#include "mesh/solid/outline_bottom.h"

namespace morvale {

namespace {
constexpr std::size_t batchVertices = 4096;
constexpr std::size_t batchFaces = 4096;
constexpr std::size_t uvDoubles = 2;
// A marked surface vertex's record: east and north (a base copy takes the
// base's elevation), then its texture coordinate when there is one.
constexpr std::size_t xyDoubles = 2;
// Pairs the edges between marked vertices of `count` faces of `Corners`
// numbers: an edge with an end that is not marked lies inside the surface.
// Where quads were split, the two triangles pair their diagonal with each other.
template <int Corners>
void pairMarked(const OutlineVertices& marked, EdgeTable& edges, const std::int64_t* faces, std::size_t count,
                OutlineVertices::Cursor* cursors) {
    OutlineVertices::Cursor cursor[Corners];
    std::copy_n(cursors, Corners, cursor);
    // Every edge of a quad touches corner 0 or 2, of a triangle corner 0 or 1:
    // with both of those unmarked, no edge has two marked ends.
    constexpr int other = Corners == 4 ? 2 : 1;
    for (const std::int64_t* v = faces; v < faces + count * Corners; v += Corners) {
        if (!marked.kept(v[0], cursor[0]) && !marked.kept(v[other], cursor[other])) continue;
        unsigned marks = 0;
        for (int k = 0; k < Corners; ++k) marks |= (marked.kept(v[k], cursor[k]) ? 1u : 0u) << k;
        for (int k = 0; k < Corners; ++k) {
            const int next = (k + 1) % Corners;
            if ((marks >> k & 1u) != 0 && (marks >> next & 1u) != 0) edges.pair(v[k], v[next]);
        }
    }
    std::copy_n(cursor, Corners, cursors);
}

}  // namespace

double defaultSolidBase(double lowestElevation, double highestElevation) {
    const double relief = highestElevation - lowestElevation;
    return relief > 0.0 ? lowestElevation - relief / 10.0 : lowestElevation - 1.0;
}

// At most a base copy of every surface vertex.
std::int64_t solidVertexBound(std::int64_t surfaceVertices) { return 2 * surfaceVertices; }

std::int64_t solidFaceBound(std::int64_t surfaceFaces, int faceCorners) {
    // The surface in triangles; per outline edge (at most one per face edge)
    // a wall of two triangles and at most two of the bottom's.
    return surfaceFaces * ((faceCorners - 2) + 4 * faceCorners);
}

SolidFilter::SolidFilter(MeshSink& inner, const SolidOptions& options, const std::atomic<bool>* cancelRequested)
    : inner_(inner), options_(options) {
    gate_.cancelRequested = cancelRequested;
}

void SolidFilter::begin(const MeshInfo& info) {
    assert(info.faceCorners == 3 || info.faceCorners == 4);
    info_ = info;
    recordDoubles_ = info.uv ? xyDoubles + uvDoubles : xyDoubles;
    marked_.emplace(sizeof(double) * recordDoubles_, options_.memoryBudget, options_.spoolPath);
    MeshInfo out = info;
    out.normals = NormalLayout::none;
    // The bottom is triangles: quads go on as they are only to a sink that
    // takes triangles among them, otherwise split as the STL writer splits them.
    quadsOut_ = info.faceCorners == 4 && inner_.acceptsTriangleBatches();
    out.faceCorners = quadsOut_ ? 4 : 3;
    inner_.begin(out);
}

void SolidFilter::vertices(const VertexBatch& batch) {
    assert(batch.count == 0 || batch.uv != nullptr || !info_.uv);
    if (!gate_.admit(batch.cancellable)) {
        cut_ = true;
        return;
    }
    VertexBatch out = batch;
    out.normal = nullptr;
    out.cancellable = false;
    inner_.vertices(out);
    double record[xyDoubles + uvDoubles] = {};
    for (std::size_t i = 0; i < batch.count; ++i) {
        if (batch.outline != nullptr && batch.outline[i] == 0) continue;
        std::memcpy(record, batch.position + 3 * i, xyDoubles * sizeof(double));
        if (info_.uv) std::memcpy(record + xyDoubles, batch.uv + 2 * i, uvDoubles * sizeof(double));
        marked_->add(surfaceVertices_ + static_cast<std::int64_t>(i) + 1, record);
    }
    surfaceVertices_ += static_cast<std::int64_t>(batch.count);
}

void SolidFilter::keepVertices(std::int64_t count) {
    if (count < surfaceVertices_) {
        cut_ = true;
        surfaceVertices_ = count < 0 ? 0 : count;
        marked_->keepThrough(surfaceVertices_);
    }
    inner_.keepVertices(count);
}

void SolidFilter::endVertices() {
    // The base copies of the marked vertices; only for a whole surface.
    if (!gate_.admit(true) || surfaceVertices_ == 0) {
        inner_.endVertices();
        return;
    }
    std::vector<double> position(3 * batchVertices), uv(info_.uv ? uvDoubles * batchVertices : 0);
    bool readable = true;
    const std::int64_t copies = marked_->size();
    for (std::int64_t first = 0; first < copies && readable;) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(batchVertices), copies - first));
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char* bytes = marked_->record(first + static_cast<std::int64_t>(i));
            if (!bytes) {
                readable = false;
                break;
            }
            double record[xyDoubles + uvDoubles];
            std::memcpy(record, bytes, recordDoubles_ * sizeof(double));
            position[3 * i] = record[0];
            position[3 * i + 1] = record[1];
            position[3 * i + 2] = options_.baseElevation;
            if (info_.uv) std::memcpy(&uv[uvDoubles * i], record + xyDoubles, uvDoubles * sizeof(double));
        }
        if (!readable) break;
        VertexBatch out;
        out.count = count;
        out.position = position.data();
        out.uv = info_.uv ? uv.data() : nullptr;
        inner_.vertices(out);
        first += static_cast<std::int64_t>(count);
    }
    // Records that cannot be read back leave the surface open (and the base
    // copies short): no bottom or walls then.
    baseWritten_ = readable;
    inner_.endVertices();
}

void SolidFilter::flushFaces(bool stepAfter) {
    FaceBatch out;
    out.count = faceBuffer_.size() / static_cast<std::size_t>(bufferCorners_);
    out.vertex = faceBuffer_.data();
    out.triangles = quadsOut_ && bufferCorners_ == 3;
    out.stepAfter = stepAfter;
    if (out.count > 0 || stepAfter) inner_.faces(out);
    if (bufferCorners_ == 4) quadsPassed_ += static_cast<std::int64_t>(out.count);
    faceBuffer_.clear();
}

void SolidFilter::faces(const FaceBatch& batch) {
    if (!gate_.admit(batch.cancellable)) return;
    const int corners = info_.faceCorners;
    const int outCorners = quadsOut_ ? 4 : 3;
    FaceBatch surface;
    if (quadsOut_ && !cut_) {
        // Quads go on as they are.
        surface.count = batch.count;
        surface.vertex = batch.vertex;
    } else {
        // After a cut, faces naming a vertex that did not reach the surface
        // stay out: past N the inner sink's numbers are base copies. Room for
        // two triangles a face, made once (the batches' size varies little).
        const std::int64_t n = surfaceVertices_;
        if (surfaceBuffer_.size() < 6 * batch.count) surfaceBuffer_.resize(6 * batch.count);
        std::int64_t* out = surfaceBuffer_.data();
        for (std::size_t f = 0; f < batch.count; ++f) {
            const std::int64_t* v = batch.vertex + f * static_cast<std::size_t>(corners);
            bool named = true;
            for (int k = 0; k < corners; ++k) named = named && v[k] >= 1 && v[k] <= n;
            if (!named) continue;
            if (quadsOut_ || corners == 3) {
                out = std::copy_n(v, corners, out);
                continue;
            }
            out = std::copy_n(v, 3, out);
            out[0] = v[0];
            out[1] = v[2];
            out[2] = v[3];
            out += 3;
        }
        surface.count = static_cast<std::size_t>(out - surfaceBuffer_.data()) / static_cast<std::size_t>(outCorners);
        surface.vertex = surfaceBuffer_.data();
    }
    if (baseWritten_) pairMarkedEdges(surface.vertex, surface.count, outCorners);
    surface.stepAfter = batch.stepAfter && !baseWritten_;
    inner_.faces(surface);
    if (quadsOut_) quadsPassed_ += static_cast<std::int64_t>(surface.count);
    if (baseWritten_) flushFaces(batch.stepAfter);
}

void SolidFilter::pairMarkedEdges(const std::int64_t* faces, std::size_t count, int corners) {
    if (corners == 4)
        pairMarked<4>(*marked_, openEdges_, faces, count, cornerCursors_);
    else
        pairMarked<3>(*marked_, openEdges_, faces, count, cornerCursors_);
}

std::int64_t SolidFilter::baseOf(std::int64_t vertex) {
    // Walls and the bottom stand on marked vertices only.
    const std::int64_t place = marked_->place(vertex, baseCursor_);
    assert(place >= 0);
    return surfaceVertices_ + 1 + place;
}

void SolidFilter::writeWalls(std::vector<DirectedEdge>& edges) {
    // Sorted, so that the output does not depend on the hash table's order.
    std::sort(edges.begin(), edges.end(), [](const DirectedEdge& a, const DirectedEdge& b) {
        return a.from != b.from ? a.from < b.from : a.to < b.to;
    });
    bufferCorners_ = quadsOut_ ? 4 : 3;
    for (const DirectedEdge& e : edges) {
        // Seen from outside (right of from -> to, the surface lies left of it),
        // counter-clockwise: down at `from`, along the base, up at `to`.
        const std::int64_t fromBase = baseOf(e.from), toBase = baseOf(e.to);
        if (quadsOut_) {
            faceBuffer_.insert(faceBuffer_.end(), {e.from, fromBase, toBase, e.to});
        } else {
            faceBuffer_.insert(faceBuffer_.end(), {e.from, fromBase, toBase});
            faceBuffer_.insert(faceBuffer_.end(), {e.from, toBase, e.to});
        }
        outline_.push_back({e.from, e.to});
        if (faceBuffer_.size() >= batchFaces * static_cast<std::size_t>(bufferCorners_)) flushFaces(false);
    }
    flushFaces(false);
    edges.clear();
}

bool SolidFilter::writeBottom() {
    bufferCorners_ = 3;
    std::vector<std::int64_t> ends;
    ends.reserve(outline_.size());
    for (const OutlineEdge& e : outline_) ends.push_back(e.from);
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    std::vector<OutlinePoint> points(ends.size());
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const unsigned char* bytes = marked_->record(marked_->place(ends[i], baseCursor_));
        if (!bytes) return false;
        double xy[2];
        std::memcpy(xy, bytes, sizeof xy);
        points[i] = {ends[i], xy[0], xy[1]};
    }
    std::vector<std::int64_t> triangles;
    if (!triangulateOutline(outline_, points, triangles)) return false;
    // Seen from below: the surface's turn reversed.
    for (std::size_t t = 0; t < triangles.size(); t += 3) {
        faceBuffer_.insert(faceBuffer_.end(),
                           {baseOf(triangles[t]), baseOf(triangles[t + 2]), baseOf(triangles[t + 1])});
        if (faceBuffer_.size() >= batchFaces * 3) flushFaces(false);
    }
    flushFaces(false);
    return true;
}

void SolidFilter::settled(std::int64_t vertex) {
    if (baseWritten_ && !gate_.cancelled) {
        openEdges_.take(vertex, wallEdges_);
        if (!wallEdges_.empty() && gate_.admit(true)) writeWalls(wallEdges_);
        wallEdges_.clear();
    }
    inner_.settled(vertex);
}

MeshWritten SolidFilter::end() {
    if (baseWritten_ && gate_.admit(true)) {
        openEdges_.take(std::numeric_limits<std::int64_t>::max(), wallEdges_);
        writeWalls(wallEdges_);
        bottomOk_ = writeBottom();
    }
    MeshWritten written = inner_.end();
    // The inner sink counted each quad once; the solid's faces are triangles.
    written.faces += quadsPassed_;
    if (!bottomOk_) written.ok = false;
    // A spool that could not be written or read back left the solid open.
    if (marked_ && marked_->failed()) written.ok = false;
    return written;
}

}  // namespace morvale
