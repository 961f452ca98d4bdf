#pragma once
// Fixed-size records appended in order and read back by number, in bounded
// memory: records stay in RAM up to a budget; past it they go to a spool
// file, read back through a cache of pages. Meant for the vertices of a mesh
// stream, which writers need again when the faces arrive: faces name nearby
// vertices, so a few hundred pages hold what the faces of a row touch.
//
// Trade-off: a page cache, not a window moved by the builder's hints, so any
// access pattern stays correct; a pattern that spreads over more pages than
// the cache holds only gets slower. Pages go to slots by a hash of their
// number (one slot per page, no search).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace morvale {

class RecordSpool {
public:
    // `spoolPath` is created only when the records outgrow `memoryBudget` bytes;
    // it is removed when the spool is destroyed.
    RecordSpool(std::size_t recordBytes, std::size_t memoryBudget, std::filesystem::path spoolPath);
    ~RecordSpool();
    RecordSpool(const RecordSpool&) = delete;
    RecordSpool& operator=(const RecordSpool&) = delete;

    void append(const void* record);
    // Forgets every record from number `count` on (numbers count from 0).
    void truncate(std::int64_t count);
    std::int64_t size() const { return count_; }
    // The record `index` (< size()), valid until the next call; null when the
    // spool file failed. Appending after reading is not supported.
    const unsigned char* at(std::int64_t index);
    // True once a spool file could not be created, written or read.
    bool failed() const { return failed_; }
    bool spilled() const { return file_ != nullptr; }

private:
    void spill();
    void flushTail();

    std::size_t recordBytes_;
    std::size_t memoryBudget_;
    std::filesystem::path spoolPath_;
    std::int64_t count_ = 0;
    std::vector<unsigned char> memory_;  // all records, until spilled
    std::FILE* file_ = nullptr;
    std::int64_t fileRecords_ = 0;     // records in the file
    std::vector<unsigned char> tail_;  // appended, not yet in the file
    // Page cache over the file.
    std::size_t pageRecords_ = 0;
    std::vector<unsigned char> pages_;
    std::vector<std::int64_t> slotPage_;  // page held by each slot, -1 for none
    // The page read last: faces mostly name records of the page before, so
    // this range test spares them the division and the slot lookup.
    std::int64_t lastFirst_ = 0, lastEnd_ = 0;
    const unsigned char* lastData_ = nullptr;
    bool failed_ = false;
};

}  // namespace morvale
