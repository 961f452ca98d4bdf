#include "mesh/interpolated.h"

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <ctime>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "mesh/cell_edges.h"
#include "convert/conversion_files.h"
#include "mesh/pipeline_builders.h"
#include "pipeline/batch_handoff.h"
#include "mesh/corner_vertices.h"
#include "mesh/face_cursor.h"
#include "obj/face_pieces.h"
#include "mesh/cell_mask.h"
#include "pipeline/ordered_writer.h"
#include "grid/grid_body.h"

// The run reads the grid once when the elevations need no centring: the
// vertex block only depends on rows already read, so it is formatted and
// written while the grid is read, right after a provisional header. The
// writing stage then rewrites the header with its own start time, replays
// the progress steps of the vertex lines and, if cancelled, cuts the block
// where a line-by-line loop would have stopped. With "Center Z values" the
// shift is known only after the whole window was read: the values are then
// read again in the writing stage, as few bytes per cell are kept.

namespace morvale {
namespace {

// Everything a run allocates besides the data mask, before the first value
// is read, so that no later step runs out of memory.
struct RunTables {
    RunTables(const CellMask& mask, const CropWindow& window, const CellEdges& edges, bool negateEast,
              std::int64_t maxVertices)
        : corners(mask, window, edges, negateEast), meshFinder(mask, window),
          faceFinders{CornerFinder(mask, window), CornerFinder(mask, window)}, faceWalks{FaceWalk(faceFinders[0]),
                                                                                         FaceWalk(faceFinders[1])} {
        const std::int64_t rows = std::int64_t{window.yMax} - window.yMin + 1;
        const std::int64_t cols = std::int64_t{window.xMax} - window.xMin + 1;
        plan.verticesBefore.assign(static_cast<std::size_t>(rows + 1), 0);
        plan.dataBefore.assign(static_cast<std::size_t>(rows + 1), 0);
        meshFinder.prepare(meshRow);
        checkpoints.assign(
            static_cast<std::size_t>(std::min((rows + 1) * (cols + 1), maxVertices) / vertexCheckpointLines + 2), 0);
    }

