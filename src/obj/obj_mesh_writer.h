#pragma once
// The OBJ writer of the mesh stream: vertex lines "v %.4f %.4f %.4f" in the
// preset's axis order, the vertex count comment, the object and group
// statements, face lines and the quad count comment, after the comment
// header (Interpolated: written ahead, see vertex_write_ahead.h).
//
// Lines are formatted on the thread that calls the sink into large chunks;
// an ordered writer thread writes them, honouring the batches' cancel and
// step marks. Without `threaded` (or without a thread to be had) the chunks
// are written on the calling thread: the same bytes, steps and counts.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "base/output_file.h"
#include "base/progress_reporter.h"
#include "mesh/mesh_sink.h"
#include "obj/attribute_text.h"
#include "obj/face_text.h"
#include "obj/vertex_text.h"
#include "obj/vertex_write_ahead.h"
#include "pipeline/ordered_writer.h"

namespace morvale {

struct ObjTexts {
    std::string_view objHeaderText;     // header lines 1 to 3
    std::string_view inputNameNarrow;   // header line 5
    std::string_view objectNameNarrow;  // the object and group statements
};

class ObjMeshWriter final : public MeshSink {
public:
    // `output` is open and empty, `outputPath` its path (a block written
    // ahead is read back and cut there). Throws std::bad_alloc when the
    // writer's tables do not fit in memory.
    ObjMeshWriter(OutputFile& output, const std::filesystem::path& outputPath, const ObjTexts& texts,
                  std::int32_t presetIndex, const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                  bool threaded);
    ~ObjMeshWriter() override;

    // With a material, before begin(): the "mtllib" line (after the header)
    // and the "usemtl" line (after the group), each ending in "\n". The texts
    // must outlive the writer.
    void useMaterial(std::string_view mtllibLine, std::string_view usemtlLine) {
        mtllibLine_ = mtllibLine;
        usemtlLine_ = usemtlLine;
    }

    bool acceptsVerticesAhead() override { return VertexWriteAhead::possible(output_); }
    void begin(const MeshInfo& info) override;
    void vertices(const VertexBatch& batch) override;
    void writingStage() override;
    void keepVertices(std::int64_t count) override;
    void endVertices() override;
    void faces(const FaceBatch& batch) override;
    MeshWritten end(std::int64_t faceCountForComment) override;

private:
    void startBlock();
    std::int64_t finishBlock();  // lines written
    // Vertices and faces that carry texture coordinates or normals: each
    // vertex's "v", "vt" and "vn" lines side by side, faces naming them.
    bool hasAttributes() const { return info_.uv || info_.normals != NormalLayout::none; }
    void attributeVertices(const VertexBatch& batch);
    void attributeFaces(const FaceBatch& batch);
    // The one place a vertex line and a face line are put together.
    char* putVertexLine(char* out, const double* position) {
        const TextRef east = coordinates_.get(orient(position[0], layout_.negateEast), true);
        const TextRef north = recentNorth_.get(orient(position[1], layout_.negateNorth), coordinates_, false);
        return putVertex(out, layout_, east, north, elevation_.get(orient(position[2], layout_.negateElevation)));
    }
    char* putFaceLine(char* out, const std::int64_t* vertex) {
        // A face's numbers lie in one or two clusters (a row and the next):
        // each cluster's text moves along with a counter, and a number a few
        // above a cluster's lowest is written from its text.
        const int corners = info_.faceCorners;
        std::int64_t low = vertex[0], high = vertex[0];
        for (int c = 1; c < corners; ++c) {
            low = vertex[c] < low ? vertex[c] : low;
            high = vertex[c] > high ? vertex[c] : high;
        }
        nearNumbers_.moveTo(low);
        *out++ = 'f';
        if (high - low <= 9) {
            for (int c = 0; c < corners; ++c) {
                *out++ = ' ';
                out = nearNumbers_.put(out, static_cast<int>(vertex[c] - low));
            }
        } else {
            std::int64_t far = high;
            for (int c = 0; c < corners; ++c)
                if (vertex[c] - low > 9 && vertex[c] < far) far = vertex[c];
            farNumbers_.moveTo(far);
            for (int c = 0; c < corners; ++c) {
                *out++ = ' ';
                const std::int64_t aboveLow = vertex[c] - low, aboveFar = vertex[c] - far;
                if (aboveLow <= 9)
                    out = nearNumbers_.put(out, static_cast<int>(aboveLow));
                else if (aboveFar >= 0 && aboveFar <= 9)
                    out = farNumbers_.put(out, static_cast<int>(aboveFar));
                else
                    out = putInteger(out, vertex[c]);
            }
        }
        out[0] = '\r';
        out[1] = '\n';
        return out + 2;
    }

    OutputFile& output_;
    std::filesystem::path outputPath_;
    ObjTexts texts_;
    std::string_view mtllibLine_;
    std::string_view usemtlLine_;
    VertexLayout layout_;
    std::int32_t presetIndex_;
    const std::atomic<bool>& cancelRequested_;
    ProgressReporter& progress_;
    bool threaded_;

    MeshInfo info_;
    FaceAttributes faceAttributes_;
    std::unique_ptr<OrderedWriter> writer_;
    std::unique_ptr<ChunkStream> stream_;
    CoordinateTexts coordinates_;
    RecentTexts recentNorth_;  // a row shares its north value, a floating plane two
    LastText elevation_;
    NumberTextCounter nearNumbers_, farNumbers_;
    VertexWriteAhead writeAhead_;
    std::int64_t aheadLines_ = 0;  // lines of a block written ahead
    std::int64_t aheadBlockEnd_ = 0;
    std::int64_t verticesWritten_ = 0;
    bool ok_ = true;
};

}  // namespace morvale
