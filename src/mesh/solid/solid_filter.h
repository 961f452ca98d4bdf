#pragma once
// The printable solid: a filter between a terrain builder and a writer that
// closes the surface into a solid. It passes the surface through and adds
//   - a base copy, at the base elevation, of every surface vertex the builder
//     marks as on the outline (VertexBatch::outline; of every vertex when it
//     does not tell), appended after the surface's vertices in their order:
//     a full surface gets about two a row, not one a vertex,
//   - a flat bottom at the base level: the polygons the walls' lower edges
//     outline, triangulated on the walls' own base vertices
//     (outline_bottom.h), so it meets the walls without T-junctions, whatever
//     the surface's triangulation (simplified or not), in about one triangle
//     per outline edge,
//   - vertical walls along every boundary edge of the surface (an edge used by
//     one face only: the window's outline and the edges of no-data holes),
//     down to the base level.
// Faces go out as triangles (a quad as two, split as the STL writer splits
// them); to a sink that takes batches of triangles in a stream of quads
// (acceptsTriangleBatches) the surface's quads and the walls go as quads and
// the bottom as triangles: the same triangles, without copying the surface.
// The result is watertight and every face faces outward, so its volume is
// positive as long as the base lies below the whole surface. A base copy no
// wall uses is written only where the builder marks a vertex that no
// boundary edge ends at (a builder that does not mark, or marks more than it
// must).
//
// Known limit: where two boundary loops touch at one vertex (data cells that
// meet only at a corner) the four wall faces there share one vertical edge.
// The solid stays closed and consistently oriented, and its volume is right,
// but that edge has four faces rather than two.
//
// Bounded memory: the marked vertices are kept (OutlineVertices) to be
// written as base copies; boundary edges are found by pairing each face edge
// between two marked vertices with its reverse (an edge with an unmarked end
// lies inside the surface), and an edge still unpaired once settled() says no
// later face can name its lower vertex is a boundary edge: its wall is
// written and it is forgotten (its edge is kept for the bottom, which is
// written at the end: memory grows with the outline, not with the surface).
// Without settled() hints the unpaired edges wait for the end.
//
// Normals are dropped (a surface normal is wrong on a wall); texture
// coordinates carry over to the base copies. The filter applies the cancel
// flag itself and hands the inner sink only batches it admitted (marked not
// cancellable), so both agree on what was written; once cancelled, no base
// copies, bottom or walls are added.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "mesh/batch_gate.h"
#include "mesh/mesh_sink.h"
#include "mesh/solid/edge_table.h"
#include "mesh/solid/outline_bottom.h"
#include "mesh/solid/outline_vertices.h"

namespace morvale {

// The default base elevation (grid units): a tenth of the relief below the
// lowest elevation, or one unit below it for a flat grid.
double defaultSolidBase(double lowestElevation, double highestElevation);

// Upper bounds of the solid's counts, for the writers' limit checks, from those of the surface.
std::int64_t solidVertexBound(std::int64_t surfaceVertices);
std::int64_t solidFaceBound(std::int64_t surfaceFaces, int faceCorners);

struct SolidOptions {
    double baseElevation = 0.0;            // output units, the map frame's elevation
    std::size_t memoryBudget = 16u << 20;  // bytes of marked vertices kept in RAM (1M vertices)
    std::filesystem::path spoolPath;       // where they go past the budget (a file the filter removes)
};

class SolidFilter final : public MeshSink {
public:
    SolidFilter(MeshSink& inner, const SolidOptions& options, const std::atomic<bool>* cancelRequested);

    // The base can be set late, once the window's elevation range is known:
    // it is used from endVertices() on.
    void setBaseElevation(double elevation) { options_.baseElevation = elevation; }
    double baseElevation() const { return options_.baseElevation; }

    // It cuts its own spool to the kept vertices and passes the cut on.
    bool acceptsVerticesAhead() override { return inner_.acceptsVerticesAhead(); }
    bool wantsOutline() override { return true; }
    void begin(const MeshInfo& info) override;
    void vertices(const VertexBatch& batch) override;
    void writingStage() override { inner_.writingStage(); }
    void keepVertices(std::int64_t count) override;
    void endVertices() override;
    void faces(const FaceBatch& batch) override;
    void settled(std::int64_t vertex) override;
    MeshWritten end() override;

private:
    void pairMarkedEdges(const std::int64_t* faces, std::size_t count, int corners);
    std::int64_t baseOf(std::int64_t vertex);
    void writeWalls(std::vector<DirectedEdge>& edges);
    void flushFaces(bool stepAfter);
    bool writeBottom();

    MeshSink& inner_;
    SolidOptions options_;
    BatchGate gate_;
    MeshInfo info_;
    std::optional<OutlineVertices> marked_;     // made by begin(), sized by the texture coordinates
    OutlineVertices::Cursor baseCursor_;        // for marked_.place() outside the faces
    OutlineVertices::Cursor cornerCursors_[4];  // for each corner of the faces
    std::size_t recordDoubles_ = 2;
    std::int64_t surfaceVertices_ = 0;
    bool baseWritten_ = false;
    EdgeTable openEdges_;                      // unpaired directed edges
    std::vector<std::int64_t> surfaceBuffer_;  // the surface faces of one batch
    std::vector<std::int64_t> faceBuffer_;     // added faces, handed on in batches
    int bufferCorners_ = 3;                    // numbers a face in faceBuffer_
    bool quadsOut_ = false;                    // the inner sink takes quads, and triangles among them
    std::int64_t quadsPassed_ = 0;             // quads handed on: two triangles each
    bool cut_ = false;                         // vertices were dropped or cut: faces are checked
    std::vector<DirectedEdge> wallEdges_;
    std::vector<OutlineEdge> outline_;  // every wall's edge, for the bottom
    bool bottomOk_ = true;
};

}  // namespace morvale
