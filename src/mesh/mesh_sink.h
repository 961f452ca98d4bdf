#pragma once
// The mesh stream: what a mesh builder hands to an output writer.
//
// A builder produces its mesh as rows of plain data in file order: first every
// vertex, then every face. Writers (OBJ, binary glTF, STL, and filters such as
// the printable solid) implement MeshSink; a builder never formats text or
// knows which writer it feeds. A sink in front of another that changes only
// part of the stream derives from ForwardingSink (forwarding_sink.h).
// Vertices are numbered from 1 in the order they arrive; faces name them by
// those numbers.
//
// Progress and cancel: a builder cuts its batches at its progress step points.
// A sink checks the cancel flag (given to it when it was made) before each
// batch marked `cancellable`; once the flag is seen set, that batch and every
// later cancellable batch are dropped. After a batch marked `stepAfter` has
// reached the output, the sink calls the progress step (from whichever thread
// writes, in stream order). Batches not marked are always kept.
//
// Threads: one thread calls a sink at a time, in stream order; a sink may work
// on its own threads behind the calls and must not call back into the builder.
// A batch's arrays belong to the caller and are only valid during the call.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "grid/body_window.h"
#include "mesh/cell_edges.h"

namespace morvale {

// A grid cell's value as the reader hands it over.
struct CellValue {
    std::int32_t row;
    std::int32_t col;
    double value;
};

// Floating planes handed over as their cells (MeshSink::acceptsPlanes): the
// plane of cell (row, col) stands for four vertices, numbered in this order,
// at the corners north-west (xWest, yNorth), north-east (xEast, yNorth),
// south-east (xEast, ySouth) and south-west (xWest, ySouth), all at the
// elevation value * elevationScale; with MeshInfo::uv their texture
// coordinates are cellCornerUvs(uvExtent, row, col). The builder's own
// expansion into VertexBatch rows gives the same numbers, bit for bit.
struct PlaneLattice {
    CellEdges edges;
    double elevationScale = 1.0;
    CropWindow window;    // every plane's cell lies in it
    CropWindow uvExtent;  // the cells texture coordinates 0..1 span
};

struct PlaneBatch {
    std::size_t count = 0;
    const CellValue* cell = nullptr;  // in file order
};

// Faces handed over as ranges (MeshSink::acceptsFaceRanges): the sink puts
// their numbers together itself, on any of its threads, each thread through
// a reader of its own. Readers of one source may run at the same time.
class FaceRangeReader {
public:
    virtual ~FaceRangeReader() = default;
    // The MeshInfo::faceCorners numbers of each face first .. first + count - 1
    // (counted from 0), in stream order, at out.
    virtual void put(std::int64_t first, std::size_t count, std::int64_t* out) = 0;
};

class FaceSource {
public:
    virtual ~FaceSource() = default;
    // A reader for one thread, from endVertices() on; null when out of memory.
    virtual std::unique_ptr<FaceRangeReader> reader() const = 0;
};

enum class NormalLayout : std::uint8_t {
    none,       // no normals
    perVertex,  // VertexBatch::normal holds one per vertex
    shared,     // one normal for the whole mesh: MeshInfo::sharedNormal
};

struct MeshInfo {
    int faceCorners = 4;  // 4: quads; 3: triangles
    bool uv = false;      // VertexBatch::uv holds one texture coordinate per vertex
    NormalLayout normals = NormalLayout::none;
    double sharedNormal[3] = {0.0, 0.0, 1.0};  // map frame, unit length
    // Vertices arrive before the writing stage starts (while the grid is read).
    // The builder then calls writingStage() and keepVertices().
    bool verticesAhead = false;
    // Set when the vertices come as planes (MeshSink::planes); valid until end().
    const PlaneLattice* planes = nullptr;
    // Set when the faces come as ranges (FaceBatch::firstFace); valid until end().
    const FaceSource* faceSource = nullptr;
};

struct VertexBatch {
    std::size_t count = 0;
    // 3 per vertex: east, north, elevation in the map frame, in output units
    // (cell size, unit scale, offsets and elevation shift applied; the axis
    // order is the writer's business).
    const double* position = nullptr;
    const double* normal = nullptr;  // 3 per vertex (map frame, unit length) or null
    const double* uv = nullptr;      // 2 per vertex (u east, v north) or null
    // 1 per vertex or null (MeshSink::wantsOutline): nonzero where a cell
    // around the vertex holds no data or lies outside the window, so that an
    // edge of the surface's outline may end there; zero where the surface
    // goes on all around it. Null: any vertex may lie on the outline.
    const std::uint8_t* outline = nullptr;
    bool cancellable = false;
    bool stepAfter = false;
};

struct FaceBatch {
    std::size_t count = 0;
    // MeshInfo::faceCorners vertex numbers per face, counter-clockwise seen
    // from the side the face faces (for a terrain: from above).
    // Null with MeshInfo::planes: the faces are those of the planes from
    // `firstPlane` on (planeFaceVertices), one per plane. Null with
    // MeshInfo::faceSource: the faces are the source's from `firstFace` on.
    const std::int64_t* vertex = nullptr;
    std::int64_t firstPlane = 0;
    std::int64_t firstFace = 0;
    // Three numbers a face in a stream of quads (MeshSink::acceptsTriangleBatches).
    bool triangles = false;
    bool cancellable = false;
    bool stepAfter = false;
};

// The face of floating plane `plane` (counted from 1): its four vertices,
// from the south-west corner on.
inline void planeFaceVertices(std::int64_t plane, std::int64_t* vertex) {
    vertex[0] = 4 * plane;
    vertex[1] = 4 * plane - 1;
    vertex[2] = 4 * plane - 2;
    vertex[3] = 4 * plane - 3;
}

// What a sink reports when the stream ends.
struct MeshWritten {
    std::int64_t vertices = 0;  // vertices that reached the output
    std::int64_t faces = 0;     // faces that reached the output
    bool ok = false;            // false when a write failed
};

class MeshSink {
public:
    virtual ~MeshSink() = default;

