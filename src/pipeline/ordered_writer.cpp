#include "pipeline/ordered_writer.h"

#include <cassert>
#include <new>
#include <string_view>
#include <system_error>

namespace morvale {

OrderedWriter::OrderedWriter(OutputFile& output, const std::atomic<bool>& cancelRequested, ProgressReporter& progress)
    : output_(output), cancelRequested_(cancelRequested), progress_(progress) {}

OrderedWriter::~OrderedWriter() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            end_ = next_;  // nothing more is coming
        }
        chunkReady_.notify_all();
        thread_.join();
    }
}

bool OrderedWriter::start(int producers, int buffersEach, bool threaded, std::size_t bytesEach) {
    bytesEach_ = bytesEach;
    free_.assign(static_cast<std::size_t>(producers), {});
    for (int p = 0; p < producers; ++p) {
        for (int b = 0; b < buffersEach; ++b) {
            auto chunk = std::make_unique<OutputChunk>();
            chunk->bytes.reset(new (std::nothrow) char[bytesEach]);
            if (!chunk->bytes) return false;
            chunk->capacity = bytesEach;
            chunk->producer = p;
            free_[static_cast<std::size_t>(p)].push_back(chunk.get());
            chunks_.push_back(std::move(chunk));
        }
    }
    if (threaded) {
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread: chunks are written as they are submitted.
        }
    }
    return true;
}

OutputChunk* OrderedWriter::acquire(int producer) {
    assert(producer >= 0 && static_cast<std::size_t>(producer) < free_.size());
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<OutputChunk*>& pool = free_[static_cast<std::size_t>(producer)];
    chunkFreed_.wait(lock, [&] { return !pool.empty(); });
    OutputChunk* chunk = pool.back();
    pool.pop_back();
    chunk->used = 0;
    chunk->lines = 0;
    chunk->cancellable = false;
    chunk->stepAfter = false;
    return chunk;
}

void OrderedWriter::submit(OutputChunk* chunk) {
    assert(chunk != nullptr && chunk->used <= chunk->capacity);
    if (!thread_.joinable()) {
        // Written on the spot, in sequence order as the producers hand them over.
        pending_.push_back(chunk);
        while (OutputChunk* ready = takeNext()) {
            writeOne(ready);
            free_[static_cast<std::size_t>(ready->producer)].push_back(ready);
            ++next_;
        }
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.push_back(chunk);
    }
    chunkReady_.notify_one();
}

void OrderedWriter::finish(std::int64_t sequenceEnd) {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            end_ = sequenceEnd;
        }
        chunkReady_.notify_all();
        thread_.join();
    }
    // Chunks left over after a cancel hold nothing to write.
    for (OutputChunk* chunk : pending_) free_[static_cast<std::size_t>(chunk->producer)].push_back(chunk);
    pending_.clear();
    end_ = -1;
}

OutputChunk* OrderedWriter::takeNext() {
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (pending_[i]->sequence == next_) {
            OutputChunk* chunk = pending_[i];
            pending_[i] = pending_.back();
            pending_.pop_back();
            return chunk;
        }
    }
    return nullptr;
}

void OrderedWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        OutputChunk* chunk = nullptr;
        chunkReady_.wait(lock, [&] { return (chunk = takeNext()) != nullptr || (end_ >= 0 && next_ >= end_); });
        if (chunk == nullptr) return;
        lock.unlock();
        writeOne(chunk);
        lock.lock();
        free_[static_cast<std::size_t>(chunk->producer)].push_back(chunk);
        ++next_;
        chunkFreed_.notify_all();
    }
}

void OrderedWriter::writeOne(OutputChunk* chunk) {
    if (chunk->cancellable && !stopped_.load(std::memory_order_relaxed) &&
        cancelRequested_.load(std::memory_order_relaxed))
        stopped_.store(true, std::memory_order_relaxed);
    if (chunk->cancellable && stopped_.load(std::memory_order_relaxed)) return;
    if (chunk->used > 0) output_.write(std::string_view(chunk->begin(), chunk->used));
    linesWritten_ += chunk->lines;
    if (chunk->stepAfter) progress_.step();
}

}  // namespace morvale
