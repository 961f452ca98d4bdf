#include "obj/obj_mesh_writer.h"

#include <algorithm>
#include <cassert>

#include "mesh/axis_order.h"
#include "obj/obj_writer.h"

namespace morvale {
namespace {

// Lines reserved at once: few checks per line, little room left unused at a chunk's end.
constexpr std::size_t linesPerReserve = 64;
// How far ahead the coordinate texts are fetched.
constexpr std::size_t prefetchLines = 8;

constexpr std::size_t faceLineRoom(int corners) {
    return 1 + static_cast<std::size_t>(corners) * 21 + 2 + faceLineSlack;
}

}  // namespace

ObjMeshWriter::ObjMeshWriter(OutputFile& output, const std::filesystem::path& outputPath, const ObjTexts& texts,
                             std::int32_t presetIndex, const std::atomic<bool>& cancelRequested,
                             ProgressReporter& progress, bool threaded)
    : output_(output), outputPath_(outputPath), texts_(texts), layout_(vertexLayoutFor(presetIndex)),
      presetIndex_(presetIndex), cancelRequested_(cancelRequested), progress_(progress), threaded_(threaded) {}

ObjMeshWriter::~ObjMeshWriter() { finishBlock(); }

void ObjMeshWriter::startBlock() {
    writer_ = std::make_unique<OrderedWriter>(output_, cancelRequested_, progress_);
    if (!writer_->start(1, 3, threaded_)) {
        // Without the chunks' memory nothing more can be written.
        writer_.reset();
        ok_ = false;
        return;
    }
    stream_ = std::make_unique<ChunkStream>(*writer_, 0, 0);
}

std::int64_t ObjMeshWriter::finishBlock() {
    if (!writer_) return 0;
    stream_->flush();
    writer_->finish(stream_->nextSequence());
    const std::int64_t lines = writer_->linesWritten();
    stream_.reset();
    writer_.reset();
    return lines;
}

void ObjMeshWriter::begin(const MeshInfo& info) {
    assert(info.faceCorners >= 3 && info.faceCorners <= 4);
    info_ = info;
    const int linesPerVertex = 1 + (info.uv ? 1 : 0) + (info.normals == NormalLayout::perVertex ? 1 : 0);
    if (info.verticesAhead)
        writeAhead_.begin(output_, {texts_.objHeaderText, texts_.inputNameNarrow}, linesPerVertex);
    else
        writeObjHeader(output_, texts_.objHeaderText, texts_.inputNameNarrow);
    startBlock();
    faceAttributes_ = FaceAttributes{info.uv, info.normals, 1};
    if (stream_ && (hasAttributes() || !mtllibLine_.empty())) {
        // The lines before the first vertex open the block (a block written
        // ahead notes its offsets from there), counted as no vertex.
        char* out = stream_->reserve(mtllibLine_.size() + 1 + normalLineRoom);
        for (const char c : mtllibLine_) {
            if (c == '\n') *out++ = '\r';
            *out++ = c;
        }
        if (info.normals == NormalLayout::shared) {
            const double* n = info.sharedNormal;
            const VertexCoordinates turned = applyAxisOrder(presetIndex_, n[0], n[1], n[2]);
            out = putNormalLine(out, turned.first, turned.second, turned.third);
        }
        stream_->commit(out, 0);
    }
}

void ObjMeshWriter::attributeVertices(const VertexBatch& batch) {
    assert(!info_.uv || batch.uv != nullptr);
    assert(info_.normals != NormalLayout::perVertex || batch.normal != nullptr);
    stream_->setCancellable(batch.cancellable);
    const bool uv = info_.uv, normals = info_.normals == NormalLayout::perVertex;
    const std::size_t room = vertexLineRoom + (uv ? texCoordLineRoom : 0) + (normals ? normalLineRoom : 0);
    for (std::size_t done = 0; done < batch.count;) {
        std::size_t n = std::min(batch.count - done, linesPerReserve);
        if (info_.verticesAhead) {
            const std::int64_t intoMark = aheadLines_ % VertexWriteAhead::checkpointLines;
            if (intoMark == 0) writeAhead_.checkpoint(aheadLines_, stream_->bytes());
            n = std::min(n, static_cast<std::size_t>(VertexWriteAhead::checkpointLines - intoMark));
            aheadLines_ += static_cast<std::int64_t>(n);
        }
        char* out = stream_->reserve(n * room);
        for (std::size_t i = done; i < done + n; ++i) {
            out = putVertexLine(out, batch.position + 3 * i);
            if (uv) out = putTexCoordLine(out, batch.uv[2 * i], batch.uv[2 * i + 1]);
            if (normals) {
                const double* v = batch.normal + 3 * i;
                const VertexCoordinates turned = applyAxisOrder(presetIndex_, v[0], v[1], v[2]);
                out = putNormalLine(out, turned.first, turned.second, turned.third);
            }
        }
        // Counted in vertices: the vertex count comment is the lines the block wrote.
        stream_->commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (batch.stepAfter) stream_->stepAfterThis();
}

void ObjMeshWriter::attributeFaces(const FaceBatch& batch) {
    stream_->setCancellable(batch.cancellable);
    const int corners = info_.faceCorners;
    const std::int64_t* vertex = batch.vertex;
    for (std::size_t done = 0; done < batch.count;) {
        const std::size_t n = std::min(batch.count - done, linesPerReserve);
        char* out = stream_->reserve(n * attributeFaceLineRoom);
        for (std::size_t k = 0; k < n; ++k, vertex += corners)
            out = putAttributeFaceLine(out, vertex, corners, faceAttributes_);
        stream_->commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (batch.stepAfter) stream_->stepAfterThis();
}

void ObjMeshWriter::vertices(const VertexBatch& batch) {
    if (!stream_) return;
    if (hasAttributes()) return attributeVertices(batch);
    stream_->setCancellable(batch.cancellable);
    const double* position = batch.position;
    for (std::size_t done = 0; done < batch.count;) {
        std::size_t n = std::min(batch.count - done, linesPerReserve);
        if (info_.verticesAhead) {
            const std::int64_t intoMark = aheadLines_ % VertexWriteAhead::checkpointLines;
            if (intoMark == 0) writeAhead_.checkpoint(aheadLines_, stream_->bytes());
            n = std::min(n, static_cast<std::size_t>(VertexWriteAhead::checkpointLines - intoMark));
            aheadLines_ += static_cast<std::int64_t>(n);
        }
        char* out = stream_->reserve(n * vertexLineRoom);
        for (std::size_t k = 0; k < n; ++k, position += 3) {
            if (done + k + prefetchLines < batch.count) {
                coordinates_.prefetch(position[3 * prefetchLines]);
                coordinates_.prefetch(position[3 * prefetchLines + 1]);
            }
            out = putVertexLine(out, position);
        }
        stream_->commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (batch.stepAfter) stream_->stepAfterThis();
}

void ObjMeshWriter::writingStage() {
    assert(info_.verticesAhead);
    aheadLines_ = finishBlock();
    aheadBlockEnd_ = output_.position();
    ok_ = writeAhead_.rewriteHeader(output_, {texts_.objHeaderText, texts_.inputNameNarrow}) && ok_;
}

void ObjMeshWriter::keepVertices(std::int64_t count) {
    assert(info_.verticesAhead);
    verticesWritten_ = std::min(count, aheadLines_);
    // After a failure (no chunks, no seeking back) the run fails anyway: nothing is cut.
    if (!ok_) return;
    assert(count <= aheadLines_);
    ok_ = writeAhead_.keep(output_, outputPath_, count, aheadLines_, aheadBlockEnd_);
}

void ObjMeshWriter::endVertices() {
    if (!info_.verticesAhead) verticesWritten_ = finishBlock();
    writeVertexCount(output_, verticesWritten_);
    writeObjectAndGroup(output_, texts_.objectNameNarrow);
    output_.writeText(usemtlLine_);
    if (ok_) startBlock();
}

void ObjMeshWriter::faces(const FaceBatch& batch) {
    if (!stream_) return;
    if (hasAttributes()) return attributeFaces(batch);
    stream_->setCancellable(batch.cancellable);
    const std::size_t room = faceLineRoom(info_.faceCorners);
    const std::int64_t* vertex = batch.vertex;
    for (std::size_t done = 0; done < batch.count;) {
        const std::size_t n = std::min(batch.count - done, linesPerReserve);
        char* out = stream_->reserve(n * room);
        for (std::size_t k = 0; k < n; ++k, vertex += info_.faceCorners) out = putFaceLine(out, vertex);
        stream_->commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (batch.stepAfter) stream_->stepAfterThis();
}

MeshWritten ObjMeshWriter::end(std::int64_t faceCountForComment) {
    const std::int64_t facesWritten = finishBlock();
    writeQuadCount(output_, faceCountForComment == facesThatReachedOutput ? facesWritten : faceCountForComment);
    return MeshWritten{verticesWritten_, facesWritten, ok_ && !output_.failed()};
}

}  // namespace morvale
