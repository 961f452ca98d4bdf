#pragma once
// The Interpolated vertex block from a stream of cell values: each window
// row's corners are written once the grid rows on both sides of them are
// complete (the row itself, and for the last row the one below), with the
// mean of the cells around each corner that hold data.

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mesh/cell_edges.h"
#include "convert/conversion_settings.h"
#include "obj/obj_writer.h"
#include "pipeline/batch_handoff.h"
#include "mesh/corner_finder.h"
#include "base/progress_reporter.h"
#include "obj/vertex_text.h"

namespace morvale {

// The last three grid rows, by row number modulo 3: a corner needs the rows
// on both sides of it.
class RowValues {
public:
    // Throws std::bad_alloc when out of memory.
    explicit RowValues(const CropWindow& w)
        : colBase_(std::int64_t{w.xMin} - 1), width_(std::int64_t{w.xMax} - w.xMin + 3),
          values_(static_cast<std::size_t>(3 * width_), 0.0) {}
    void set(std::int64_t row, std::int64_t col, double value) {
        values_[static_cast<std::size_t>((row % 3) * width_ + (col - colBase_))] = value;
    }
    double get(std::int64_t row, std::int64_t col) const {
        return values_[static_cast<std::size_t>((row % 3) * width_ + (col - colBase_))];
    }
    // A row's values by k = col - (xMin - 1).
    const double* row(std::int64_t row) const { return values_.data() + (row % 3) * width_; }

private:
    std::int64_t colBase_;
    std::int64_t width_;
    std::vector<double> values_;
};

// The east values of the corner columns xMin .. xMax + 1, as the preset writes them.
struct CornerEastValue {
    const CellEdges* edges;
    CropWindow window;
    bool negate;
    double operator()(std::int64_t i) const {
        const std::int64_t c = window.xMin + i;
        return orient(c <= window.xMax ? xWest(*edges, c) : xEast(*edges, window.xMax), negate);
    }
};

// What the vertex writer works with, allocated before the run starts.
struct CornerScratch {
    CornerScratch(const CellMask& mask, const CropWindow& window, const CellEdges& edges, bool negateEast)
        : values(window), finder(mask, window),
          eastTexts(std::int64_t{window.xMax} - window.xMin + 2, CornerEastValue{&edges, window, negateEast}),
          above(mask.rowWords()), here(mask.rowWords()), below(mask.rowWords()) {
        finder.prepare(row);
    }
    RowValues values;
    CornerFinder finder;
    RowCorners row;
    BlockTexts<CornerEastValue> eastTexts;
    std::vector<std::uint64_t> above, here, below;
};

// Writes straight into the OBJ output (no pipeline buffers).
struct DirectSink {
    ObjOutput& output;
    char* reserve(std::size_t bytes) { return output.reserve(bytes); }
    void commit(char* end, std::int64_t) { output.commit(end); }
    std::int64_t bytes() const { return output.position(); }
};

// Every this many vertex lines the writer notes where the next line starts.
inline constexpr std::int64_t vertexCheckpointLines = 1024;

// With `checkpoints` null the writer is the writing stage itself: it tests
// the cancel flag before every line and steps the bar every writeInterval
// lines. Otherwise it writes ahead of the writing stage (which then only
// replays the steps) and notes in `checkpoints` the sink's byte count at
// every vertexCheckpointLines-th line, so that the block can be cut later.
// With `fillMask` it also sets the data mask from the cells it takes (each
// row is complete before its corners need it); otherwise the mask is whole.
template <class Sink>
class CornerVertices final : public CellConsumer {
public:
    CornerVertices(CellMask& mask, bool fillMask, const CropWindow& window, const CellEdges& edges,
                   const ConversionSettings& settings, double zShift, std::int64_t writeInterval,
                   const std::atomic<bool>& cancelRequested, ProgressReporter& progress, CornerScratch& scratch,
                   Sink& sink, std::vector<std::int64_t>* checkpoints)
        : mask_(mask), fillMask_(fillMask), window_(window), edges_(edges),
          layout_(vertexLayoutFor(settings.presetIndex)), unitScale_(settings.unitScale), zShift_(zShift),
          writeInterval_(writeInterval), cancelRequested_(cancelRequested), progress_(progress), s_(scratch),
          sink_(sink), checkpoints_(checkpoints), nextRow_(window.yMin) {}

