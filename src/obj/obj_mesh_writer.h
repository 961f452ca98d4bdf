#pragma once
// The OBJ writer of the mesh stream: vertex lines "v %.4f %.4f %.4f" in the
// preset's axis order, the vertex count comment, the object and group
// statements, face lines and the quad count comment, after the comment
// header (Interpolated: written ahead, see vertex_write_ahead.h). Floating
// planes come as cells (plane_lines.h) and their faces as plane ranges.
//
// Lines are formatted on the thread that calls the sink into large chunks;
// an ordered writer thread writes them, honouring the batches' cancel and
// step marks. Face lines are formatted in turns, alternately on the calling
// thread and on a helper thread (two producers, as faces need little else).
// Interpolated faces come as ranges: each thread reads its turns' numbers
// itself (MeshSink::acceptsFaceRanges), so neither walking the mask nor a
// copy of the numbers is left to the calling thread alone.
// With a normal per vertex, another helper formats the "vt" and "vn" lines
// while the vertex batches are held back by one (attribute_line_worker.h).
// Without `threaded` (or without a thread to be had) the chunks are written
// on the calling thread: the same bytes, steps and counts.

#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "base/output_file.h"
#include "base/progress_reporter.h"
#include "mesh/mesh_sink.h"
#include "obj/attribute_line_worker.h"
#include "obj/attribute_text.h"
#include "obj/face_text.h"
#include "obj/plane_lines.h"
#include "obj/vertex_text.h"
#include "obj/vertex_write_ahead.h"
#include "pipeline/ordered_writer.h"

namespace morvale {

// What the closing "# N quads" comment counts.
enum class QuadComment : std::uint8_t {
    facesWritten,  // the face lines written (Interpolated, simplified or not)
    // The planes handed over, four vertices each (Floating planes, merged or
    // not): also those whose faces or vertices a cancel dropped.
    planesHandedOver,
};

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
    // Before end(); by default the faces written.
    void countQuadsAs(QuadComment count) { quadComment_ = count; }

