#pragma once
// The writing end of a pipeline: producers fill large chunks of bytes, one
// writer thread writes the chunks to the output file strictly in their
// sequence order, so producing and the disk overlap and the bytes come out
// as if one thread had written them.
//
// A chunk can carry a share of a stage's progress: the writer tests the
// cancel flag before writing a cancellable chunk (and drops it and every
// later cancellable one once the flag is seen), and calls step() after a
// chunk that ends at a step point. Producers cut chunks at the step points,
// so a cancel set by a step is seen before the next line, as in a
// line-by-line loop.
//
// Without a thread (the system refused one) the writer writes each chunk in
// submit(), which then must come in sequence order.

#include <atomic>
#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/output_file.h"
#include "base/progress_reporter.h"

namespace morvale {

struct OutputChunk {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
    std::int64_t sequence = 0;
    std::int64_t lines = 0;    // lines it holds, counted once written
    bool cancellable = false;  // test the cancel flag before writing it
    bool stepAfter = false;    // call step() once it is written
    int producer = 0;

    char* begin() { return bytes.get(); }
    char* end() { return bytes.get() + used; }
    std::size_t room() const { return capacity - used; }
};

class OrderedWriter {
public:
    // Larger than the output file's own buffer, so that a full chunk goes to
    // the file in one write without another copy.
    static constexpr std::size_t chunkBytes = std::size_t{4} << 20;

    OrderedWriter(OutputFile& output, const std::atomic<bool>& cancelRequested, ProgressReporter& progress);
    ~OrderedWriter();
    OrderedWriter(const OrderedWriter&) = delete;
    OrderedWriter& operator=(const OrderedWriter&) = delete;

    // Gives each of `producers` producers `buffersEach` chunks of `bytesEach`
    // and starts the writer thread (or not, with `threaded` false). False when
    // the memory for the chunks is missing; the caller then writes directly.
    bool start(int producers, int buffersEach, bool threaded, std::size_t bytesEach = chunkBytes);
    std::size_t chunkCapacity() const { return bytesEach_; }

    // A free chunk of that producer (waits until the writer returns one),
    // emptied and with the next sequence number unset.
    OutputChunk* acquire(int producer);
    // Hands a filled chunk over; its sequence number says where it goes.
    void submit(OutputChunk* chunk);
    // Waits until every chunk up to `sequenceEnd` (exclusive) was written or
    // dropped, then stops the thread. The output belongs to the caller again.
    void finish(std::int64_t sequenceEnd);

    // Lines of the chunks written since start().
    std::int64_t linesWritten() const { return linesWritten_; }
    // True once a cancellable chunk was dropped for the cancel flag.
    bool stopped() const { return stopped_.load(std::memory_order_relaxed); }
    bool threaded() const { return thread_.joinable(); }

private:
    void run();
    void writeOne(OutputChunk* chunk);
    OutputChunk* takeNext();  // with the lock held

    OutputFile& output_;
    const std::atomic<bool>& cancelRequested_;
    ProgressReporter& progress_;

    std::size_t bytesEach_ = chunkBytes;
    std::vector<std::unique_ptr<OutputChunk>> chunks_;
    std::vector<std::vector<OutputChunk*>> free_;  // per producer
    std::vector<OutputChunk*> pending_;            // submitted, not yet written
    std::int64_t next_ = 0;                        // sequence the writer waits for
    std::int64_t end_ = -1;                        // set by finish()
    std::int64_t linesWritten_ = 0;
    std::atomic<bool> stopped_{false};

    std::mutex mutex_;
    std::condition_variable chunkReady_;
    std::condition_variable chunkFreed_;
    std::thread thread_;
};

// A producer's sequential output: bytes go into the current chunk, which is
// submitted when full. One producer, consecutive sequence numbers from `first`.
// Chunks are cancellable while the stream is set so; stepAfterThis() ends the
// current chunk at a step point.
class ChunkStream {
public:
    ChunkStream(OrderedWriter& writer, int producer, std::int64_t firstSequence)
        : writer_(writer), producer_(producer), sequence_(firstSequence) {}
    ~ChunkStream() { flush(); }
    ChunkStream(const ChunkStream&) = delete;
    ChunkStream& operator=(const ChunkStream&) = delete;

    // Room for `bytes` more characters (bytes must be far below a chunk's capacity).
    char* reserve(std::size_t bytes) {
        assert(bytes <= writer_.chunkCapacity());
        if (chunk_ == nullptr || chunk_->room() < bytes) next();
        return chunk_->end();
    }
    void commit(char* end, std::int64_t lines) {
        assert(chunk_ != nullptr && end >= chunk_->end() && end <= chunk_->begin() + chunk_->capacity);
        chunk_->used = static_cast<std::size_t>(end - chunk_->begin());
        chunk_->lines += lines;
    }
    // What follows is cancellable (or not): it starts a new chunk when that changes.
    void setCancellable(bool cancellable) {
        if (cancellable == cancellable_) return;
        flush();
        cancellable_ = cancellable;
    }
    // The writer steps the progress once what was committed so far is written.
    void stepAfterThis() {
        if (chunk_ == nullptr) next();
        chunk_->stepAfter = true;
        flush();
    }
    // Submits what is held; the next line starts a new chunk.
    void flush() {
        if (chunk_ != nullptr) {
            submitted_ += static_cast<std::int64_t>(chunk_->used);
            writer_.submit(chunk_);
        }
        chunk_ = nullptr;
    }
    std::int64_t nextSequence() const { return sequence_; }
    // Submits what is held; what follows goes at `sequence` (no earlier than nextSequence()).
    void continueAt(std::int64_t sequence) {
        assert(sequence >= sequence_);
        flush();
        sequence_ = sequence;
    }
    // Bytes committed so far.
    std::int64_t bytes() const {
        return submitted_ + (chunk_ != nullptr ? static_cast<std::int64_t>(chunk_->used) : 0);
    }

private:
    void next() {
        flush();
        chunk_ = writer_.acquire(producer_);
        chunk_->sequence = sequence_++;
        chunk_->cancellable = cancellable_;
    }

    OrderedWriter& writer_;
    int producer_;
    std::int64_t sequence_;
    std::int64_t submitted_ = 0;
    OutputChunk* chunk_ = nullptr;
    bool cancellable_ = false;
};

}  // namespace morvale
