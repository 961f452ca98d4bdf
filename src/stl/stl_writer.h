#pragma once
// Binary STL output of a mesh stream: an 80-byte header, the triangle count
// (patched in when the stream ends) and 50 bytes per triangle: its facet
// normal (unit length, computed from the float32 corners; zero for a
// degenerate triangle), its three corners and a zero attribute word.
//
// Axes: STL has no fixed up axis, so the preset's axis order applies (with
// "3ds max" printing software sees Z up). Every order is a rotation, so the
// stream's counter-clockwise faces stay outward. Quads become two triangles
// split along the diagonal from their first to their third corner; a stream of
// quads may carry batches of triangles (the solid's bottom).
//
// Memory: faces arrive after all vertices and name them by number, so the
// vertices (as float32 corners) go to a RecordSpool: RAM up to a budget, then
// a spool file beside the output with a page cache.
//
// Limit: the count is 32-bit. Check with stlFits() before writing; a stream
// that passes the limit anyway stops at it and reports a failed write.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "mesh/batch_gate.h"
#include "base/mesh_file.h"
#include "mesh/mesh_sink.h"
#include "base/record_spool.h"

namespace morvale {

// Whether a stream of at most `faces` faces fits one STL file.
bool stlFits(std::int64_t faces, int faceCorners);
inline constexpr const char* stlTooManyTrianglesMessage =
    "The mesh has more than 4 294 967 295 triangles, more than an STL file can count.";

struct StlOptions {
    std::int32_t presetIndex = 0;          // axis order
    std::size_t memoryBudget = 64u << 20;  // bytes of vertices kept in RAM
    std::filesystem::path spoolPath;       // empty: the output path with ".vertices.tmp" added
};

class StlWriter final : public MeshSink {
public:
    StlWriter(const std::atomic<bool>* cancelRequested, ProgressReporter* progress);

    bool open(const std::filesystem::path& path, const StlOptions& options);
    // The system's reason for the first failed write, or the failed open (empty: none told).
    std::error_code writeError() const { return file_.error(); }

    bool acceptsVerticesAhead() override { return true; }
    bool acceptsTriangleBatches() override { return true; }
    void begin(const MeshInfo& info) override;
    void vertices(const VertexBatch& batch) override;
    void keepVertices(std::int64_t count) override;
    void endVertices() override {}
    void faces(const FaceBatch& batch) override;
    MeshWritten end() override;

private:
    bool loadCorner(std::int64_t number, float* corner);
    void writeTriangle(const float* a, const float* b, const float* c);
    void flushFacets();

    // Facets are assembled here and reach the file a block at a time.
    static constexpr std::size_t kFacetBytes = 50, kFacetBlock = 64;
    unsigned char facets_[kFacetBlock * kFacetBytes];
    std::size_t facetCount_ = 0;

    BatchGate gate_;
    MeshFile file_;
    StlOptions options_;
    MeshInfo info_;
    std::unique_ptr<RecordSpool> corners_;
    std::int64_t triangleCount_ = 0;
    std::int64_t faceCount_ = 0;
    bool failed_ = false;
};

}  // namespace morvale