    CornerScratch corners;
    MeshPlan plan;
    CornerFinder meshFinder;
    RowCorners meshRow;
    CornerFinder faceFinders[2];
    FaceWalk faceWalks[2];
    std::vector<std::int64_t> checkpoints;  // where every 1024th vertex line starts
};

// The most numbers the body can hold: each takes a digit and, but for the
// last, one more byte (a blank, or the sign or point that starts the next).
std::int64_t mostNumbers(const ConversionRequest& request, bool positioned) {
    if (!positioned) return 0;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(request.inputPath, error);
    if (error || size > static_cast<std::uintmax_t>(INT64_MAX / 2)) return INT64_MAX / 8;
    const std::int64_t body = std::max<std::int64_t>(0, static_cast<std::int64_t>(size) - request.header.dataStart);
    return (body + 1) / 2;
}

void planMesh(const CropWindow& w, RunTables& t, const std::atomic<bool>& cancelRequested, ProgressReporter& progress) {
    progress.beginStage("Calculating vertices and quads...", 5);
    const std::int64_t meshInterval = (std::int64_t{w.yMax} - w.yMin) / 20;
    std::int64_t meshRows = 0;
    MeshPlan& plan = t.plan;
    std::int64_t i = w.yMin;
    while (i <= w.yMax) {
        const std::size_t at = static_cast<std::size_t>(i - w.yMin);
        plan.verticesBefore[at] = plan.verticesCreated;
        plan.dataBefore[at] = plan.dataCells;
        t.meshFinder.find(i, t.meshRow);
        plan.dataCells += t.meshFinder.dataCount(t.meshRow);
        plan.verticesCreated += t.meshFinder.vertexCount(t.meshRow);
        ++i;
        if (++meshRows >= meshInterval) {
            progress.step();
            meshRows = 0;
        }
        if (cancelRequested.load(std::memory_order_relaxed)) break;
    }
    // Rows not reached (after a cancel) add nothing.
    for (; i <= std::int64_t{w.yMax} + 1; ++i) {
        const std::size_t at = static_cast<std::size_t>(i - w.yMin);
        plan.verticesBefore[at] = plan.verticesCreated;
        plan.dataBefore[at] = plan.dataCells;
    }
}

// What the vertex writer needs besides its sink.
struct VertexJob {
    CellMask& mask;
    bool fillMask;
    const CropWindow& window;
    const CellEdges& edges;
    const ConversionSettings& settings;
    double zShift;
    std::int64_t writeInterval;
    const std::atomic<bool>& cancelRequested;
    ProgressReporter& progress;
    RunTables& tables;
    std::vector<std::int64_t>* checkpoints;  // null: the writer is the writing stage itself
};

struct VertexBlock {
    std::int64_t lines = 0;
    std::int64_t checkpointBase = 0;  // the sink's byte count when the block started
};

template <class Sink, class Read>
std::int64_t runVertices(const VertexJob& job, Sink& sink, bool threaded, CellBatchQueue& queue, Read& read) {
    CornerVertices<Sink> vertices(job.mask, job.fillMask, job.window, job.edges, job.settings, job.zShift,
                                  job.writeInterval, job.cancelRequested, job.progress, job.tables.corners, sink,
                                  job.checkpoints);
    readIntoConsumer(threaded, queue, vertices, read);
    vertices.finish();
    return vertices.verticesWritten();
}

// Formats the vertex block from the cells read(batcher) hands over: read on
// this thread, formatting on a helper, writing on the pipeline writer; or,
// without the pipeline's memory, straight into the output on this thread.
template <class Read>
VertexBlock writeVertexBlock(PipelineMode mode, ObjOutput& output, const VertexJob& job, Read&& read) {
    const bool threaded = mode == PipelineMode::threaded;
    PipelineWriter writer(output, job.cancelRequested, job.progress);
    CellBatchQueue queue;
    VertexBlock block;
    if (mode != PipelineMode::direct && writer.start(1, 3, threaded) && (!threaded || queue.allocate(4))) {
        ChunkStream stream(writer, 0, 0);
        block.lines = runVertices(job, stream, threaded, queue, read);
        stream.flush();
        writer.finish(stream.nextSequence());
        return block;
    }
    DirectSink sink{output};
    block.checkpointBase = sink.bytes();
    block.lines = runVertices(job, sink, false, queue, read);
    return block;
}

// The vertex lines of the writing stage when they were written ahead: the
// cancel tests and steps of a line-by-line loop, a step segment at a time (a
// cancel raised by a step is seen before the next line). Returns the lines kept.
std::int64_t replayVertexSteps(std::int64_t lines, std::int64_t writeInterval, const std::atomic<bool>& cancelRequested,
                               ProgressReporter& progress) {
    std::int64_t done = 0, ticks = 0;
    while (done < lines) {
        if (cancelRequested.load(std::memory_order_relaxed)) break;
        const std::int64_t segment = writeInterval > 0 ? std::min(writeInterval - ticks, lines - done) : 1;
        done += segment;
        ticks += segment;
        if (ticks >= writeInterval) {
            progress.step();
            ticks = 0;
        }
    }
    return done;
}

// Where line `line` (0-based) of a vertex block written from `blockStart`
// starts: from the checkpoint before it, counting line ends in the file.
bool findLineStart(const std::filesystem::path& path, std::int64_t blockStart, std::int64_t checkpoint,
                   std::int64_t linesAfter, std::int64_t& offset) {
    FileHandle file = openForReading(path);
    offset = blockStart + checkpoint;
    if (!file || !seekTo(file.get(), offset)) return false;
    char buffer[65536];
    while (linesAfter > 0) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (got == 0) return false;
        for (std::size_t k = 0; k < got && linesAfter > 0; ++k) {
            if (buffer[k] == '\n') {
                --linesAfter;
                if (linesAfter == 0) offset += static_cast<std::int64_t>(k) + 1;
            }
        }
        if (linesAfter > 0) offset += static_cast<std::int64_t>(got);
    }
    return true;
}

// The header line of the time has the same length whenever the year has
// four digits, which lets the header be written twice.
bool headerLengthIsSteady() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local.tm_year + 1900 >= 1000 && local.tm_year + 1900 <= 9998;
}

