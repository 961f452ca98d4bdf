#pragma once
// Collecting a builder's vertices and faces into the batches of the mesh
// stream. In a stage that steps the progress every `interval` lines, batches
// are cancellable and end at the step points, so that the sink sees a cancel
// raised by a step before the next line, as a line-by-line loop would.

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "mesh/mesh_sink.h"

namespace morvale {

// The step points of a loop that counts a tick per line and steps when the
// ticks reach `interval` (every line when it is 0), a batch at a time.
class StepBatches {
public:
    StepBatches(std::int64_t interval, std::int64_t ticks) : interval_(interval), ticks_(ticks) {
        assert(interval >= 0 && ticks >= 0 && (interval == 0 || ticks < interval));
    }
    // Lines the next batch may take, at most `most`: up to the next step point.
    std::int64_t room(std::int64_t most) const {
        const std::int64_t untilStep = interval_ > 0 ? interval_ - ticks_ : 1;
        return untilStep < most ? untilStep : most;
    }
    // `lines` (no more than room() allowed) went into a batch; true when a step follows it.
    bool pass(std::int64_t lines) {
        ticks_ += lines;
        if (interval_ > 0 && ticks_ < interval_) return false;
        ticks_ = 0;
        return true;
    }
    std::int64_t ticks() const { return ticks_; }

private:
    std::int64_t interval_;
    std::int64_t ticks_;
};

// The step counter after `lines` ticks from zero.
inline std::int64_t ticksAfter(std::int64_t lines, std::int64_t interval) {
    return interval > 0 ? lines % interval : 0;
}

// Rows of `width` numbers (3 per vertex, or the corners of a face) handed to
// the sink in batches; with steps, the batches are cancellable and cut at
// the step points, and once a batch was handed over with the cancel flag
// up, the rest is not even collected (the sink would drop it).
template <class Number, class Batch>
class MeshRows {
public:
    static constexpr std::int64_t batchRows = 4096;
    // Ranges cost no memory: larger batches let a sink cut larger turns.
    static constexpr std::int64_t rangeBatchRows = std::int64_t{1} << 16;

    // Throws std::bad_alloc when out of memory.
    // `steps` (null: no steps) is read only when a batch starts, so it may be set up later.
    MeshRows(MeshSink& sink, int width, StepBatches* steps, const std::atomic<bool>& cancelRequested)
        : sink_(sink), width_(width), steps_(steps), cancelRequested_(cancelRequested),
          numbers_(new Number[static_cast<std::size_t>(batchRows * width)]) {}

    // Room for the next row's numbers; null once stopped.
    Number* next() {
        assert(!ranges_);
        if (count_ >= limit_) startBatch();
        if (stopped_) return nullptr;
        return numbers_.get() + count_++ * width_;
    }
    // Room for `rows` rows at once (lowered to what the batch has left, at
    // least one); null once stopped. Then take(rows) says they are there.
    Number* reserve(std::int64_t& rows) {
        assert(!ranges_);
        return reserveRows(rows) ? numbers_.get() + count_ * width_ : nullptr;
    }
    // The same for rows without numbers (face ranges): false once stopped.
    bool reserveRows(std::int64_t& rows) {
        if (count_ >= limit_) startBatch();
        if (stopped_) return false;
        if (rows > limit_ - count_) rows = limit_ - count_;
        return true;
    }
    void take(std::int64_t rows) {
        assert(count_ + rows <= limit_);
        count_ += rows;
    }
    void flush() {
        if (count_ == 0) return;
        Batch batch;
        batch.count = static_cast<std::size_t>(count_);
        if constexpr (std::is_same_v<Batch, VertexBatch>) {
            batch.position = numbers_.get();
            batch.normal = normals_.get();
            batch.uv = uvs_.get();
            batch.outline = outline_.get();
        } else if (!ranges_) {
            batch.vertex = numbers_.get();
        } else {
            batch.firstFace = handed_;
        }
        handed_ += count_;
        if (steps_ != nullptr) {
            batch.cancellable = true;
            batch.stepAfter = steps_->pass(count_);
        }
        handOver(batch);
        count_ = 0;
        limit_ = 0;
        if (steps_ != nullptr) stopped_ = cancelRequested_.load(std::memory_order_relaxed);
    }
    bool stopped() const { return stopped_; }
    // Rows handed to the sink so far.
    std::int64_t handed() const { return handed_; }
    // Face rows only: from now on batches hand over face ranges
    // (MeshInfo::faceSource): rows are reserved (reserveRows) and taken with
    // no numbers, rangeBatchRows at most a batch.
    void handRanges() {
        static_assert(std::is_same_v<Batch, FaceBatch>);
        assert(count_ == 0 && handed_ == 0);
        ranges_ = true;
    }
    // Vertex rows only: from now on each row also carries a normal (3 numbers),
    // a texture coordinate (2) or both, found by normalOf / uvOf of its row.
    // Throws std::bad_alloc when out of memory.
    void carryAttributes(bool normals, bool uv) {
        static_assert(std::is_same_v<Batch, VertexBatch>);
        assert(count_ == 0);
        if (normals) normals_.reset(new double[static_cast<std::size_t>(batchRows * 3)]);
        if (uv) uvs_.reset(new double[static_cast<std::size_t>(batchRows * 2)]);
    }
    Number* normalOf(const Number* row) { return normals_.get() + (row - numbers_.get()); }
    Number* uvOf(const Number* row) { return uvs_.get() + (row - numbers_.get()) / 3 * 2; }
    // Vertex rows only: from now on each row also carries its outline mark
    // (VertexBatch::outline), set by markLast. Throws std::bad_alloc when
    // out of memory.
    void carryOutline() {
        static_assert(std::is_same_v<Batch, VertexBatch>);
        assert(count_ == 0);
        outline_.reset(new std::uint8_t[static_cast<std::size_t>(batchRows)]);
    }
    // The outline mark of the row next() gave last.
    void markLast(bool onOutline) { outline_[static_cast<std::size_t>(count_ - 1)] = onOutline ? 1 : 0; }
    // From the next batch on, cut at these step points (null: no steps).
    void setSteps(StepBatches* steps) {
        assert(count_ == 0);
        steps_ = steps;
        limit_ = 0;
    }

private:
    void startBatch() {
        flush();
        const std::int64_t rows = ranges_ ? rangeBatchRows : batchRows;
        limit_ = steps_ != nullptr ? steps_->room(rows) : rows;
    }
    void handOver(const VertexBatch& batch) { sink_.vertices(batch); }
    void handOver(const FaceBatch& batch) { sink_.faces(batch); }

    MeshSink& sink_;
    std::int64_t width_;
    StepBatches* steps_;
    const std::atomic<bool>& cancelRequested_;
    std::unique_ptr<Number[]> numbers_;
    std::unique_ptr<double[]> normals_;  // vertex rows carrying attributes
    std::unique_ptr<double[]> uvs_;
    std::unique_ptr<std::uint8_t[]> outline_;
    std::int64_t count_ = 0;
    std::int64_t limit_ = 0;
    std::int64_t handed_ = 0;  // rows handed over so far
    bool stopped_ = false;
    bool ranges_ = false;
};

using VertexRows = MeshRows<double, VertexBatch>;
using FaceRows = MeshRows<std::int64_t, FaceBatch>;

}  // namespace morvale
