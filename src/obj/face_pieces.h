#pragma once
// The face block on two threads: the faces are cut into pieces at the
// progress step points (and to fit a chunk), the calling thread and one
// helper format every other piece, and the pipeline writer writes them in
// order, testing the cancel flag before each piece and stepping after the
// pieces that end at a step point: the same file, steps and cancel points as
// a loop that checks before every face and steps every `interval` faces.

#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "pipeline/ordered_writer.h"

namespace morvale {

struct FacePiece {
    std::int64_t first = 0;  // 0-based index of its first face
    std::int64_t count = 0;
    bool stepAfter = false;
};

// Longest face line (with the formatter's slack) when no vertex number exceeds maxVertex.
std::size_t faceLineRoomUpTo(std::int64_t maxVertex);

// Pieces of `faces` faces. `ticksBefore` is the step counter when the block
// starts; a step follows every face whose tick brings it to `interval` (every
// face when interval is 0). Throws std::bad_alloc when out of memory.
std::vector<FacePiece> planFacePieces(std::int64_t faces, std::int64_t ticksBefore, std::int64_t interval,
                                      std::int64_t facesPerPiece);

// The step counter after `lines` ticks from zero.
inline std::int64_t ticksAfter(std::int64_t lines, std::int64_t interval) {
    return interval > 0 ? lines % interval : 0;
}

// Formats every piece with format(producer, piece, out) -> end, where out
// has room for the piece and producer is 0 for the calling thread and 1 for
// the helper (when `threaded`), and writes them through `writer` (started
// with two producers). Pieces are skipped once the cancel flag is up: the
// writer drops them anyway.
template <class Format>
void writeFacePieces(PipelineWriter& writer, const std::vector<FacePiece>& pieces,
                     const std::atomic<bool>& cancelRequested, bool threaded, Format&& format) {
    const std::int64_t count = static_cast<std::int64_t>(pieces.size());
    auto produce = [&](int producer, std::int64_t first, std::int64_t stride) {
        for (std::int64_t k = first; k < count; k += stride) {
            const FacePiece& piece = pieces[static_cast<std::size_t>(k)];
            OutputChunk* chunk = writer.acquire(producer);
            chunk->sequence = k;
            chunk->cancellable = true;
            chunk->stepAfter = piece.stepAfter;
            chunk->lines = piece.count;
            if (!cancelRequested.load(std::memory_order_relaxed))
                chunk->used = static_cast<std::size_t>(format(producer, piece, chunk->begin()) - chunk->begin());
            writer.submit(chunk);
        }
    };
    bool helped = false;
    if (threaded && count > 1) {
        try {
            std::thread helper(produce, 1, 1, 2);
            helped = true;
            produce(0, 0, 2);
            helper.join();
        } catch (const std::system_error&) {
            // No second thread: the calling thread formats every piece below.
        }
    }
    if (!helped) produce(0, 0, 1);
    writer.finish(count);
}

}  // namespace morvale
