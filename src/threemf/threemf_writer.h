#pragma once
// 3MF output of a mesh stream, written through lib3mf: one mesh object in
// millimetres (the output units: --size makes them so), Z up as the map
// frame has it, one build item. A 3MF a slicer opens is a closed solid: the
// conversion puts the printable solid in front of this writer. Its UUIDs
// follow from what it holds (content_uuid.h), so the same stream writes the
// same bytes (lib3mf writes a zero date and time into every zip entry).
//
// Memory: lib3mf takes the whole mesh at once, so the vertices (float32,
// 12 bytes) and triangles (12 bytes) are held until the stream ends; only
// the vertices a triangle names are handed over (the solid's base copies
// under the surface's inside name none).
//
// Builds without lib3mf (the Windows cross build) have the writer but no
// format: threeMfAvailable is false and the conversion refuses 3MF first.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "mesh/batch_gate.h"
#include "mesh/mesh_sink.h"

namespace morvale {

#if MORVALE_HAVE_LIB3MF
inline constexpr bool threeMfAvailable = true;
#else
inline constexpr bool threeMfAvailable = false;
#endif

// Whether a stream of at most these counts fits lib3mf's 32-bit numbers.
bool threeMfFits(std::int64_t vertices, std::int64_t triangles);

struct ThreeMfOptions {
    std::string objectName;  // UTF-8; the mesh object's name
};

class ThreeMfWriter final : public MeshSink {
public:
    ThreeMfWriter(const std::atomic<bool>* cancelRequested, ProgressReporter* progress);

    // Creates the output (empty until the stream ends).
    bool open(const std::filesystem::path& path, const ThreeMfOptions& options);

    bool acceptsVerticesAhead() override { return true; }
    void begin(const MeshInfo& info) override;
    void vertices(const VertexBatch& batch) override;
    void keepVertices(std::int64_t count) override;
    void endVertices() override {}
    void faces(const FaceBatch& batch) override;
    MeshWritten end() override;

    // lib3mf names no reason: an I/O error when the file was not written.
    std::error_code writeError() const {
        return failed_ ? std::make_error_code(std::errc::io_error) : std::error_code{};
    }

private:
    BatchGate gate_;
    MeshInfo info_;
    std::filesystem::path path_;
    ThreeMfOptions options_;
    std::vector<float> positions_;        // 3 per vertex
    std::vector<std::uint32_t> corners_;  // 3 per triangle, counted from 0
    std::int64_t faceCount_ = 0;
    bool failed_ = false;
};

// lib3mf reading a 3MF back, for the tests: its mesh objects' vertex and
// triangle counts summed; false when the file does not read.
struct ThreeMfContents {
    std::int64_t objects = 0;
    std::int64_t vertices = 0;
    std::int64_t triangles = 0;
    bool millimetres = false;
    bool manifold = false;   // lib3mf's own check, every object
    std::string objectUuid;  // the last object's
};
bool readThreeMf(const std::filesystem::path& path, ThreeMfContents& contents);

}  // namespace morvale
