#pragma once
// The "vt" and "vn" lines of vertex batches, formatted on a helper thread.
// Per vertex they cost more than the "v" line, and the thread that takes the
// vertices also makes them (corners, normals), so it holds each batch back
// by one: the helper formats a batch's attribute lines while that thread
// goes on to make the next batch, and when that one arrives the held batch
// is written, its "v" lines and the helper's lines side by side.
//
// Each vertex's two lines go into a record of fixed width; a vertex whose
// lines do not fit one (numbers far outside [-1, 1]) gets an empty record,
// and the caller formats its lines itself. The bytes are the same either way.
//
// One caller thread. At most two batches are held; the oldest is written
// and released before a third is held.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "mesh/mesh_sink.h"
#include "obj/attribute_text.h"

namespace morvale {

class AttributeLineWorker {
public:
    // A vertex's "vt" and "vn" lines (either may be absent): `length` bytes
    // of `text`; 0: not formatted here.
    struct Record {
        char text[63];
        std::uint8_t length;
    };
    // The writer copies a whole record into the room of the lines it holds.
    static_assert(sizeof(Record::text) <= texCoordLineRoom + normalLineRoom);
    // A batch held back: copies of its arrays and its records.
    struct HeldBatch {
        std::size_t count = 0;
        const double* position = nullptr;  // 3 per vertex
        const double* uv = nullptr;        // 2 per vertex, or null
        const double* normal = nullptr;    // 3 per vertex, or null
        const Record* records = nullptr;
        bool cancellable = false;
        bool stepAfter = false;
    };
    static constexpr std::size_t mostVertices = 4096;

    AttributeLineWorker() = default;
    ~AttributeLineWorker() { stop(); }
    AttributeLineWorker(const AttributeLineWorker&) = delete;
    AttributeLineWorker& operator=(const AttributeLineWorker&) = delete;

    // Starts the thread for lines of texture coordinates (`uv`) and normals
    // (`normals`, turned by the preset's axis order). False without memory
    // or a thread: the caller formats the lines itself then.
    bool start(std::int32_t presetIndex, bool uv, bool normals);
    // Ends the thread; batches still held are dropped.
    void stop();
    bool running() const { return thread_.joinable(); }

    // Copies `batch` (1 to mostVertices vertices, with the arrays started
    // for) and starts on its lines. Fewer than two batches are held.
    void hold(const VertexBatch& batch);
    std::size_t held() const { return static_cast<std::size_t>(begun_ - released_); }
    // The oldest batch held, once its records are ready; valid until release().
    HeldBatch oldest();
    void release() { ++released_; }

private:
    struct Slot {
        HeldBatch batch;
        std::unique_ptr<double[]> numbers;  // positions, texture coordinates, normals
        std::unique_ptr<Record[]> records;
    };
    void run();
    void format(Slot& slot);

    std::int32_t presetIndex_ = 0;
    bool uv_ = false, normals_ = false;
    // The helper's own: u repeats down every column, batch after batch.
    ColumnTexCoords columns_;
    TexCoordLines texCoords_{&columns_};
    Slot slots_[2];
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_, formatted_;
    bool quit_ = false;
    std::uint64_t begun_ = 0;     // batches held so far
    std::uint64_t finished_ = 0;  // of those, formatted (with the mutex)
    std::uint64_t released_ = 0;  // of those, written by the caller
};

}  // namespace morvale
