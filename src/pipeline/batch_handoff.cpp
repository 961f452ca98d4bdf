#include "pipeline/batch_handoff.h"

#include <new>

namespace morvale {

bool CellBatchQueue::allocate(int batches) {
    for (int i = 0; i < batches; ++i) {
        std::unique_ptr<CellValue[]> batch(new (std::nothrow) CellValue[batchCells]);
        if (!batch) return false;
        empty_.push_back(batch.get());
        storage_.push_back(std::move(batch));
    }
    full_.resize(storage_.size());
    return true;
}

CellValue* CellBatchQueue::emptyBatch() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !empty_.empty(); });
    CellValue* batch = empty_.back();
    empty_.pop_back();
    return batch;
}

void CellBatchQueue::pushFull(CellValue* batch, std::size_t count) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        full_[(fullFront_ + fullCount_) % full_.size()] = Full{batch, count};
        ++fullCount_;
    }
    changed_.notify_all();
}

void CellBatchQueue::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool CellBatchQueue::popFull(CellValue*& batch, std::size_t& count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return fullCount_ > 0 || closed_; });
    if (fullCount_ == 0) return false;
    batch = full_[fullFront_].batch;
    count = full_[fullFront_].count;
    fullFront_ = (fullFront_ + 1) % full_.size();
    --fullCount_;
    return true;
}

void CellBatchQueue::giveBack(CellValue* batch) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        empty_.push_back(batch);
    }
    changed_.notify_all();
}

}  // namespace morvale
