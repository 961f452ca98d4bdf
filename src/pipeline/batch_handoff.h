#pragma once
// Handing items from one thread to another in batches through a small
// bounded queue, so that producing and consuming overlap; or, without a
// thread, consuming each batch on the producing thread. The items come out
// in the order they went in.

#include <cassert>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace morvale {

template <class Item>
class BatchQueue {
public:
    static constexpr std::size_t batchItems = 16384;

    // False when the memory for the batches is missing.
    bool allocate(int batches) {
        for (int i = 0; i < batches; ++i) {
            std::unique_ptr<Item[]> batch(new (std::nothrow) Item[batchItems]);
            if (!batch) return false;
            empty_.push_back(batch.get());
            storage_.push_back(std::move(batch));
        }
        full_.resize(storage_.size());
        return true;
    }

    // Producing side: an empty batch (waits for one), a full one handed over, the end.
    Item* emptyBatch() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !empty_.empty(); });
        Item* batch = empty_.back();
        empty_.pop_back();
        return batch;
    }
    void pushFull(Item* batch, std::size_t count) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            assert(fullCount_ < full_.size());
            full_[(fullFront_ + fullCount_) % full_.size()] = Full{batch, count};
            ++fullCount_;
        }
        changed_.notify_all();
    }
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }

    // Consuming side: the next full batch in order (false once closed and
    // drained), and the batch given back when done with it.
    bool popFull(Item*& batch, std::size_t& count) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return fullCount_ > 0 || closed_; });
        if (fullCount_ == 0) return false;
        batch = full_[fullFront_].batch;
        count = full_[fullFront_].count;
        fullFront_ = (fullFront_ + 1) % full_.size();
        --fullCount_;
        return true;
    }
    void giveBack(Item* batch) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            empty_.push_back(batch);
        }
        changed_.notify_all();
    }

private:
    struct Full {
        Item* batch;
        std::size_t count;
    };
    std::vector<std::unique_ptr<Item[]>> storage_;
    std::vector<Item*> empty_;
    std::vector<Full> full_;  // a ring: every batch fits at once
    std::size_t fullFront_ = 0;
    std::size_t fullCount_ = 0;
    bool closed_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
};

// Collects items into batches for a queue, or, without one, hands each full
// batch straight to the consumer on the producing thread.
template <class Item, class Consume>
class Batcher {
public:
    Batcher(BatchQueue<Item>* queue, Consume& consume, Item* ownBatch, std::size_t ownCapacity)
        : queue_(queue), consume_(consume), batch_(queue ? queue->emptyBatch() : ownBatch),
          capacity_(queue ? BatchQueue<Item>::batchItems : ownCapacity) {}
    void add(const Item& item) {
        if (count_ == capacity_) flush();
        batch_[count_++] = item;
    }
    void flush() {
        if (count_ == 0) return;
        if (queue_ != nullptr) {
            queue_->pushFull(batch_, count_);
            batch_ = queue_->emptyBatch();
        } else {
            consume_(static_cast<const Item*>(batch_), count_);
        }
        count_ = 0;
    }

private:
    BatchQueue<Item>* queue_;
    Consume& consume_;
    Item* batch_;
    std::size_t capacity_;
    std::size_t count_ = 0;
};

// Runs produce(batcher) on the calling thread. With `threaded` (and a thread
// and the queue's memory to be had) a helper thread calls consume(items,
// count) meanwhile; otherwise each batch reaches consume on the calling
// thread. Either way consume sees every item, in order, one call at a time.
template <class Item, class Consume, class Produce>
void handOff(bool threaded, Consume&& consume, Produce&& produce) {
    if (threaded) {
        BatchQueue<Item> queue;
        std::thread helper;
        try {
            if (queue.allocate(4)) {
                helper = std::thread([&queue, &consume] {
                    Item* batch = nullptr;
                    std::size_t count = 0;
                    while (queue.popFull(batch, count)) {
                        consume(static_cast<const Item*>(batch), count);
                        queue.giveBack(batch);
                    }
                });
            }
        } catch (const std::system_error&) {
        }
        if (helper.joinable()) {
            {
                Batcher<Item, Consume> batcher(&queue, consume, nullptr, 0);
                produce(batcher);
                batcher.flush();
            }
            queue.close();
            helper.join();
            return;
        }
    }
    Item own[256];
    Batcher<Item, Consume> batcher(nullptr, consume, own, sizeof own / sizeof own[0]);
    produce(batcher);
    batcher.flush();
}

}  // namespace morvale
