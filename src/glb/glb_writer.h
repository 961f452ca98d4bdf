#pragma once
// glTF 2.0 output of a mesh stream, binary (.glb) or as JSON with its buffer
// beside it (.gltf + .bin; gltf_container.h): one mesh, one node, one
// triangle primitive with float32 POSITION (with its min and max), NORMAL and
// TEXCOORD_0 when the stream has them, and uint32 indices; optionally one PNG
// or JPEG image embedded in the binary chunk with a material that uses it.
//
// Axes: glTF's own, Y up, right-handed, +Z toward the viewer's south:
// (x, y, z) = (east, elevation, -north). No preset axis order applies; the
// unit scale is already in the positions. Quads become two triangles split
// along the diagonal from their first to their third corner, keeping the
// stream's counter-clockwise order (glTF's front face).
//
// Precision: positions come in double. The writer subtracts `offset` (map
// frame, output units) in double before rounding to float32 and puts the
// offset into the node's translation as a full-precision JSON number, so real-
// world coordinates do not eat the float's 24 bits.
//
// Streaming, in bounded memory: the JSON is written when the stream ends (in
// a .glb, into a room reserved at the start); vertices go straight into the
// binary buffer, interleaved, then the indices. The only thing read back is
// the vertex block, and only when keepVertices() cuts it (its min and max
// must then be taken again).
//
// Limits: GLB lengths are 32-bit, so a whole file must stay below 4 GiB, and
// uint32 indices address at most 2^32 - 1 vertices (the largest value is not
// allowed as an index). Check with glbFits() before writing.
//
// The file is valid glTF whatever happens to the stream: a cancelled or empty
// stream gives a scene with one empty node.

#include <atomic>
#include <cstdint>
#include <filesystem>

#include "base/mesh_file.h"
#include "glb/gltf_container.h"
#include "glb/texture_image.h"
#include "mesh/batch_gate.h"
#include "mesh/mesh_sink.h"

namespace morvale {

enum class GlbFit : std::uint8_t {
    fits,
    tooManyVertices,  // more than 2^32 - 1 vertices
    fileTooLarge,     // the file would reach 4 GiB
};

// Whether a mesh of at most `vertices` vertices and `faces` faces fits a GLB file.
GlbFit glbFits(std::int64_t vertices, std::int64_t faces, const MeshInfo& info, std::uint64_t textureBytes);
// The message for a refusal ("" for fits).
const char* glbFitMessage(GlbFit fit);

enum class TextureStatus : std::uint8_t {
    none,  // no texture asked for
    embedded,
    unreadable,    // the image cannot be opened or read
    notPngOrJpeg,  // its bytes are neither
    noUv,          // the stream has no texture coordinates to map it with
};

struct GlbOptions {
    double offset[3] = {0.0, 0.0, 0.0};  // map frame (east, north, elevation), output units
    std::filesystem::path texture;       // empty: no texture
    GltfContainer container = GltfContainer::binary;
    // A .gltf's buffer: where it is written and the file name its "uri"
    // gives (empty: NAME.bin beside the .gltf for both).
    std::filesystem::path bufferPath, bufferName;
};

class GlbWriter final : public MeshSink {
public:
    // Null pointers: never cancelled, no progress.
    GlbWriter(const std::atomic<bool>* cancelRequested, ProgressReporter* progress);

    // Creates the file (a .gltf's two files); false when it cannot be created.
    bool open(const std::filesystem::path& path, const GlbOptions& options);
    // Known once begin() ran (the image is embedded only with texture coordinates).
    TextureStatus textureStatus() const { return textureStatus_; }
    // The system's reason for the first failed write, or the failed open (empty: none told).
    std::error_code writeError() const { return files_.error() ? files_.error() : file_.error(); }

    bool acceptsVerticesAhead() override { return true; }
    void begin(const MeshInfo& info) override;
    void vertices(const VertexBatch& batch) override;
    void keepVertices(std::int64_t count) override;
    void endVertices() override;
    void faces(const FaceBatch& batch) override;
    MeshWritten end() override;

private:
    void embedTexture();
    void writeTriangle(std::int64_t a, std::int64_t b, std::int64_t c);
    bool recomputeBounds();

    BatchGate gate_;
    GltfFiles files_;
    MeshFile file_;  // the binary buffer's
    GlbOptions options_;
    MeshInfo info_;
    TextureStatus textureStatus_ = TextureStatus::none;
    ImageKind imageKind_ = ImageKind::unknown;
    std::int64_t imageBytes_ = 0;   // unpadded
    std::int64_t vertexStart_ = 0;  // file offset of the vertex block
    std::uint32_t vertexStride_ = 12;
    std::int64_t vertexCount_ = 0;
    std::int64_t triangleCount_ = 0;
    std::int64_t faceCount_ = 0;
    float minimum_[3] = {0, 0, 0};
    float maximum_[3] = {0, 0, 0};
    float sharedNormal_[3] = {0, 0, 0};
    bool incomplete_ = false;  // a limit or a read-back cut the output short
};

}  // namespace morvale
