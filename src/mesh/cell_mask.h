#pragma once
// Which cells of the crop window and its one-cell ring hold data: one bit per
// cell, rows packed without padding (a one-column window of a tall grid still
// costs bits, not words). Rows are read out as word-aligned bit runs so that
// corners can be found a word at a time.
//
// Rows past `lastRowWithData` are not stored (they read as empty and take no
// bits): a file can hold so many numbers only, so a header promising more
// rows than the body can fill costs memory for the rows that can exist.

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <vector>

#include "grid/body_window.h"

namespace morvale {

class CellMask {
public:
    // Throws std::bad_alloc (or length_error) when the window does not fit in memory.
    explicit CellMask(const CropWindow& window, std::int64_t lastRowWithData = INT64_MAX)
        : rowBase_(std::int64_t{window.yMin} - 1), colBase_(std::int64_t{window.xMin} - 1),
          width_(std::int64_t{window.xMax} - window.xMin + 3),
          rows_(std::max<std::int64_t>(
              0, std::min<std::int64_t>(std::int64_t{window.yMax} + 1, lastRowWithData) - rowBase_ + 1)),
          // One spare word: rowBits reads a word past the last bit.
          bits_(static_cast<std::size_t>((rows_ * width_ + 63) / 64 + 1), 0) {}

    void set(std::int64_t row, std::int64_t col) {
        if (!stored(row)) return;
        const std::uint64_t i = index(row, col);
        bits_[i >> 6] |= std::uint64_t{1} << (i & 63);
    }
    // Rows and columns of the ring are included.
    bool has(std::int64_t row, std::int64_t col) const {
        if (!stored(row)) return false;
        const std::uint64_t i = index(row, col);
        return (bits_[i >> 6] >> (i & 63)) & 1u;
    }

    // Bits per row: the window's columns and the ring column on each side.
    std::int64_t width() const { return width_; }
    std::size_t rowWords() const { return static_cast<std::size_t>((width_ + 63) / 64); }

    // The bits of one row (ring rows included) into rowWords() words: bit k is
    // column xMin - 1 + k; bits past the row are zero.
    void rowBits(std::int64_t row, std::uint64_t* words) const {
        const std::size_t count = rowWords();
        if (!stored(row)) {
            std::fill(words, words + count, 0);
            return;
        }
        const std::uint64_t start = index(row, colBase_);
        const std::size_t shift = start & 63;
        const std::uint64_t* from = bits_.data() + (start >> 6);
        for (std::size_t k = 0; k < count; ++k) {
            std::uint64_t w = from[k] >> shift;
            if (shift != 0) w |= from[k + 1] << (64 - shift);
            words[k] = w;
        }
        const std::int64_t tail = width_ & 63;
        if (tail != 0) words[count - 1] &= (std::uint64_t{1} << tail) - 1;
    }

    std::size_t bytes() const { return bits_.size() * sizeof(std::uint64_t); }

private:
    bool stored(std::int64_t row) const { return row - rowBase_ < rows_; }
    std::uint64_t index(std::int64_t row, std::int64_t col) const {
        assert(row >= rowBase_ && col >= colBase_ && col < colBase_ + width_);
        return static_cast<std::uint64_t>((row - rowBase_) * width_ + (col - colBase_));
    }
    std::int64_t rowBase_;
    std::int64_t colBase_;
    std::int64_t width_;
    std::int64_t rows_;
    std::vector<std::uint64_t> bits_;
};

}  // namespace morvale
