#include "base/record_spool.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <system_error>

#include "base/platform_file.h"

namespace morvale {

namespace {
constexpr std::size_t pageBytesWanted = std::size_t{64} << 10;
constexpr std::size_t minimumSlots = 4;
}  // namespace

RecordSpool::RecordSpool(std::size_t recordBytes, std::size_t memoryBudget, std::filesystem::path spoolPath)
    : recordBytes_(recordBytes), memoryBudget_(memoryBudget), spoolPath_(std::move(spoolPath)) {
    assert(recordBytes > 0);
}

RecordSpool::~RecordSpool() {
    if (file_) {
        std::fclose(file_);
        std::error_code ignored;
        std::filesystem::remove(spoolPath_, ignored);
    }
}

void RecordSpool::spill() {
    file_ = openFile(spoolPath_, "w+b", L"w+b");
    if (!file_) {
        failed_ = true;
        return;
    }
    // The pages: as many as the budget allows, a power of two for the slot hash.
    const std::size_t pageBytes = std::min(pageBytesWanted, memoryBudget_ / minimumSlots);
    pageRecords_ = pageBytes / recordBytes_ > 0 ? pageBytes / recordBytes_ : 1;
    std::size_t slots = minimumSlots;
    while (slots * 2 * pageRecords_ * recordBytes_ <= memoryBudget_) slots *= 2;
    if (std::fwrite(memory_.data(), 1, memory_.size(), file_) != memory_.size()) failed_ = true;
    fileRecords_ = count_;
    std::vector<unsigned char>().swap(memory_);
    tail_.reserve(pageRecords_ * recordBytes_);
    pages_.resize(slots * pageRecords_ * recordBytes_);
    slotPage_.assign(slots, -1);
}

void RecordSpool::append(const void* record) {
    if (failed_) {
        ++count_;  // nothing can be read back any more: only counted
        return;
    }
    if (!file_) {
        if (memory_.size() + recordBytes_ > memoryBudget_ && count_ > 0) spill();
        if (!file_) {
            const auto* bytes = static_cast<const unsigned char*>(record);
            memory_.insert(memory_.end(), bytes, bytes + recordBytes_);
            ++count_;
            return;
        }
    }
    const auto* bytes = static_cast<const unsigned char*>(record);
    tail_.insert(tail_.end(), bytes, bytes + recordBytes_);
    ++count_;
    if (tail_.size() >= pageRecords_ * recordBytes_) flushTail();
}

void RecordSpool::flushTail() {
    if (tail_.empty() || !file_) return;
    if (!failed_ && (!seekTo(file_, fileRecords_ * static_cast<std::int64_t>(recordBytes_)) ||
                     std::fwrite(tail_.data(), 1, tail_.size(), file_) != tail_.size()))
        failed_ = true;
    fileRecords_ += static_cast<std::int64_t>(tail_.size() / recordBytes_);
    tail_.clear();
}

void RecordSpool::truncate(std::int64_t count) {
    if (count >= count_) return;
    if (failed_) {
        // nothing to keep
    } else if (!file_) {
        memory_.resize(static_cast<std::size_t>(count) * recordBytes_);
    } else {
        flushTail();
        fileRecords_ = count;
    }
    count_ = count;
}

const unsigned char* RecordSpool::at(std::int64_t index) {
    assert(index >= 0 && index < count_);
    if (failed_) return nullptr;
    if (!file_) return memory_.data() + static_cast<std::size_t>(index) * recordBytes_;
    flushTail();
    if (failed_) return nullptr;
    if (index >= lastFirst_ && index < lastEnd_)
        return lastData_ + static_cast<std::size_t>(index - lastFirst_) * recordBytes_;
    const std::int64_t page = index / static_cast<std::int64_t>(pageRecords_);
    const std::size_t slots = slotPage_.size();
    const std::size_t slot =
        static_cast<std::size_t>((static_cast<std::uint64_t>(page) * 0x9E3779B97F4A7C15ull) >> 40) & (slots - 1);
    unsigned char* pageData = pages_.data() + slot * pageRecords_ * recordBytes_;
    if (slotPage_[slot] != page) {
        const std::int64_t first = page * static_cast<std::int64_t>(pageRecords_);
        const std::int64_t records = std::min<std::int64_t>(static_cast<std::int64_t>(pageRecords_), count_ - first);
        const std::size_t bytes = static_cast<std::size_t>(records) * recordBytes_;
        if (!seekTo(file_, first * static_cast<std::int64_t>(recordBytes_)) ||
            std::fread(pageData, 1, bytes, file_) != bytes) {
            failed_ = true;
            slotPage_[slot] = -1;
            return nullptr;
        }
        slotPage_[slot] = page;
    }
    lastFirst_ = page * static_cast<std::int64_t>(pageRecords_);
    lastEnd_ = std::min<std::int64_t>(lastFirst_ + static_cast<std::int64_t>(pageRecords_), count_);
    lastData_ = pageData;
    return pageData + static_cast<std::size_t>(index - page * static_cast<std::int64_t>(pageRecords_)) * recordBytes_;
}

}  // namespace morvale
