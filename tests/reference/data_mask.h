#pragma once
// One bit per cell of the crop window and its one-cell ring: which cells hold data.

#include <cstdint>
#include <vector>

#include "grid/grid_body.h"

namespace morvale {

class DataMask {
public:
    // Throws std::bad_alloc (or length_error) when the window does not fit in memory;
    // the builder turns that into its result code.
    explicit DataMask(const CropWindow& window)
        : rowBase_(window.yMin - 1), colBase_(window.xMin - 1), width_(std::int64_t{window.xMax} - window.xMin + 3),
          bits_(static_cast<std::size_t>(((std::int64_t{window.yMax} - window.yMin + 3) * width_ + 63) / 64), 0) {}

    void set(std::int64_t row, std::int64_t col) {
        const std::uint64_t i = index(row, col);
        bits_[i >> 6] |= std::uint64_t{1} << (i & 63);
    }
    // Rows and columns of the ring are included; cells beyond the grid are never set.
    bool has(std::int64_t row, std::int64_t col) const {
        const std::uint64_t i = index(row, col);
        return (bits_[i >> 6] >> (i & 63)) & 1u;
    }
    std::size_t bytes() const { return bits_.size() * sizeof(std::uint64_t); }

private:
    std::uint64_t index(std::int64_t row, std::int64_t col) const {
        return static_cast<std::uint64_t>((row - rowBase_) * width_ + (col - colBase_));
    }
    std::int64_t rowBase_;
    std::int64_t colBase_;
    std::int64_t width_;
    std::vector<std::uint64_t> bits_;
};

}  // namespace morvale