void writeFaces(PipelineMode mode, ObjOutput& output, const CropWindow& w, RunTables& t, std::int64_t ticksBefore,
                std::int64_t writeInterval, const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                std::int64_t& facesWritten) {
    const MeshPlan& plan = t.plan;
    const std::int64_t faces = plan.dataCells;
    const std::size_t lineRoom = faceLineRoomUpTo(plan.verticesCreated);
    if (mode != PipelineMode::direct) {
        PipelineWriter writer(output, cancelRequested, progress);
        std::vector<FacePiece> pieces;
        bool pipelined = false;
        try {
            pieces = planFacePieces(faces, ticksBefore, writeInterval,
                                    static_cast<std::int64_t>(PipelineWriter::chunkBytes / lineRoom));
            pipelined = writer.start(2, 2, mode == PipelineMode::threaded);
        } catch (const std::bad_alloc&) {
            pipelined = false;
        }
        if (pipelined) {
            // Each producer walks with its own scratch rows.
            FaceCursor cursors[2] = {FaceCursor(w, plan, t.faceWalks[0]), FaceCursor(w, plan, t.faceWalks[1])};
            writeFacePieces(writer, pieces, cancelRequested, mode == PipelineMode::threaded,
                            [&](int producer, const FacePiece& piece, char* out) {
                                FaceCursor& cursor = cursors[producer];
                                cursor.seek(piece.first);
                                return cursor.put(out, piece.count);
                            });
            facesWritten = writer.linesWritten();
            return;
        }
    }
    // Without the pipeline: one face at a time, straight into the output.
    if (faces == 0) return;
    FaceCursor cursor(w, plan, t.faceWalks[0]);
    cursor.seek(0);
    std::int64_t writeTicks = ticksBefore;
    for (std::int64_t f = 0; f < faces; ++f) {
        if (cancelRequested.load(std::memory_order_relaxed)) break;
        output.commit(cursor.put(output.reserve(lineRoom), 1));
        ++facesWritten;
        if (++writeTicks >= writeInterval) {
            progress.step();
            writeTicks = 0;
        }
    }
}

}  // namespace

