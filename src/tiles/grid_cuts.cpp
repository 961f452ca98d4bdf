#include "tiles/grid_cuts.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "base/input_file.h"
#include "base/platform_file.h"
#include "grid/body_scanner.h"
#include "grid/grid_body.h"

namespace morvale {

namespace {

constexpr std::size_t blockBytes = std::size_t{1} << 20;
constexpr int longestMantissa = 15;
constexpr int longestExponent = 2;
constexpr std::size_t longestToken = 64;  // longer ones are not plain anyway

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Whether [p, end) is a token the body reader is sure to read as one number
// (or one nan cell), as stated in the header.
bool plainToken(const char* p, const char* end) {
    if (p < end && (*p == '+' || *p == '-')) ++p;
    if (end - p == 3 && (p[0] | 0x20) == 'n' && (p[1] | 0x20) == 'a' && (p[2] | 0x20) == 'n') return true;
    const char* digits = p;
    while (p < end && isDigit(*p)) ++p;
    if (p == digits || p - digits > longestMantissa) return false;
    if (p < end && *p == '.') {
        const char* fraction = ++p;
        while (p < end && isDigit(*p)) ++p;
        if (p == fraction) return false;
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) ++p;
        const char* exponent = p;
        while (p < end && isDigit(*p)) ++p;
        if (p == exponent || p - exponent > longestExponent) return false;
    }
    return p == end;
}

// The character scan: a line at a time, a token at a time, across blocks.
class CutScanner {
public:
    CutScanner(GridCuts& cuts, std::int64_t ncols, std::int64_t start) : cuts_(cuts), ncols_(ncols), offset_(start) {
        cuts_.offsets.reserve(static_cast<std::size_t>(cuts_.lastRow - cuts_.firstRow + 1) * (cuts_.cols.size() + 1));
    }

    // False once the grid is known not to be plain, or every wanted row is done.
    bool feed(const char* p, const char* end) {
        const char* const base = p;
        const std::int64_t baseOffset = offset_;
        offset_ += end - p;
        if (!carry_.empty()) {  // a token begun in the block before
            while (p < end && !isNumberSpace(*p)) {
                if (carry_.size() > longestToken) return fail();
                carry_.push_back(*p++);
            }
            if (p == end) return true;
            if (!endToken(carry_.data(), carry_.data() + carry_.size())) return false;
            carry_.clear();
        }
        while (p < end) {
            if (isNumberSpace(*p)) {
                if (*p == '\n' && !endLine(baseOffset + (p - base) + 1)) return false;
                ++p;
                continue;
            }
            const char* token = p;
            while (p < end && !isNumberSpace(*p)) ++p;
            tokenStart_ = baseOffset + (token - base);
            if (p == end) {
                carry_.assign(token, p);
                if (carry_.size() > longestToken) return fail();
                return true;
            }
            if (!endToken(token, p)) return false;
        }
        return true;
    }

    // The end of the file: the last token and line.
    void finish() {
        if (!carry_.empty() && !endToken(carry_.data(), carry_.data() + carry_.size())) return;
        if (col_ > 0) endLine(offset_);
    }

    bool done() const { return row_ > cuts_.lastRow; }

private:
    bool fail() {
        cuts_.plain = false;
        return false;
    }
    bool endToken(const char* token, const char* end) {
        if (!plainToken(token, end)) return fail();
        ++col_;
        if (col_ > ncols_) return fail();
        if (kept() && next_ < cuts_.cols.size() && cuts_.cols[next_] == col_) {
            cuts_.offsets.push_back(tokenStart_);
            ++next_;
        }
        return true;
    }
    bool endLine(std::int64_t lineEnd) {
        if (col_ == 0) return true;  // white space alone: no row
        if (col_ != ncols_) return fail();
        if (kept()) cuts_.offsets.push_back(lineEnd);
        col_ = 0;
        next_ = 0;
        ++row_;
        return !done();
    }
    bool kept() const { return row_ >= cuts_.firstRow; }

    GridCuts& cuts_;
    std::int64_t ncols_;
    std::int64_t offset_;
    std::int64_t tokenStart_ = 0;
    std::int64_t row_ = 1;
    std::int64_t col_ = 0;  // numbers seen on the current line
    std::size_t next_ = 0;  // the next kept column of the line
    std::string carry_;
};

}  // namespace