    void takeCells(const CellValue* cells, std::size_t count) override {
        for (std::size_t n = 0; n < count; ++n) {
            const CellValue& cell = cells[n];
            if (cell.row != currentRow_) {
                writeReadyRows(std::int64_t{cell.row} - 1);
                currentRow_ = cell.row;
            }
            if (fillMask_) mask_.set(cell.row, cell.col);
            s_.values.set(cell.row, cell.col, cell.value);
        }
    }
    // The reading is over: the rows still waiting are written with what was read.
    void finish() { writeReadyRows(INT64_MAX); }

    std::int64_t verticesWritten() const { return verticesWritten_; }

private:
    void writeReadyRows(std::int64_t completedThrough) {
        const std::int64_t yMax = window_.yMax;
        while (nextRow_ <= yMax && (nextRow_ < yMax ? nextRow_ : yMax + 1) <= completedThrough) {
            if (!stopped_) writeRow(nextRow_);
            ++nextRow_;
        }
    }

    void writeRow(std::int64_t i) {
        RowCorners& corners = s_.row;
        s_.finder.find(i, corners);
        mask_.rowBits(i - 1, s_.above.data());
        mask_.rowBits(i, s_.here.data());
        north_.set(orient(yNorth(edges_, i), layout_.negateNorth));
        if (corners.last) {
            mask_.rowBits(i + 1, s_.below.data());
            south_.set(orient(ySouth(edges_, window_.yMax), layout_.negateNorth));
            s_.finder.walk(corners, [&](int edge, std::int64_t k) {
                if (edge == 0)
                    putCorner(k, s_.above.data(), s_.here.data(), s_.values.row(i - 1), s_.values.row(i), north_.ref());
                else
                    putCorner(k, s_.here.data(), s_.below.data(), s_.values.row(i), s_.values.row(i + 1), south_.ref());
            });
            return;
        }
        // The north edge alone, a word of corners at a time; the common
        // layouts with every east text at hand in a tight loop.
        const std::uint16_t* eastLengths = nullptr;
        const char* eastTexts = s_.eastTexts.whole(eastLengths);
        if (eastTexts != nullptr && north_.length <= textCopyBytes && layout_.eastSlot == 0) {
            const bool elevationLast = layout_.elevationSlot == 2;
            if (checkpoints_ != nullptr) {
                if (elevationLast)
                    writeNorthEdge<true, true>(i, eastTexts, eastLengths);
                else
                    writeNorthEdge<true, false>(i, eastTexts, eastLengths);
            } else {
                if (elevationLast)
                    writeNorthEdge<false, true>(i, eastTexts, eastLengths);
                else
                    writeNorthEdge<false, false>(i, eastTexts, eastLengths);
            }
            return;
        }
        const std::uint64_t* north = corners.north.data();
        for (std::size_t w = 0; w < s_.finder.words() && !stopped_; ++w) {
            for (std::uint64_t bits = north[w]; bits != 0; bits &= bits - 1) {
                const std::int64_t k = static_cast<std::int64_t>(w * 64) + std::countr_zero(bits);
                if (!putCorner(k, s_.above.data(), s_.here.data(), s_.values.row(i - 1), s_.values.row(i),
                               north_.ref()))
                    break;
            }
        }
    }

    // writeRow's loop over a row's north edge with the branches of the
    // layout and of the mode taken out: east first, then the north text and
    // the elevation in either order.
    template <bool ahead, bool elevationLast>
    void writeNorthEdge(std::int64_t i, const char* eastTexts, const std::uint16_t* eastLengths) {
        const std::uint64_t* north = s_.row.north.data();
        const std::uint64_t* up = s_.above.data();
        const std::uint64_t* down = s_.here.data();
        const double* upValues = s_.values.row(i - 1);
        const double* downValues = s_.values.row(i);
        const char* northText = north_.text;
        const std::size_t northLength = north_.length;
        std::int64_t written = verticesWritten_, ticks = writeTicks_;
        for (std::size_t w = 0; w < s_.finder.words() && !stopped_; ++w) {
            std::uint64_t bits = north[w];
            if (bits == 0) continue;
            char* out = sink_.reserve(64 * vertexLineRoom);
            std::int64_t lines = 0;
            for (; bits != 0; bits &= bits - 1) {
                const std::int64_t k = static_cast<std::int64_t>(w * 64) + std::countr_zero(bits);
                if constexpr (ahead) {
                    if ((written & (vertexCheckpointLines - 1)) == 0) {
                        sink_.commit(out, lines);
                        lines = 0;
                        (*checkpoints_)[static_cast<std::size_t>(written / vertexCheckpointLines)] = sink_.bytes();
                    }
                } else if (cancelRequested_.load(std::memory_order_relaxed)) {
                    stopped_ = true;
                    break;
                }
                const double elevation =
                    orient(mean(k, up, down, upValues, downValues) * unitScale_ - zShift_, layout_.negateElevation);
                out[0] = 'v';
                out[1] = ' ';
                std::memcpy(out + 2, eastTexts + (k - 1) * textCopyBytes, textCopyBytes);
                out += 2 + eastLengths[k - 1];
                *out++ = ' ';
                if constexpr (elevationLast) {
                    std::memcpy(out, northText, textCopyBytes);
                    out += northLength;
                    *out++ = ' ';
                    out = putText(out, elevation);
                } else {
                    out = putText(out, elevation);
                    *out++ = ' ';
                    std::memcpy(out, northText, textCopyBytes);
                    out += northLength;
                }
                out[0] = '\r';
                out[1] = '\n';
                out += 2;
                ++written;
                ++lines;
                if constexpr (!ahead) {
                    if (++ticks >= writeInterval_) {
                        progress_.step();
                        ticks = 0;
                    }
                }
            }
            sink_.commit(out, lines);
        }
        verticesWritten_ = written;
        writeTicks_ = ticks;
    }