    // Asked before begin(): true when the sink takes the vertices ahead
    // (MeshInfo::verticesAhead), which means it honours writingStage() and
    // keepVertices(); otherwise the builder hands them over in the writing
    // stage, reading its input a second time.
    virtual bool acceptsVerticesAhead() { return false; }
    // Asked before begin(): true when the sink takes the floating planes of
    // `lattice` as cells (planes()) rather than as their vertices (vertices()).
    virtual bool acceptsPlanes(const PlaneLattice& /*lattice*/) { return false; }
    // Asked before begin(): true when the sink takes faces as ranges of a
    // FaceSource rather than as their numbers.
    virtual bool acceptsFaceRanges() { return false; }
    // Asked before begin(): true when a stream of quads (MeshInfo::faceCorners
    // = 4) may carry batches of triangles (FaceBatch::triangles). Such a
    // stream's MeshWritten::faces counts each quad and each triangle once.
    virtual bool acceptsTriangleBatches() { return false; }
    // Asked before begin(): true when the sink wants VertexBatch::outline
    // (a builder that cannot tell leaves it null).
    virtual bool wantsOutline() { return false; }
    // Before the first vertex.
    virtual void begin(const MeshInfo& info) = 0;
    virtual void vertices(const VertexBatch& batch) = 0;
    // Only with MeshInfo::planes: four vertices per plane, never cancellable.
    virtual void planes(const PlaneBatch& /*batch*/) {}
    // Only with MeshInfo::verticesAhead: the writing stage starts now (after
    // the vertices already arrived), and only the first `count` of the vertices
    // count (a cancel during the writing stage cut the block there).
    virtual void writingStage() {}
    virtual void keepVertices(std::int64_t count) {}
    // After the last vertex, before the first face.
    virtual void endVertices() = 0;
    virtual void faces(const FaceBatch& batch) = 0;
    // No later face names a vertex numbered below `vertex`: a sink may forget them.
    virtual void settled(std::int64_t vertex) {}
    // The end of the stream.
    virtual MeshWritten end() = 0;
};

// Hands `positions` (3 per vertex) to `sink` as one cancellable batch, with
// `outline` (a mark per vertex, VertexBatch::outline) when given, and empties them.
inline void sendVertices(MeshSink& sink, std::vector<double>& positions, std::vector<std::uint8_t>* outline = nullptr) {
    if (positions.empty()) return;
    VertexBatch batch;
    batch.count = positions.size() / 3;
    batch.position = positions.data();
    batch.outline = outline != nullptr ? outline->data() : nullptr;
    batch.cancellable = true;
    sink.vertices(batch);
    positions.clear();
    if (outline != nullptr) outline->clear();
}

}  // namespace morvale