std::vector<std::int32_t> tilingCutColumns(const GridTiling& tiling) {
    std::vector<std::int32_t> cols;
    for (std::int32_t col = 1; col <= tiling.tileCols; ++col) {
        const CropWindow w = gridTileWindow(tiling, 1, col);
        for (const std::int64_t c : {std::int64_t{w.xMin} - 2, std::int64_t{w.xMin} - 1, std::int64_t{w.xMin},
                                     std::int64_t{w.xMax} + 1, std::int64_t{w.xMax} + 2, std::int64_t{w.xMax} + 3})
            if (c >= 1 && c <= tiling.gridCols) cols.push_back(static_cast<std::int32_t>(c));
    }
    std::sort(cols.begin(), cols.end());
    cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
    return cols;
}

GridCuts indexGridCuts(const std::filesystem::path& path, const GridHeader& header, std::vector<std::int32_t> cols,
                       std::int32_t firstRow, std::int32_t lastRow, const std::atomic<bool>& cancelRequested) {
    GridCuts cuts;
    cuts.cols = std::move(cols);
    cuts.firstRow = std::max(firstRow, 1);
    cuts.lastRow = std::min(lastRow, header.nrows);
    if (cuts.firstRow > cuts.lastRow || header.ncols < 1) return cuts;
    FileHandle file = openForReading(path);
    if (!file || !seekTo(file.get(), header.dataStart)) return cuts;
    std::unique_ptr<char[]> block(new char[blockBytes]);
    cuts.plain = true;
    CutScanner scanner(cuts, header.ncols, header.dataStart);
    for (;;) {
        const std::size_t got = std::fread(block.get(), 1, blockBytes, file.get());
        if (got > 0 && !scanner.feed(block.get(), block.get() + got)) break;
        if (cancelRequested.load(std::memory_order_relaxed)) {
            cuts.plain = false;
            break;
        }
        if (got < blockBytes) {
            if (std::ferror(file.get())) cuts.plain = false;
            scanner.finish();
            break;
        }
    }
    if (!scanner.done()) cuts.plain = false;  // the file ended before lastRow
    if (!cuts.plain) cuts.offsets.clear();
    return cuts;
}

GridBodyCounts GridCutCellSource::read(const CropWindow& window, std::int32_t lastRow,
                                       const std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                       CellSink& sink) const {
    // The window and its one-cell ring, within the grid and lastRow.
    const std::int32_t rowA = std::max(window.yMin - 1, 1);
    const std::int32_t rowB = std::min({window.yMax + 1, lastRow, header_.nrows});
    const std::int32_t colA = std::max(window.xMin - 1, 1);
    const std::int32_t colB = std::min(window.xMax + 1, header_.ncols);
    const auto find = [&](std::int32_t col) {
        const auto it = std::lower_bound(cuts_.cols.begin(), cuts_.cols.end(), col);
        return it != cuts_.cols.end() && *it == col ? static_cast<std::ptrdiff_t>(it - cuts_.cols.begin()) : -1;
    };
    const std::ptrdiff_t from = find(colA);
    const std::ptrdiff_t to = colB == header_.ncols ? static_cast<std::ptrdiff_t>(cuts_.cols.size()) : find(colB + 1);
    FileHandle file = openForReading(path_);
    if (!file) return {};
    const auto forward = [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
        sink.cell(row, col, value, inWindow);
    };
    if (!cuts_.plain || from < 0 || to < 0 || rowA < cuts_.firstRow || rowB > cuts_.lastRow || rowA > rowB) {
        if (!seekTo(file.get(), header_.dataStart)) return {};
        return readGridBody(file.get(), header_, window, lastRow, cancelRequested, progress, forward);
    }

    // The rows rowA..rowB, columns colA..colB, as a grid of their own.
    GridHeader part = header_;
    part.ncols = colB - colA + 1;
    part.nrows = rowB - rowA + 1;
    const CropWindow local{window.xMin - colA + 1, window.yMin - rowA + 1, window.xMax - colA + 1,
                           window.yMax - rowA + 1};
    const auto shifted = [&](std::int32_t row, std::int32_t col, double value, bool inWindow) {
        sink.cell(row + rowA - 1, col + colA - 1, value, inWindow);
    };
    BodyScanner<decltype(shifted)> scanner(part, local, part.nrows, cancelRequested, progress, shifted);
    const std::size_t stride = cuts_.cols.size() + 1;
    std::vector<char> bytes;
    for (std::int32_t row = rowA; row <= rowB; ++row) {
        const std::int64_t* line = cuts_.offsets.data() + static_cast<std::size_t>(row - cuts_.firstRow) * stride;
        const std::int64_t start = line[from];
        bytes.resize(static_cast<std::size_t>(line[to] - start));
        if (!seekTo(file.get(), start) || std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) break;
        if (bytes.empty() || bytes.back() != '\n') bytes.push_back('\n');
        if (!scanner.feed(bytes.data(), bytes.data() + bytes.size())) break;
    }
    scanner.finish();
    return scanner.counts();
}

}  // namespace morvale