    bool acceptsVerticesAhead() override { return VertexWriteAhead::possible(output_); }
    bool acceptsPlanes(const PlaneLattice& lattice) override { return planeLines_.prepare(lattice, presetIndex_); }
    bool acceptsFaceRanges() override { return true; }
    void begin(const MeshInfo& info) override;
    void vertices(const VertexBatch& batch) override;
    void planes(const PlaneBatch& batch) override;
    void writingStage() override;
    void keepVertices(std::int64_t count) override;
    void endVertices() override;
    void faces(const FaceBatch& batch) override;
    MeshWritten end() override;

private:
    void startBlock(bool faceBlock);
    std::int64_t finishBlock();  // lines written
    // Vertices and faces that carry texture coordinates or normals: each
    // vertex's "v", "vt" and "vn" lines side by side, faces naming them.
    bool hasAttributes() const { return info_.uv || info_.normals != NormalLayout::none; }
    void attributeVertices(const VertexBatch& batch);
    // Per-vertex normals: batches held back while a helper formats their
    // attribute lines (attribute_line_worker.h), written here in turn.
    void writeHeldBatch();
    void writeHeldVertices() {
        while (attributeWorker_.held() > 0) writeHeldBatch();
    }
    // A vertex's "vt" and "vn" lines, from 2 and 3 numbers (null: none).
    char* putAttributeLines(char* out, const double* uv, const double* normal);
    // Vertex lines of the next run out of `left` (a block written ahead stops at its checkpoints).
    std::size_t nextVertexRun(std::size_t left);
    // `count` faces: `vertex` holds their numbers, or, when null, they are
    // those of the floating planes from `firstPlane` on, or the face
    // source's from `firstFace` on.
    struct FaceRun {
        const std::int64_t* vertex = nullptr;
        std::int64_t firstPlane = 0;
        std::int64_t firstFace = 0;
        std::size_t count = 0;
        bool cancellable = false;
        bool stepAfter = false;
    };
    void attributeFaces(ChunkStream& stream, FaceLines& lines, const FaceRun& run);
    char* putVertexLine(char* out, const double* position) { return (this->*putVertexLines_)(out, position, 1); }
    // The one place vertex lines are put together (a face line: FaceLines),
    // one copy per axis order, chosen once.
    template <int eastSlot, int northSlot>
    char* putVertexLines(char* out, const double* position, std::size_t count) {
        for (std::size_t k = 0; k < count;) {
            if (k + 4 <= count && isPlane(position)) {
                out = putPlaneLines<eastSlot, northSlot>(out, position);
                position += 12;
                k += 4;
                continue;
            }
            const TextRef east = eastTexts_.get(flipSign(position[0], eastSign_));
            const TextRef north = recentNorth_.get(flipSign(position[1], northSign_));
            lastPlane_.hasRow = lastPlane_.hasEast = false;  // the texts it holds may be gone now
            const bool shortElevation = elevation_.set(flipSign(position[2], elevationSign_));
            if ((east.length | north.length) < shortTextBytes) [[likely]] {
                const ShortRef e{east.text, east.length}, n{north.text, north.length};
                out = shortElevation ? putVertexIn<eastSlot, northSlot>(out, e, n, elevation_.shortText())
                                     : putVertexIn<eastSlot, northSlot>(out, e, n, elevation_.text());
            } else {
                out = shortElevation ? putVertexIn<eastSlot, northSlot>(out, east, north, elevation_.shortText())
                                     : putVertexIn<eastSlot, northSlot>(out, east, north, elevation_.text());
            }
            position += 3;
            ++k;
        }
        return out;
    }
    // Four corners of a floating plane (west-north, east-north, east-south,
    // west-south at one elevation, bit for bit) take each text once.
    static bool isPlane(const double* p) {
        const auto same = [p](int a, int b) {
            return std::bit_cast<std::uint64_t>(p[a]) == std::bit_cast<std::uint64_t>(p[b]);
        };
        return same(2, 5) && same(2, 8) && same(2, 11) && same(0, 9) && same(3, 6) && same(1, 4) && same(7, 10);
    }
    // Planes come cell by cell along a row: a plane's north and south are
    // the last plane's, and its west edge is the last plane's east edge.
    template <int eastSlot, int northSlot>
    char* putPlaneLines(char* out, const double* p) {
        PlaneTexts& last = lastPlane_;
        const std::uint64_t northBits = std::bit_cast<std::uint64_t>(p[1]);
        const std::uint64_t southBits = std::bit_cast<std::uint64_t>(p[7]);
        if (!last.hasRow || northBits != last.northBits || southBits != last.southBits) [[unlikely]] {
            last.north = recentNorth_.get(flipSign(p[1], northSign_));
            last.south = recentNorth_.get(flipSign(p[7], northSign_));
            last.northBits = northBits;
            last.southBits = southBits;
            last.hasRow = true;
        }
        const std::uint64_t westBits = std::bit_cast<std::uint64_t>(p[0]);
        const TextRef west =
            last.hasEast && westBits == last.eastBits ? last.east : eastTexts_.get(flipSign(p[0], eastSign_));
        const TextRef east = eastTexts_.get(flipSign(p[3], eastSign_));
        last.east = east;
        last.eastBits = std::bit_cast<std::uint64_t>(p[3]);
        last.hasEast = true;
        const bool shortElevation = elevation_.set(flipSign(p[2], elevationSign_));
        if ((west.length | east.length | last.north.length | last.south.length) < shortTextBytes) [[likely]] {
            const auto fits = [](TextRef t) { return ShortRef{t.text, t.length}; };
            const ShortRef w = fits(west), e = fits(east), n = fits(last.north), s = fits(last.south);
            if (shortElevation) return putPlaneIn<eastSlot, northSlot>(out, w, e, n, s, elevation_.shortText());
            return putPlaneIn<eastSlot, northSlot>(out, w, e, n, s, elevation_.text());
        }
        if (shortElevation)
            return putPlaneIn<eastSlot, northSlot>(out, west, east, last.north, last.south, elevation_.shortText());
        return putPlaneIn<eastSlot, northSlot>(out, west, east, last.north, last.south, elevation_.text());
    }
    // The texts of the last plane's edges (still valid: the caches keep the
    // last textsKeptValid texts asked for) and the bits of their values.
    struct PlaneTexts {
        bool hasRow = false, hasEast = false;
        std::uint64_t northBits = 0, southBits = 0, eastBits = 0;
        TextRef north{}, south{}, east{};
    };
    template <int eastSlot, int northSlot, class Text, class Elevation>
    static char* putPlaneIn(char* out, Text west, Text east, Text north, Text south, const Elevation& z) {
        out = putVertexIn<eastSlot, northSlot>(out, west, north, z);
        out = putVertexIn<eastSlot, northSlot>(out, east, north, z);
        out = putVertexIn<eastSlot, northSlot>(out, east, south, z);
        return putVertexIn<eastSlot, northSlot>(out, west, south, z);
    }
    using PutVertexLines = char* (ObjMeshWriter::*)(char*, const double*, std::size_t);
    static PutVertexLines putVertexLinesFor(const VertexLayout& layout);
    // Face lines go in turns of at most faceTurnLines (planes' faces: as
    // many as a chunk holds), each turn one chunk: with a helper thread,
    // turns alternate between it and the calling thread.
    struct FaceTurn {
        FaceRun run;
        std::int64_t sequence = 0;
    };
    void putFaces(ChunkStream& stream, FaceLines& lines, const FaceRun& run);
    // A thread's faces: those of a face source are first read into its
    // `numbers` (room for faceTurnLines faces) by its `reader`.
    void putTurn(ChunkStream& stream, FaceLines& lines, FaceRangeReader* reader, std::int64_t* numbers,
                 const FaceRun& run);
    void startHelper();
    void stopHelper();
    void handToHelper(const FaceTurn& turn);
    void helperRun();