    // Mean of the cells north-west, north-east, south-west and south-east of
    // corner column k that hold data, in that order, between the rows up and down.
    static double mean(std::int64_t k, const std::uint64_t* up, const std::uint64_t* down, const double* upValues,
                       const double* downValues) {
        const unsigned above = twoCells(up, k), below = twoCells(down, k);
        double sum = 0.0;
        if (above & 1) sum += upValues[k - 1];
        if (above & 2) sum += upValues[k];
        if (below & 1) sum += downValues[k - 1];
        if (below & 2) sum += downValues[k];
        // Dividing by 1, 2 or 4 is exactly multiplying by its inverse.
        static constexpr unsigned char cellCount[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
        const unsigned cells = cellCount[above | below << 2];
        return cells == 3 ? sum / 3 : sum * (cells == 4 ? 0.25 : cells == 2 ? 0.5 : 1.0);
    }

    // The data bits of cells k - 1 and k of a row (bit 0 and bit 1).
    static unsigned twoCells(const std::uint64_t* bits, std::int64_t k) {
        const std::int64_t j = k - 1;
        const std::uint64_t word = bits[static_cast<std::size_t>(j >> 6)] >> (j & 63);
        if ((j & 63) != 63) return static_cast<unsigned>(word & 3);
        return static_cast<unsigned>((word & 1) | ((bits[static_cast<std::size_t>(j >> 6) + 1] & 1) << 1));
    }

    // The vertex of corner column k between the value rows up and down;
    // false once a cancel stops the writing.
    bool putCorner(std::int64_t k, const std::uint64_t* up, const std::uint64_t* down, const double* upValues,
                   const double* downValues, TextRef northText) {
        if (stopped_) return false;
        if (checkpoints_ == nullptr) {
            if (cancelRequested_.load(std::memory_order_relaxed)) {
                stopped_ = true;
                return false;
            }
        } else if ((verticesWritten_ & (vertexCheckpointLines - 1)) == 0) {
            (*checkpoints_)[static_cast<std::size_t>(verticesWritten_ / vertexCheckpointLines)] = sink_.bytes();
        }
        const double elevation =
            orient(mean(k, up, down, upValues, downValues) * unitScale_ - zShift_, layout_.negateElevation);
        char* out = sink_.reserve(vertexLineRoom);
        const TextRef east = s_.eastTexts(k - 1);
        ShortText z;
        if (fixed4Short(elevation, z))
            out = putVertex(out, layout_, east, northText, z);
        else
            out = putVertex(out, layout_, east, northText, elevation);
        sink_.commit(out, 1);
        ++verticesWritten_;
        if (checkpoints_ == nullptr && ++writeTicks_ >= writeInterval_) {
            progress_.step();
            writeTicks_ = 0;
        }
        return true;
    }

    CellMask& mask_;
    bool fillMask_;
    CropWindow window_;
    const CellEdges& edges_;
    VertexLayout layout_;
    double unitScale_;
    double zShift_;
    std::int64_t writeInterval_;
    const std::atomic<bool>& cancelRequested_;
    ProgressReporter& progress_;
    CornerScratch& s_;
    Sink& sink_;
    std::vector<std::int64_t>* checkpoints_;
    std::int64_t nextRow_;
    std::int64_t currentRow_ = -1;
    std::int64_t verticesWritten_ = 0;
    std::int64_t writeTicks_ = 0;
    bool stopped_ = false;
    NumberText north_;
    NumberText south_;
};

}  // namespace morvale
