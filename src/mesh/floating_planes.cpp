#include "mesh/floating_planes.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <new>

#include "mesh/cell_edges.h"
#include "mesh/axis_order.h"
#include "convert/conversion_files.h"
#include "obj/face_text.h"
#include "mesh/pipeline_builders.h"
#include "pipeline/batch_handoff.h"
#include "obj/face_pieces.h"
#include "pipeline/ordered_writer.h"
#include "obj/vertex_text.h"
#include "grid/grid_body.h"

namespace morvale {
namespace {

// Texts of the west (or east) edges of the window's columns, as the preset writes them.
struct ColumnEdgeValue {
    const CellEdges* edges;
    std::int64_t firstColumn;
    bool east;
    bool negate;
    double operator()(std::int64_t i) const {
        const std::int64_t col = firstColumn + i;
        return orient(east ? xEast(*edges, col) : xWest(*edges, col), negate);
    }
};

// The four vertex lines of each kept cell: the column and row texts are
// formatted once, the elevation once per cell.
class PlaneVertices final : public CellConsumer {
public:
    PlaneVertices(const CellEdges& edges, const CropWindow& window, std::int32_t presetIndex, double unitScale,
                  ChunkStream& stream)
        : edges_(edges), layout_(vertexLayoutFor(presetIndex)), unitScale_(unitScale), firstColumn_(window.xMin),
          west_(std::int64_t{window.xMax} - window.xMin + 1,
                ColumnEdgeValue{&edges, window.xMin, false, layout_.negateEast}),
          east_(std::int64_t{window.xMax} - window.xMin + 1,
                ColumnEdgeValue{&edges, window.xMin, true, layout_.negateEast}),
          stream_(stream) {}

    void takeCells(const CellValue* cells, std::size_t count) override {
        // The common layouts with every column text at hand in a tight loop.
        const std::uint16_t *westLengths = nullptr, *eastLengths = nullptr;
        const char* westTexts = west_.whole(westLengths);
        const char* eastTexts = east_.whole(eastLengths);
        if (westTexts != nullptr && eastTexts != nullptr && layout_.eastSlot == 0) {
            if (layout_.elevationSlot == 2)
                takeCellsFast<true>(cells, count, westTexts, westLengths, eastTexts, eastLengths);
            else
                takeCellsFast<false>(cells, count, westTexts, westLengths, eastTexts, eastLengths);
            return;
        }
        for (std::size_t n = 0; n < count; ++n) {
            const CellValue& cell = cells[n];
            if (cell.row != row_) startRow(cell.row);
            const std::int64_t k = std::int64_t{cell.col} - firstColumn_;
            const TextRef west = west_(k), east = east_(k);
            const double elevation = orient(cell.value * unitScale_, layout_.negateElevation);
            char* out = stream_.reserve(4 * vertexLineRoom);
            ShortText z;
            if (fixed4Short(elevation, z)) {
                out = putCorners(out, west, east, z);
            } else {
                elevation_.set(elevation);
                out = putCorners(out, west, east, elevation_.ref());
            }
            stream_.commit(out, 4);
        }
    }

private:
    // takeCells without the layout's branches: east first, then the north
    // text and the elevation in either order.
    template <bool elevationLast>
    void takeCellsFast(const CellValue* cells, std::size_t count, const char* westTexts,
                       const std::uint16_t* westLengths, const char* eastTexts, const std::uint16_t* eastLengths) {
        for (std::size_t n = 0; n < count; ++n) {
            const CellValue& cell = cells[n];
            if (cell.row != row_) startRow(cell.row);
            const std::size_t k = static_cast<std::size_t>(std::int64_t{cell.col} - firstColumn_);
            const TextRef west{westTexts + k * textCopyBytes, westLengths[k]};
            const TextRef east{eastTexts + k * textCopyBytes, eastLengths[k]};
            const double elevation = orient(cell.value * unitScale_, layout_.negateElevation);
            char* out = stream_.reserve(4 * vertexLineRoom);
            ShortText z;
            if (fixed4Short(elevation, z) && north_.length <= textCopyBytes && south_.length <= textCopyBytes) {
                const TextRef north = north_.ref(), south = south_.ref();
                out = putLine<elevationLast>(out, west, north, z);
                out = putLine<elevationLast>(out, east, north, z);
                out = putLine<elevationLast>(out, east, south, z);
                out = putLine<elevationLast>(out, west, south, z);
            } else {
                elevation_.set(elevation);
                out = putCorners(out, west, east, elevation_.ref());
            }
            stream_.commit(out, 4);
        }
    }