    OutputFile& output_;
    std::filesystem::path outputPath_;
    ObjTexts texts_;
    std::string_view mtllibLine_;
    std::string_view usemtlLine_;
    VertexLayout layout_;
    std::int32_t presetIndex_;
    PutVertexLines putVertexLines_;
    std::uint64_t eastSign_, northSign_, elevationSign_;  // the sign bit where the axis order negates
    const std::atomic<bool>& cancelRequested_;
    ProgressReporter& progress_;
    bool threaded_;

    MeshInfo info_;
    FaceAttributes faceAttributes_;
    std::unique_ptr<OrderedWriter> writer_;
    std::unique_ptr<ChunkStream> stream_;
    ColumnTexts eastTexts_;
    RecentTexts recentNorth_;  // a row shares its north value, a floating plane two
    LastText elevation_;
    PlaneTexts lastPlane_;
    PlaneLines planeLines_;  // floating planes handed over as cells
    FaceLines faceLines_;
    std::unique_ptr<FaceRangeReader> faceReader_;  // the calling thread's, with a face source
    std::unique_ptr<std::int64_t[]> faceNumbers_;
    TexCoordLines texCoordLines_;  // the thread that takes the vertices
    AttributeLineWorker attributeWorker_;
    VertexWriteAhead writeAhead_;
    std::int64_t aheadLines_ = 0;  // lines of a block written ahead
    std::int64_t aheadBlockEnd_ = 0;
    std::int64_t verticesWritten_ = 0;
    std::int64_t verticesSeen_ = 0;  // handed over: no face names a larger number
    std::int64_t planesSeen_ = 0;    // handed over as cells
    QuadComment quadComment_ = QuadComment::facesWritten;
    bool ok_ = true;

    // The helper of the face block; helperStream_ and helperLines_ are its own.
    std::thread helper_;
    std::mutex helperMutex_;
    std::condition_variable helperWake_, helperIdle_;
    bool helperHasTurn_ = false;
    bool helperQuit_ = false;
    FaceTurn helperTurn_;
    std::unique_ptr<std::int64_t[]> helperVertices_;
    std::unique_ptr<FaceRangeReader> helperReader_;
    std::unique_ptr<ChunkStream> helperStream_;
    FaceLines helperLines_;
    std::int64_t nextTurn_ = 0;  // the sequence number of the next turn
    bool helperGoesNext_ = true;
};

}  // namespace morvale
