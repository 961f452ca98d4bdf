#pragma once
// The reading end of the conversion pipeline: the thread that parses the grid
// hands the cell values it finds to the thread that formats them, in batches
// through a small bounded queue, so parsing and formatting overlap.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace morvale {

struct CellValue {
    std::int32_t row;
    std::int32_t col;
    double value;
};

// Whoever formats the cells: takes them in file order.
class CellConsumer {
public:
    virtual ~CellConsumer() = default;
    virtual void takeCells(const CellValue* cells, std::size_t count) = 0;
};

class CellBatchQueue {
public:
    static constexpr std::size_t batchCells = 16384;

    // False when the memory for the batches is missing.
    bool allocate(int batches);

    // Reading side: an empty batch (waits for one), a full one handed over, the end.
    CellValue* emptyBatch();
    void pushFull(CellValue* batch, std::size_t count);
    void close();

    // Formatting side: the next full batch in order (false once closed and
    // drained), and the batch given back when done with it.
    bool popFull(CellValue*& batch, std::size_t& count);
    void giveBack(CellValue* batch);

private:
    struct Full {
        CellValue* batch;
        std::size_t count;
    };
    std::vector<std::unique_ptr<CellValue[]>> storage_;
    std::vector<CellValue*> empty_;
    std::vector<Full> full_;  // a ring: every batch fits at once
    std::size_t fullFront_ = 0;
    std::size_t fullCount_ = 0;
    bool closed_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
};

// Collects cells into batches for a queue, or, without one, hands each full
// batch straight to the consumer on the reading thread.
class CellBatcher {
public:
    CellBatcher(CellBatchQueue* queue, CellConsumer& consumer, CellValue* ownBatch, std::size_t ownCapacity)
        : queue_(queue), consumer_(consumer), batch_(queue ? queue->emptyBatch() : ownBatch),
          capacity_(queue ? CellBatchQueue::batchCells : ownCapacity) {}
    void add(std::int32_t row, std::int32_t col, double value) {
        if (count_ == capacity_) flush();
        batch_[count_++] = CellValue{row, col, value};
    }
    void flush() {
        if (count_ == 0) return;
        if (queue_ != nullptr) {
            queue_->pushFull(batch_, count_);
            batch_ = queue_->emptyBatch();
        } else {
            consumer_.takeCells(batch_, count_);
        }
        count_ = 0;
    }

private:
    CellBatchQueue* queue_;
    CellConsumer& consumer_;
    CellValue* batch_;
    std::size_t capacity_;
    std::size_t count_ = 0;
};

// Runs read(batcher) on the calling thread. With `threaded` (and a thread to
// be had) a helper thread hands the batches to the consumer meanwhile;
// otherwise each batch reaches the consumer on the calling thread.
template <class Read>
void readIntoConsumer(bool threaded, CellBatchQueue& queue, CellConsumer& consumer, Read&& read) {
    if (threaded) {
        std::thread helper;
        try {
            helper = std::thread([&queue, &consumer] {
                CellValue* batch = nullptr;
                std::size_t count = 0;
                while (queue.popFull(batch, count)) {
                    consumer.takeCells(batch, count);
                    queue.giveBack(batch);
                }
            });
        } catch (const std::system_error&) {
            threaded = false;
        }
        if (threaded) {
            {
                CellBatcher batcher(&queue, consumer, nullptr, 0);
                read(batcher);
                batcher.flush();
            }
            queue.close();
            helper.join();
            return;
        }
    }
    CellValue own[256];
    CellBatcher batcher(nullptr, consumer, own, sizeof own / sizeof own[0]);
    read(batcher);
    batcher.flush();
}

}  // namespace morvale