    // "v", the east text, then the north text and the elevation; texts of at most 32 bytes.
    template <bool elevationLast>
    static char* putLine(char* out, TextRef east, TextRef north, const ShortText& z) {
        out[0] = 'v';
        out[1] = ' ';
        std::memcpy(out + 2, east.text, textCopyBytes);
        out += 2 + east.length;
        *out++ = ' ';
        if constexpr (elevationLast) {
            std::memcpy(out, north.text, textCopyBytes);
            out += north.length;
            *out++ = ' ';
            out = z.put(out);
        } else {
            out = z.put(out);
            *out++ = ' ';
            std::memcpy(out, north.text, textCopyBytes);
            out += north.length;
        }
        out[0] = '\r';
        out[1] = '\n';
        return out + 2;
    }

    // Corners north-west, north-east, south-east, south-west.
    template <class Elevation>
    char* putCorners(char* out, TextRef west, TextRef east, const Elevation& z) const {
        const TextRef north = north_.ref(), south = south_.ref();
        out = putVertex(out, layout_, west, north, z);
        out = putVertex(out, layout_, east, north, z);
        out = putVertex(out, layout_, east, south, z);
        return putVertex(out, layout_, west, south, z);
    }

    void startRow(std::int32_t row) {
        row_ = row;
        north_.set(orient(yNorth(edges_, row), layout_.negateNorth));
        south_.set(orient(ySouth(edges_, row), layout_.negateNorth));
    }

