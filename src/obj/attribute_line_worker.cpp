#include "obj/attribute_line_worker.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <system_error>

#include "mesh/axis_order.h"
#include "obj/attribute_text.h"

namespace morvale {

bool AttributeLineWorker::start(std::int32_t presetIndex, bool uv, bool normals) {
    assert(!running());
    presetIndex_ = presetIndex;
    uv_ = uv;
    normals_ = normals;
    for (Slot& slot : slots_) {
        slot.numbers.reset(new (std::nothrow) double[mostVertices * 8]);
        slot.records.reset(new (std::nothrow) Record[mostVertices]);
        if (!slot.numbers || !slot.records) return false;
    }
    if (uv && !columns_.allocate()) return false;
    texCoords_ = TexCoordLines(&columns_);
    quit_ = false;
    begun_ = finished_ = released_ = 0;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void AttributeLineWorker::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void AttributeLineWorker::hold(const VertexBatch& batch) {
    assert(running() && held() < 2 && batch.count >= 1 && batch.count <= mostVertices);
    assert((batch.uv != nullptr || !uv_) && (batch.normal != nullptr || !normals_));
    Slot& slot = slots_[begun_ % 2];
    // The helper is done with this slot: its batch was released.
    const std::size_t n = batch.count;
    double* numbers = slot.numbers.get();
    HeldBatch& held = slot.batch;
    held.count = n;
    held.position = numbers;
    std::copy(batch.position, batch.position + 3 * n, numbers);
    held.uv = uv_ ? numbers + 3 * mostVertices : nullptr;
    if (uv_) std::copy(batch.uv, batch.uv + 2 * n, numbers + 3 * mostVertices);
    held.normal = normals_ ? numbers + 5 * mostVertices : nullptr;
    if (normals_) std::copy(batch.normal, batch.normal + 3 * n, numbers + 5 * mostVertices);
    held.records = slot.records.get();
    held.cancellable = batch.cancellable;
    held.stepAfter = batch.stepAfter;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++begun_;
    }
    wake_.notify_one();
}

AttributeLineWorker::HeldBatch AttributeLineWorker::oldest() {
    assert(held() > 0);
    std::unique_lock<std::mutex> lock(mutex_);
    formatted_.wait(lock, [&] { return finished_ > released_; });
    return slots_[released_ % 2].batch;
}

void AttributeLineWorker::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return begun_ > finished_ || quit_; });
        if (quit_) return;
        Slot& slot = slots_[finished_ % 2];
        lock.unlock();
        format(slot);
        lock.lock();
        ++finished_;
        formatted_.notify_one();
    }
}

void AttributeLineWorker::format(Slot& slot) {
    // Room for the longest lines; a record takes them when they fit.
    char scratch[texCoordLineRoom + normalLineRoom + sizeof(Record)];
    const HeldBatch& batch = slot.batch;
    for (std::size_t k = 0; k < batch.count; ++k) {
        char* out = scratch;
        if (uv_) out = texCoords_.put(out, batch.uv[2 * k], batch.uv[2 * k + 1]);
        if (normals_) {
            const double* n = batch.normal + 3 * k;
            const VertexCoordinates turned = applyAxisOrder(presetIndex_, n[0], n[1], n[2]);
            out = putNormalLine(out, turned.first, turned.second, turned.third);
        }
        const std::size_t length = static_cast<std::size_t>(out - scratch);
        Record& record = slot.records[k];
        std::memcpy(record.text, scratch, sizeof record.text);
        record.length = length <= sizeof record.text ? static_cast<std::uint8_t>(length) : 0;
    }
}

}  // namespace morvale