ConversionResult buildInterpolatedMeshIn(PipelineMode mode, const ConversionRequest& request,
                                         std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                         ConversionStats& stats) {
    progress.showPreparing();
    const auto start = std::chrono::steady_clock::now();
    stats = ConversionStats{};

    const GridHeader& header = request.header;
    const ConversionSettings& settings = request.settings;
    CropWindow window{settings.cropXMin, settings.cropYMin, settings.cropXMax, settings.cropYMax};
    FileHandle input;
    bool positioned = false;
    ObjOutput output;
    if (const ConversionResult opened = openConversionFiles(request, input, positioned, output);
        opened != conversionFinished)
        return opened;

    // Memory is sized by the window: one bit per cell for the data mask, and
    // a few window-wide rows.
    const double unitScale = settings.unitScale;
    const CellEdges edges = makeCellEdges(header, settings.useXllYllOffsets, unitScale);
    // Rows past those the body can fill take no memory (a header may promise far more).
    const std::int64_t numbers = mostNumbers(request, positioned);
    const std::int64_t ncols = std::max<std::int64_t>(1, header.ncols);
    // Likewise columns: a number in column c is at least the c-th of the body,
    // so no column past `numbers` holds data. Narrowing the window to the first
    // such column keeps every vertex and face, and every count, as they are.
    if (window.xMax > numbers + 1)
        window.xMax = static_cast<std::int32_t>(std::max<std::int64_t>(window.xMin, numbers + 1));
    std::unique_ptr<CellMask> mask;
    try {
        mask = std::make_unique<CellMask>(window, (numbers + ncols - 1) / ncols);
    } catch (const std::exception&) {
        output.close();
        return conversionVertexTableFailed;
    }
    std::unique_ptr<RunTables> tables;
    try {
        tables = std::make_unique<RunTables>(*mask, window, edges, vertexLayoutFor(settings.presetIndex).negateEast,
                                             4 * numbers);
    } catch (const std::exception&) {
        output.close();
        return conversionQuadTableFailed;
    }
    RunTables& t = *tables;

    // Reading stage.
    progress.beginStage("Getting elevation data from input file...", 5);
    double zMin = DBL_MAX, zMax = -DBL_MAX;
    const std::int32_t lastRow = settings.cropYMax < header.nrows ? settings.cropYMax + 1 : header.nrows;
    GridBodyCounts counts;
    const bool ahead = positioned && !settings.centerZ && headerLengthIsSteady() && output.seek(0);
    std::int64_t headerEnd = 0, blockEnd = 0;
    VertexBlock block;
    if (ahead) {
        writeObjHeader(output, request.objHeaderText, request.inputNameNarrow);  // provisional
        headerEnd = output.position();
        // The vertex writer fills the data mask itself; the elevation range matters only for centring.
        const VertexJob job{.mask = *mask,
                            .fillMask = true,
                            .window = window,
                            .edges = edges,
                            .settings = settings,
                            .zShift = 0.0,
                            .writeInterval = 0,
                            .cancelRequested = cancelRequested,
                            .progress = progress,
                            .tables = t,
                            .checkpoints = &t.checkpoints};
        block = writeVertexBlock(mode, output, job, [&](CellBatcher& batcher) {
            counts = readGridBody(
                input.get(), header, window, lastRow, cancelRequested, progress,
                [&](std::int32_t row, std::int32_t col, double value, bool) { batcher.add(row, col, value); });
        });
        blockEnd = output.position();
    } else if (positioned) {
        counts = readGridBody(input.get(), header, window, lastRow, cancelRequested, progress,
                              [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                  mask->set(row, col);
                                  if (inWindow) {
                                      if (value < zMin) zMin = value;
                                      if (value > zMax) zMax = value;
                                  }
                              });
    }

    // Meshing stage.
    planMesh(window, t, cancelRequested, progress);
    const MeshPlan& plan = t.plan;

    // Writing stage.
    progress.beginStage("Creating output *.OBJ file...", 10);
    const std::int64_t writeInterval = (plan.verticesCreated + plan.dataCells) / 10;
    bool placed = true;
    if (ahead) placed = output.seek(0);
    writeObjHeader(output, request.objHeaderText, request.inputNameNarrow);
    if (ahead) placed = placed && output.position() == headerEnd;
    const double zShift = settings.centerZ ? unitScale * (zMin + zMax) * 0.5 : 0.0;

    std::int64_t verticesWritten = 0;
    const bool writeVertices =
        positioned && plan.verticesCreated > 0 && !cancelRequested.load() && seekTo(input.get(), header.dataStart);
    if (ahead) {
        if (writeVertices)
            verticesWritten = replayVertexSteps(std::min(block.lines, plan.verticesCreated), writeInterval,
                                                cancelRequested, progress);
        // Keep the lines the loop would have written, and cut the rest off.
        std::int64_t end = blockEnd;
        if (verticesWritten < block.lines) {
            const std::int64_t mark = verticesWritten / vertexCheckpointLines;
            placed = placed && findLineStart(request.outputPath, headerEnd,
                                             t.checkpoints[static_cast<std::size_t>(mark)] - block.checkpointBase,
                                             verticesWritten - mark * vertexCheckpointLines, end);
        }
        placed = placed && output.seek(end);
        if (end < blockEnd) {
            std::error_code error;
            std::filesystem::resize_file(request.outputPath, static_cast<std::uintmax_t>(end), error);
            placed = placed && !error;
        }
    } else if (writeVertices) {
        const VertexJob job{.mask = *mask,
                            .fillMask = false,
                            .window = window,
                            .edges = edges,
                            .settings = settings,
                            .zShift = zShift,
                            .writeInterval = writeInterval,
                            .cancelRequested = cancelRequested,
                            .progress = progress,
                            .tables = t,
                            .checkpoints = nullptr};
        SilentProgress rereading;  // the writing stage steps by lines written, not rows read
        block = writeVertexBlock(mode, output, job, [&](CellBatcher& batcher) {
            readGridBody(input.get(), header, window, lastRow, cancelRequested, rereading,
                         [&](std::int32_t row, std::int32_t col, double value, bool) { batcher.add(row, col, value); });
        });
        verticesWritten = block.lines;
    }
    input.reset();

    writeVertexCount(output, verticesWritten);
    writeObjectAndGroup(output, request.objectNameNarrow);

    std::int64_t facesWritten = 0;
    if (plan.verticesCreated > 0)
        writeFaces(mode, output, window, t, ticksAfter(verticesWritten, writeInterval), writeInterval, cancelRequested,
                   progress, facesWritten);
    writeQuadCount(output, facesWritten);
    const bool written = output.close() && placed;
    tables.reset();
    mask.reset();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return finishRun(stats, cancelRequested, seconds, settings, verticesWritten, facesWritten, counts, written);
}

ConversionResult buildInterpolatedMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                       ProgressReporter& progress, ConversionStats& stats) {
    return buildInterpolatedMeshIn(PipelineMode::threaded, request, cancelRequested, progress, stats);
}

}  // namespace morvale