    const CellEdges& edges_;
    VertexLayout layout_;
    double unitScale_;
    std::int64_t firstColumn_;
    BlockTexts<ColumnEdgeValue> west_;
    BlockTexts<ColumnEdgeValue> east_;
    ChunkStream& stream_;
    std::int32_t row_ = 0;
    NumberText north_;
    NumberText south_;
    NumberText elevation_;
};

// The reading stage the plain way: each cell formatted and written as it is read.
GridBodyCounts readPlanesDirect(std::FILE* input, const ConversionRequest& request, const CellEdges& edges,
                                ObjOutput& output, const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                std::int64_t& quadCount) {
    const ConversionSettings& settings = request.settings;
    const CropWindow window{settings.cropXMin, settings.cropYMin, settings.cropXMax, settings.cropYMax};
    const std::int32_t preset = settings.presetIndex;
    const double unitScale = settings.unitScale;
    return readGridBody(input, request.header, window, settings.cropYMax, cancelRequested, progress,
                        [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                            if (!inWindow) return;
                            ++quadCount;
                            const double west = xWest(edges, col), east = xEast(edges, col);
                            const double north = yNorth(edges, row), south = ySouth(edges, row);
                            const double elevation = value * unitScale;
                            const VertexCoordinates corners[4] = {
                                applyAxisOrder(preset, west, north, elevation),
                                applyAxisOrder(preset, east, north, elevation),
                                applyAxisOrder(preset, east, south, elevation),
                                applyAxisOrder(preset, west, south, elevation),
                            };
                            char* out = output.reserve(4 * vertexLineMaxChars);
                            for (const VertexCoordinates& c : corners)
                                out = formatVertexLine(out, c.first, c.second, c.third);
                            output.commit(out);
                        });
}

// The reading stage as a pipeline: this thread parses, a helper formats, the
// writer writes. The reader alone steps the bar and tests the cancel flag, as
// in the plain loop; every cell it hands over is written. False (nothing
// read) when the pipeline's memory is missing.
bool readPlanesPipelined(bool threaded, std::FILE* input, const ConversionRequest& request, const CellEdges& edges,
                         ObjOutput& output, const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                         std::int64_t& quadCount, GridBodyCounts& counts) {
    const ConversionSettings& settings = request.settings;
    const CropWindow window{settings.cropXMin, settings.cropYMin, settings.cropXMax, settings.cropYMax};
    PipelineWriter writer(output, cancelRequested, progress);
    CellBatchQueue queue;
    std::unique_ptr<ChunkStream> stream;
    std::unique_ptr<PlaneVertices> vertices;
    try {
        if (!writer.start(1, 3, threaded)) return false;
        if (threaded && !queue.allocate(4)) return false;
        stream = std::make_unique<ChunkStream>(writer, 0, 0);
        vertices = std::make_unique<PlaneVertices>(edges, window, settings.presetIndex, settings.unitScale, *stream);
    } catch (const std::bad_alloc&) {
        return false;
    }
    readIntoConsumer(threaded, queue, *vertices, [&](CellBatcher& batcher) {
        counts = readGridBody(input, request.header, window, settings.cropYMax, cancelRequested, progress,
                              [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
                                  if (!inWindow) return;
                                  ++quadCount;
                                  batcher.add(row, col, value);
                              });
    });
    stream->flush();
    writer.finish(stream->nextSequence());
    return true;
}

// The i-th kept cell owns the vertices 4i-3 .. 4i: faces need no stored cell data.
void writePlaneFaces(PipelineMode mode, ObjOutput& output, std::int64_t quadCount, std::int64_t writeInterval,
                     const std::atomic<bool>& cancelRequested, ProgressReporter& progress) {
    if (mode != PipelineMode::direct) {
        PipelineWriter writer(output, cancelRequested, progress);
        const std::size_t lineRoom = faceLineRoomUpTo(4 * quadCount);
        std::vector<FacePiece> pieces;
        bool ready = false;
        try {
            pieces = planFacePieces(quadCount, 0, writeInterval,
                                    static_cast<std::int64_t>(PipelineWriter::chunkBytes / lineRoom));
            ready = writer.start(2, 2, mode == PipelineMode::threaded);
        } catch (const std::bad_alloc&) {
        }
        if (ready) {
            writeFacePieces(writer, pieces, cancelRequested, mode == PipelineMode::threaded,
                            [](int, const FacePiece& piece, char* out) {
                                // Face i names 4i, 4i - 1, 4i - 2, 4i - 3.
                                NumberTextCounter first;
                                for (std::int64_t i = piece.first + 1, end = piece.first + piece.count; i <= end; ++i) {
                                    first.moveTo(4 * i - 3);
                                    out[0] = 'f';
                                    out[1] = ' ';
                                    out = first.put(out + 2, 3);
                                    *out++ = ' ';
                                    out = first.put(out, 2);
                                    *out++ = ' ';
                                    out = first.put(out, 1);
                                    *out++ = ' ';
                                    out = first.put(out);
                                    out[0] = '\r';
                                    out[1] = '\n';
                                    out += 2;
                                }
                                return out;
                            });
            return;
        }
    }
    std::int64_t writeTicks = 0;
    for (std::int64_t i = 1; i <= quadCount; ++i) {
        if (cancelRequested.load(std::memory_order_relaxed)) break;
        writeFaceLine(output, 4 * i, 4 * i - 1, 4 * i - 2, 4 * i - 3);
        if (++writeTicks >= writeInterval) {
            writeTicks = 0;
            progress.step();
        }
    }
}

}  // namespace

ConversionResult buildFloatingPlanesMeshIn(PipelineMode mode, const ConversionRequest& request,
                                           std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                           ConversionStats& stats) {
    progress.showPreparing();
    const auto start = std::chrono::steady_clock::now();
    stats = ConversionStats{};

    const GridHeader& header = request.header;
    const ConversionSettings& settings = request.settings;
    FileHandle input;
    bool positioned = false;
    ObjOutput output;
    if (const ConversionResult opened = openConversionFiles(request, input, positioned, output);
        opened != conversionFinished)
        return opened;

    progress.beginStage("Getting elevation data from input file and outputting the vertices...", 5);
    writeObjHeader(output, request.objHeaderText, request.inputNameNarrow);
    const CellEdges edges = makeCellEdges(header, settings.useXllYllOffsets, settings.unitScale);

    std::int64_t quadCount = 0;
    GridBodyCounts counts;
    if (positioned) {
        const bool pipelined = mode != PipelineMode::direct &&
                               readPlanesPipelined(mode == PipelineMode::threaded, input.get(), request, edges, output,
                                                   cancelRequested, progress, quadCount, counts);
        if (!pipelined)
            counts = readPlanesDirect(input.get(), request, edges, output, cancelRequested, progress, quadCount);
    }
    input.reset();

    progress.beginStage("Creating output *.OBJ file...", 10);
    const std::int64_t vertexCount = 4 * quadCount;
    const std::int64_t writeInterval = quadCount / 10;
    writeVertexCount(output, vertexCount);
    writeObjectAndGroup(output, request.objectNameNarrow);
    writePlaneFaces(mode, output, quadCount, writeInterval, cancelRequested, progress);
    writeQuadCount(output, quadCount);
    const bool written = output.close();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return finishRun(stats, cancelRequested, seconds, settings, vertexCount, quadCount, counts, written);
}

ConversionResult buildFloatingPlanesMesh(const ConversionRequest& request, std::atomic<bool>& cancelRequested,
                                         ProgressReporter& progress, ConversionStats& stats) {
    return buildFloatingPlanesMeshIn(PipelineMode::threaded, request, cancelRequested, progress, stats);
}

}  // namespace morvale
