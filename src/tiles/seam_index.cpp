#include "tiles/seam_index.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <chrono>
#include <system_error>

#include "tiles/tile_body.h"

namespace morvale {

namespace {

// The layout described in seam_index.h: rows kept in full at the top and the
// bottom, and the cells kept at each end of a middle row.
struct BorderLayout {
    std::int64_t top, bottom, middle;
    std::int64_t left, right;
    std::int64_t ncols;
};

BorderLayout layoutOf(const TileWindow& w, std::int32_t depth) {
    BorderLayout l;
    l.ncols = w.ncols;
    l.top = std::min<std::int64_t>(depth, w.nrows);
    l.bottom = std::min<std::int64_t>(depth, w.nrows - l.top);
    l.middle = w.nrows - l.top - l.bottom;
    l.left = std::min<std::int64_t>(depth, w.ncols);
    l.right = std::min<std::int64_t>(depth, w.ncols - l.left);
    return l;
}

}  // namespace

std::int64_t borderCellCount(const TileWindow& window, std::int32_t depth) {
    const BorderLayout l = layoutOf(window, depth);
    return (l.top + l.bottom) * l.ncols + l.middle * (l.left + l.right);
}

std::int64_t borderSlot(const TileWindow& window, std::int32_t depth, std::int32_t row, std::int32_t col) {
    assert(row >= 0 && row < window.nrows && col >= 0 && col < window.ncols);
    const BorderLayout l = layoutOf(window, depth);
    if (row < l.top) return row * l.ncols + col;
    const std::int64_t middleStart = l.top * l.ncols;
    const std::int64_t bottomStart = middleStart + l.middle * (l.left + l.right);
    if (row >= l.top + l.middle) return bottomStart + (row - l.top - l.middle) * l.ncols + col;
    const std::int64_t rowStart = middleStart + (row - l.top) * (l.left + l.right);
    if (col < l.left) return rowStart + col;
    if (col >= l.ncols - l.right) return rowStart + l.left + (col - (l.ncols - l.right));
    return -1;
}

SeamCollection collectTileSeams(const SetTile& tile, std::int32_t depth, const std::atomic<bool>& cancelRequested,
                                ProgressReporter& progress, SeamTile& out) {
    const std::u8string name = tile.path.filename().u8string();
    out.name.assign(name.begin(), name.end());
    out.window = tile.window;
    out.zMin = std::numeric_limits<double>::max();
    out.zMax = -std::numeric_limits<double>::max();
    out.border.assign(static_cast<std::size_t>(borderCellCount(tile.window, depth)), seamNoData);

    // Stamped before the read: an edit while it runs shows as a change later.
    const TileStamp stamp = tileStamp(tile.path);
    out.fileBytes = stamp.fileBytes;
    out.modified = stamp.modified;

    SeamCollection result;
    const TileWindow& w = tile.window;
    const CropWindow whole{1, 1, w.ncols, w.nrows};
    auto keep = [&](std::int32_t row, std::int32_t col, double value, bool) {
        out.zMin = std::min(out.zMin, value);
        out.zMax = std::max(out.zMax, value);
        // Most cells lie deeper than the border: one cheap test before the slot arithmetic.
        if (row > depth && row <= w.nrows - depth && col > depth && col <= w.ncols - depth) return;
        out.border[static_cast<std::size_t>(borderSlot(w, depth, row - 1, col - 1))] = value;
    };
    result.counts = readTileBody(tile.path, tile.header, whole, w.nrows, cancelRequested, progress, keep, result.opened,
                                 result.readError);
    if (!result.opened) return result;
    out.borderHash = seamBorderHash(out.border);
    return result;
}

TileStamp tileStamp(const std::filesystem::path& path) {
    std::error_code sizeError, timeError;
    const std::uintmax_t bytes = std::filesystem::file_size(path, sizeError);
    const auto time = std::filesystem::last_write_time(path, timeError);
    if (sizeError || timeError) return {};
    return {true, bytes,
            static_cast<std::int64_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count())};
}

std::uint64_t fnvHash(std::uint64_t hash, const unsigned char* bytes, std::size_t count) {
    constexpr std::uint64_t fnvPrime = 0x100000001b3ull;
    for (std::size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * fnvPrime;
    return hash;
}

std::uint64_t seamBorderHash(const std::vector<double>& border) {
    std::uint64_t hash = fnvStart;
    for (const double value : border) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
        hash = fnvHash(hash, bytes, sizeof bytes);
    }
    return hash;
}

}  // namespace morvale
