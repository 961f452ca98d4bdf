#include "obj/obj_mesh_writer.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

#include "mesh/axis_order.h"
#include "obj/obj_writer.h"

namespace morvale {
namespace {

// Lines reserved at once: few checks per line, little room left unused at a chunk's end.
constexpr std::size_t linesPerReserve = 64;

// A turn of face lines fills one chunk: small turns keep the two threads in
// step, chunks of a turn's size keep the block's memory low.
constexpr std::size_t faceTurnLines = 4096;
constexpr std::size_t faceChunkBytes = std::size_t{512} << 10;
static_assert(faceTurnLines * faceLineRoom(4) <= faceChunkBytes);
constexpr int maxFaceCorners = 4;

// Decimal digits of a vertex number.
std::size_t digitsOf(std::int64_t v) {
    std::size_t digits = 1;
    for (; v >= 10; v /= 10) ++digits;
    return digits;
}

// The face lines a chunk surely holds when no number exceeds `largest`: a
// turn must fit its one chunk. Plane faces' lines are short, so their turns
// take that many, and the two threads hand over few turns; other faces'
// turns are shorter still (the helper's copy of their numbers), except
// with attributes and numbers of ten digits and more.
std::size_t turnLinesFitting(std::int64_t largest, int corners, const FaceAttributes& attributes) {
    const std::size_t digits = digitsOf(largest);
    std::size_t corner = 1 + digits;  // " v"
    if (attributes.uv) corner += 1 + digits;
    if (attributes.normals == NormalLayout::perVertex) corner += 2 + digits;
    if (attributes.normals == NormalLayout::shared) corner += 2 + digitsOf(attributes.sharedNormal);
    const std::size_t line = 1 + static_cast<std::size_t>(corners) * corner + 2;
    // The last reservation of a turn asks for a whole run's room.
    static_assert(linesPerReserve * attributeFaceLineRoom < faceChunkBytes / 2);
    return (faceChunkBytes - linesPerReserve * attributeFaceLineRoom) / line;
}

}  // namespace

ObjMeshWriter::ObjMeshWriter(OutputFile& output, const std::filesystem::path& outputPath, const ObjTexts& texts,
                             std::int32_t presetIndex, const std::atomic<bool>& cancelRequested,
                             ProgressReporter& progress, bool threaded)
    : output_(output), outputPath_(outputPath), texts_(texts), layout_(vertexLayoutFor(presetIndex)),
      presetIndex_(presetIndex), putVertexLines_(putVertexLinesFor(layout_)), eastSign_(signBitIf(layout_.negateEast)),
      northSign_(signBitIf(layout_.negateNorth)), elevationSign_(signBitIf(layout_.negateElevation)),
      cancelRequested_(cancelRequested), progress_(progress), threaded_(threaded) {
    if (!eastTexts_.allocate()) throw std::bad_alloc();
}

ObjMeshWriter::~ObjMeshWriter() { finishBlock(); }

ObjMeshWriter::PutVertexLines ObjMeshWriter::putVertexLinesFor(const VertexLayout& layout) {
    return withVertexSlots(layout, []<int eastSlot, int northSlot>() -> PutVertexLines {
        return &ObjMeshWriter::putVertexLines<eastSlot, northSlot>;
    });
}

void ObjMeshWriter::startBlock(bool faceBlock) {
    writer_ = std::make_unique<OrderedWriter>(output_, cancelRequested_, progress_);
    const bool started = faceBlock ? writer_->start(2, 3, threaded_, faceChunkBytes) : writer_->start(1, 3, threaded_);
    if (!started) {
        // Without the chunks' memory nothing more can be written.
        writer_.reset();
        ok_ = false;
        return;
    }
    stream_ = std::make_unique<ChunkStream>(*writer_, 0, 0);
    if (faceBlock && info_.faceSource != nullptr) {
        faceReader_ = info_.faceSource->reader();
        faceNumbers_.reset(new (std::nothrow) std::int64_t[faceTurnLines * maxFaceCorners]);
        if (!faceReader_ || !faceNumbers_) {
            stream_.reset();
            writer_.reset();
            ok_ = false;
            return;
        }
    }
    // Without a writer thread chunks must come in order: no helper then.
    if (faceBlock && writer_->threaded()) startHelper();
}

void ObjMeshWriter::startHelper() {
    try {
        helperVertices_.reset(new std::int64_t[faceTurnLines * maxFaceCorners]);
        if (info_.faceSource != nullptr && !(helperReader_ = info_.faceSource->reader())) throw std::bad_alloc();
        helperStream_ = std::make_unique<ChunkStream>(*writer_, 1, 0);
        helperQuit_ = false;
        helperHasTurn_ = false;
        helper_ = std::thread([this] { helperRun(); });
    } catch (const std::exception&) {
        // No helper (no memory or no thread): the calling thread formats every face.
        helperStream_.reset();
        helperVertices_.reset();
        helperReader_.reset();
        return;
    }
    nextTurn_ = 0;
    helperGoesNext_ = true;
}

void ObjMeshWriter::stopHelper() {
    {
        std::unique_lock<std::mutex> lock(helperMutex_);
        helperIdle_.wait(lock, [&] { return !helperHasTurn_; });
        helperQuit_ = true;
    }
    helperWake_.notify_one();
    helper_.join();
    helperStream_.reset();
    helperVertices_.reset();
    helperReader_.reset();
}

void ObjMeshWriter::handToHelper(const FaceTurn& turn) {
    {
        std::unique_lock<std::mutex> lock(helperMutex_);
        helperIdle_.wait(lock, [&] { return !helperHasTurn_; });
        helperTurn_ = turn;
        // The batch's numbers are the caller's only during its call: the helper's own copy.
        if (const std::int64_t* vertex = turn.run.vertex) {
            std::copy(vertex, vertex + turn.run.count * static_cast<std::size_t>(info_.faceCorners),
                      helperVertices_.get());
            helperTurn_.run.vertex = helperVertices_.get();
        }
        helperHasTurn_ = true;
    }
    helperWake_.notify_one();
}

void ObjMeshWriter::helperRun() {
    std::unique_lock<std::mutex> lock(helperMutex_);
    for (;;) {
        helperWake_.wait(lock, [&] { return helperHasTurn_ || helperQuit_; });
        if (!helperHasTurn_) return;
        const FaceTurn turn = helperTurn_;
        lock.unlock();
        helperStream_->continueAt(turn.sequence);
        putTurn(*helperStream_, helperLines_, helperReader_.get(), helperVertices_.get(), turn.run);
        helperStream_->flush();
        lock.lock();
        helperHasTurn_ = false;
        helperIdle_.notify_one();
    }
}

std::int64_t ObjMeshWriter::finishBlock() {
    if (!writer_) return 0;
    std::int64_t sequenceEnd = 0;
    if (helper_.joinable()) {
        stopHelper();
        sequenceEnd = nextTurn_;
    }
    stream_->flush();
    writer_->finish(std::max(sequenceEnd, stream_->nextSequence()));
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
    startBlock(false);
    faceAttributes_ = FaceAttributes{info.uv, info.normals, 1};
    // A normal per vertex makes attribute lines cost more than vertex lines: a helper shares them.
    if (stream_ && writer_->threaded() && info.normals == NormalLayout::perVertex)
        attributeWorker_.start(presetIndex_, info.uv, true);
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

std::size_t ObjMeshWriter::nextVertexRun(std::size_t left) {
    std::size_t n = std::min(left, linesPerReserve);
    if (info_.verticesAhead) {
        // A block written ahead notes where every checkpointLines-th vertex starts, so a run stops there.
        const std::int64_t intoMark = aheadLines_ % VertexWriteAhead::checkpointLines;
        if (intoMark == 0) writeAhead_.checkpoint(aheadLines_, stream_->bytes());
        n = std::min(n, static_cast<std::size_t>(VertexWriteAhead::checkpointLines - intoMark));
        aheadLines_ += static_cast<std::int64_t>(n);
    }
    return n;
}

char* ObjMeshWriter::putAttributeLines(char* out, const double* uv, const double* normal) {
    if (uv != nullptr) out = texCoordLines_.put(out, uv[0], uv[1]);
    if (normal != nullptr) {
        const VertexCoordinates turned = applyAxisOrder(presetIndex_, normal[0], normal[1], normal[2]);
        out = putNormalLine(out, turned.first, turned.second, turned.third);
    }
    return out;
}

void ObjMeshWriter::attributeVertices(const VertexBatch& batch) {
    assert(!info_.uv || batch.uv != nullptr);
    assert(info_.normals != NormalLayout::perVertex || batch.normal != nullptr);
    if (attributeWorker_.running() && batch.count >= 1 && batch.count <= AttributeLineWorker::mostVertices) {
        attributeWorker_.hold(batch);
        if (attributeWorker_.held() == 2) writeHeldBatch();
        return;
    }
    writeHeldVertices();
    stream_->setCancellable(batch.cancellable);
    const bool uv = info_.uv, normals = info_.normals == NormalLayout::perVertex;
    const std::size_t room = vertexLineRoom + (uv ? texCoordLineRoom : 0) + (normals ? normalLineRoom : 0);
    for (std::size_t done = 0; done < batch.count;) {
        const std::size_t n = nextVertexRun(batch.count - done);
        char* out = stream_->reserve(n * room);
        for (std::size_t i = done; i < done + n; ++i) {
            out = putVertexLine(out, batch.position + 3 * i);
            out = putAttributeLines(out, uv ? batch.uv + 2 * i : nullptr, normals ? batch.normal + 3 * i : nullptr);
        }
        // Counted in vertices: the vertex count comment is the lines the block wrote.
        stream_->commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (batch.stepAfter) stream_->stepAfterThis();
}

void ObjMeshWriter::writeHeldBatch() {
    const AttributeLineWorker::HeldBatch batch = attributeWorker_.oldest();
    stream_->setCancellable(batch.cancellable);
    const std::size_t room = vertexLineRoom + texCoordLineRoom + normalLineRoom;
    for (std::size_t done = 0; done < batch.count;) {
        const std::size_t n = nextVertexRun(batch.count - done);
        char* out = stream_->reserve(n * room);
        for (std::size_t i = done; i < done + n; ++i) {
            out = putVertexLine(out, batch.position + 3 * i);
            const AttributeLineWorker::Record& record = batch.records[i];
            if (record.length != 0) {
                std::memcpy(out, record.text, sizeof record.text);
                out += record.length;
            } else {
                out = putAttributeLines(out, batch.uv != nullptr ? batch.uv + 2 * i : nullptr, batch.normal + 3 * i);
            }
        }
        stream_->commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (batch.stepAfter) stream_->stepAfterThis();
    attributeWorker_.release();
}

void ObjMeshWriter::attributeFaces(ChunkStream& stream, FaceLines& lines, const FaceRun& run) {
    stream.setCancellable(run.cancellable);
    const int corners = info_.faceCorners;
    for (std::size_t done = 0; done < run.count;) {
        const std::size_t n = std::min(run.count - done, linesPerReserve);
        char* out = stream.reserve(n * attributeFaceLineRoom);
        if (run.vertex != nullptr)
            out = putAttributeFaceLines(out, run.vertex + done * static_cast<std::size_t>(corners), n, corners,
                                        faceAttributes_, lines);
        else
            out = putPlaneFaceLines(out, run.firstPlane + static_cast<std::int64_t>(done), n, faceAttributes_, lines);
        stream.commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (run.stepAfter) stream.stepAfterThis();
}

void ObjMeshWriter::vertices(const VertexBatch& batch) {
    verticesSeen_ += static_cast<std::int64_t>(batch.count);
    if (!stream_) return;
    if (hasAttributes()) return attributeVertices(batch);
    stream_->setCancellable(batch.cancellable);
    const double* position = batch.position;
    for (std::size_t done = 0; done < batch.count;) {
        const std::size_t n = nextVertexRun(batch.count - done);
        char* out = stream_->reserve(n * vertexLineRoom);
        out = (this->*putVertexLines_)(out, position, n);
        position += 3 * n;
        stream_->commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (batch.stepAfter) stream_->stepAfterThis();
}

void ObjMeshWriter::planes(const PlaneBatch& batch) {
    planesSeen_ += static_cast<std::int64_t>(batch.count);
    if (!stream_) return;
    assert(info_.planes != nullptr && !info_.verticesAhead && info_.normals != NormalLayout::perVertex);
    stream_->setCancellable(false);
    constexpr std::size_t planesPerReserve = linesPerReserve / 4;
    for (std::size_t done = 0; done < batch.count;) {
        const std::size_t n = std::min(batch.count - done, planesPerReserve);
        char* out = stream_->reserve(n * PlaneLines::planeRoom);
        out = planeLines_.put(out, batch.cell + done, n, info_.uv);
        // Counted in vertices, like the vertex lines of any other batch.
        stream_->commit(out, static_cast<std::int64_t>(4 * n));
        done += n;
    }
}

void ObjMeshWriter::writingStage() {
    assert(info_.verticesAhead);
    if (stream_) writeHeldVertices();
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
    if (stream_) writeHeldVertices();
    attributeWorker_.stop();
    if (!info_.verticesAhead) verticesWritten_ = finishBlock();
    writeVertexCount(output_, verticesWritten_);
    writeObjectAndGroup(output_, texts_.objectNameNarrow);
    output_.writeText(usemtlLine_);
    if (ok_) startBlock(true);
}

void ObjMeshWriter::faces(const FaceBatch& batch) {
    if (!stream_) return;
    // An empty batch (a step of the progress alone) names no vertices.
    assert(batch.count == 0 || batch.vertex != nullptr || info_.faceSource != nullptr ||
           (info_.planes != nullptr && info_.faceCorners == 4 && batch.firstPlane >= 1));
    FaceRun whole{batch.vertex, batch.firstPlane, batch.firstFace, batch.count, batch.cancellable, batch.stepAfter};
    if (!helper_.joinable()) {
        putTurn(*stream_, faceLines_, faceReader_.get(), faceNumbers_.get(), whole);
        return;
    }
    const std::size_t corners = static_cast<std::size_t>(info_.faceCorners);
    // Numbers handed over are copied for the helper: their turns stay short.
    // Ranges and planes cost nothing to hand over: a turn fills its chunk.
    std::size_t turnLines;
    if (batch.vertex != nullptr)
        turnLines = std::min(faceTurnLines, turnLinesFitting(verticesSeen_, info_.faceCorners, faceAttributes_));
    else if (info_.faceSource != nullptr)
        turnLines = turnLinesFitting(verticesSeen_, info_.faceCorners, faceAttributes_);
    else
        turnLines =
            turnLinesFitting(4 * (batch.firstPlane + static_cast<std::int64_t>(batch.count) - 1), 4, faceAttributes_);
    std::size_t done = 0;
    do {
        FaceTurn turn;
        FaceRun& run = turn.run;
        run.count = std::min(batch.count - done, turnLines);
        run.cancellable = batch.cancellable;
        run.stepAfter = batch.stepAfter && done + run.count == batch.count;
        if (run.count == 0 && !run.stepAfter) return;
        run.vertex = batch.vertex != nullptr ? batch.vertex + done * corners : nullptr;
        run.firstPlane = batch.firstPlane + static_cast<std::int64_t>(done);
        run.firstFace = batch.firstFace + static_cast<std::int64_t>(done);
        turn.sequence = nextTurn_++;
        if (helperGoesNext_) {
            handToHelper(turn);
        } else {
            stream_->continueAt(turn.sequence);
            putTurn(*stream_, faceLines_, faceReader_.get(), faceNumbers_.get(), run);
            stream_->flush();
        }
        helperGoesNext_ = !helperGoesNext_;
        done += run.count;
    } while (done < batch.count);
}

void ObjMeshWriter::putTurn(ChunkStream& stream, FaceLines& lines, FaceRangeReader* reader, std::int64_t* numbers,
                            const FaceRun& run) {
    if (run.vertex != nullptr || info_.faceSource == nullptr || run.count == 0) return putFaces(stream, lines, run);
    assert(reader != nullptr && numbers != nullptr);
    for (std::size_t done = 0; done < run.count;) {
        FaceRun part = run;
        part.count = std::min(run.count - done, faceTurnLines);
        part.stepAfter = run.stepAfter && done + part.count == run.count;
        reader->put(run.firstFace + static_cast<std::int64_t>(done), part.count, numbers);
        part.vertex = numbers;
        putFaces(stream, lines, part);
        done += part.count;
    }
}

void ObjMeshWriter::putFaces(ChunkStream& stream, FaceLines& lines, const FaceRun& run) {
    // Planes' faces, with or without attributes, are all alike: one routine writes them.
    if (hasAttributes() || run.vertex == nullptr) return attributeFaces(stream, lines, run);
    stream.setCancellable(run.cancellable);
    const int corners = info_.faceCorners;
    const std::size_t room = faceLineRoom(corners);
    const std::int64_t* vertex = run.vertex;
    for (std::size_t done = 0; done < run.count;) {
        const std::size_t n = std::min(run.count - done, linesPerReserve);
        char* out = stream.reserve(n * room);
        if (corners == 4) {
            for (std::size_t k = 0; k < n; ++k, vertex += 4) out = lines.put<4>(out, vertex);
        } else {
            for (std::size_t k = 0; k < n; ++k, vertex += 3) out = lines.put<3>(out, vertex);
        }
        stream.commit(out, static_cast<std::int64_t>(n));
        done += n;
    }
    if (run.stepAfter) stream.stepAfterThis();
}

MeshWritten ObjMeshWriter::end() {
    const std::int64_t facesWritten = finishBlock();
    writeQuadCount(output_,
                   quadComment_ == QuadComment::planesHandedOver ? planesSeen_ + verticesSeen_ / 4 : facesWritten);
    return MeshWritten{verticesWritten_, facesWritten, ok_ && !output_.failed()};
}

}  // namespace morvale
