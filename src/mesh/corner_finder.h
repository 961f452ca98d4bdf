#pragma once
// The corners of a window row that receive a vertex, a word at a time, and
// the vertex numbers of the corners around each face.
//
// Corner row i is the north edge of window row i, corner row yMax + 1 the
// south edge of the last row; corner column j is the west edge of column j,
// xMax + 1 the east edge of the window. A corner receives a vertex when one of
// the window cells touching it holds data (ring cells never decide this), so
// with the window's data bits H of row i and A of row i - 1 the north edge's
// corners are X | X << 1 with X = H | A, and the last row's south edge's are
// H | H << 1. Vertices are numbered row by row: a row's north edge west to
// east, its east end last; in the last row each north corner is followed by
// the south corner below it.

#include <bit>
#include <cstdint>
#include <vector>

#include "mesh/cell_mask.h"

namespace morvale {

// Bit k of every run stands for column (or corner column) xMin - 1 + k.
struct RowCorners {
    std::vector<std::uint64_t> data;   // window cells of the row holding data
    std::vector<std::uint64_t> north;  // corners of its north edge with a vertex
    std::vector<std::uint64_t> south;  // last row only: corners of its south edge
    bool last = false;
};

inline bool bitAt(const std::uint64_t* bits, std::int64_t k) {
    return (bits[static_cast<std::size_t>(k >> 6)] >> (k & 63)) & 1u;
}

// Set bits at 1 <= k < end, a word at a time.
inline std::int64_t bitsBefore(const std::uint64_t* bits, std::int64_t end) {
    if (end <= 1) return 0;
    const std::int64_t last = (end - 1) >> 6;  // the word holding bit end - 1
    std::int64_t n = 0;
    for (std::int64_t w = 0; w < last; ++w) n += std::popcount(bits[w]);
    const std::uint64_t keep = ~std::uint64_t{0} >> (63 - ((end - 1) & 63));  // bits up to end - 1
    n += std::popcount(bits[last] & keep);
    return n - static_cast<std::int64_t>(bits[0] & 1u);
}

class CornerFinder {
public:
    // Throws std::bad_alloc when out of memory (its rows are window-wide).
    CornerFinder(const CellMask& mask, const CropWindow& window)
        : mask_(mask), window_(window), words_(mask.rowWords()), inWindow_(words_, 0), above_(words_, 0) {
        // Bits 1..W: the window's own columns, not the ring's.
        const std::int64_t width = std::int64_t{window.xMax} - window.xMin + 1;
        for (std::int64_t k = 1; k <= width; ++k)
            inWindow_[static_cast<std::size_t>(k >> 6)] |= std::uint64_t{1} << (k & 63);
    }

    // Sizes a RowCorners for this window (before any thread needs it).
    void prepare(RowCorners& row) const {
        row.data.assign(words_, 0);
        row.north.assign(words_, 0);
        row.south.assign(words_, 0);
    }

    // Fills a prepared `row` for window row i.
    void find(std::int64_t i, RowCorners& row) {
        row.last = i == window_.yMax;
        mask_.rowBits(i, row.data.data());
        for (std::size_t k = 0; k < words_; ++k) row.data[k] &= inWindow_[k];
        if (i > window_.yMin) {
            mask_.rowBits(i - 1, above_.data());
            for (std::size_t k = 0; k < words_; ++k) above_[k] = (row.data[k] | above_[k]) & inWindow_[k];
            spread(above_.data(), row.north.data());
        } else {
            spread(row.data.data(), row.north.data());
        }
        if (row.last) spread(row.data.data(), row.south.data());
    }

    // Vertices of the row, and its cells with data.
    std::int64_t vertexCount(const RowCorners& row) const {
        return count(row.north.data()) + (row.last ? count(row.south.data()) : 0);
    }
    std::int64_t dataCount(const RowCorners& row) const { return count(row.data.data()); }

    // Calls visit(edge, k) for the row's vertices in numbering order: edge 0
    // for the north edge, 1 for the south edge.
    template <class Visit>
    void walk(const RowCorners& row, Visit&& visit) const {
        if (!row.last) {
            for (std::size_t w = 0; w < words_; ++w) {
                for (std::uint64_t bits = row.north[w]; bits != 0; bits &= bits - 1)
                    visit(0, static_cast<std::int64_t>(w * 64) + std::countr_zero(bits));
            }
            return;
        }
        const std::int64_t width = std::int64_t{window_.xMax} - window_.xMin + 1;
        for (std::int64_t k = 1; k <= width; ++k) {
            if (bitAt(row.north.data(), k)) visit(0, k);
            if (k == width && bitAt(row.north.data(), k + 1)) visit(0, k + 1);
            if (bitAt(row.south.data(), k)) visit(1, k);
            if (k == width && bitAt(row.south.data(), k + 1)) visit(1, k + 1);
        }
    }

    std::size_t words() const { return words_; }
    const CropWindow& window() const { return window_; }

private:
    std::int64_t count(const std::uint64_t* bits) const {
        std::int64_t n = 0;
        for (std::size_t k = 0; k < words_; ++k) n += std::popcount(bits[k]);
        return n;
    }
    // out = in | in << 1 across the words.
    void spread(const std::uint64_t* in, std::uint64_t* out) const {
        std::uint64_t carry = 0;
        for (std::size_t k = 0; k < words_; ++k) {
            const std::uint64_t w = in[k];
            out[k] = w | (w << 1) | carry;
            carry = w >> 63;
        }
    }

    const CellMask& mask_;
    CropWindow window_;
    std::size_t words_;
    std::vector<std::uint64_t> inWindow_;
    std::vector<std::uint64_t> above_;
};

// Set bits of a run before a moving column k, counted as the column moves
// (hardware population counts are not part of the baseline instruction set).
struct RunBelow {
    const std::uint64_t* bits = nullptr;
    std::int64_t below = 0;  // set bits before column k
    std::int64_t total = 0;

    void reset(const std::vector<std::uint64_t>& run) {
        bits = run.data();
        below = 0;
        total = 0;
        for (std::uint64_t w : run) total += std::popcount(w);
    }
    // Set bits before column x, for k <= x <= k + 2.
    std::int64_t before(std::int64_t k, std::int64_t x) const {
        std::int64_t n = below;
        if (x > k) n += bitAt(bits, k);
        if (x > k + 1) n += bitAt(bits, k + 1);
        return n;
    }
    void pass(std::int64_t k) { below += bitAt(bits, k); }
};

// Walks the faces of the window in order (rows north to south, columns west
// to east, cells with data only) with the vertex numbers of their corners:
// those of the row's north edge (top) and of the edge below it (the next
// row's north edge, or the last row's own south edge).
class FaceWalk {
public:
    // Throws std::bad_alloc when out of memory.
    explicit FaceWalk(CornerFinder& finder)
        : finder_(finder), width_(std::int64_t{finder.window().xMax} - finder.window().xMin + 1) {
        finder.prepare(row_);
        finder.prepare(next_);
    }

    // Starts window row i at its first column; its first vertex is number
    // firstVertex + 1, the next row's nextFirstVertex + 1.
    void startRow(std::int64_t i, std::int64_t firstVertex, std::int64_t nextFirstVertex) {
        finder_.find(i, row_);
        rowFirst_ = firstVertex;
        rowNorth_.reset(row_.north);
        if (row_.last) {
            rowSouth_.reset(row_.south);
        } else {
            finder_.find(i + 1, next_);
            nextFirst_ = nextFirstVertex;
            nextNorth_.reset(next_.north);
            if (next_.last) nextSouth_.reset(next_.south);
        }
        k_ = 1;
    }

    // Moves to the next cell with data in the row; false at the row's end.
    bool nextFace() {
        while (k_ <= width_ && !bitAt(row_.data.data(), k_)) pass();
        return k_ <= width_;
    }

    // Puts the corners (bottom-left, bottom-right, top-right, top-left) of up
    // to maxFaces faces of the row from the current cell on at out, four
    // numbers a face; returns how many. Fewer means the row has no more.
    std::int64_t putFaces(std::int64_t*& out, std::int64_t maxFaces) {
        std::int64_t written = 0;
        if (row_.last || next_.last) {
            for (; written < maxFaces && nextFace(); ++written) {
                out[0] = bottom(k_);
                out[1] = bottom(k_ + 1);
                out[2] = top(k_ + 1);
                out[3] = top(k_);
                out += 4;
                pass();
            }
            return written;
        }
        // Away from the last row a corner's east neighbour is the next number
        // when it has a vertex: the numbers are counted along in registers.
        const std::uint64_t* data = row_.data.data();
        const std::uint64_t* north = row_.north.data();
        const std::uint64_t* below = next_.north.data();
        std::int64_t topLeft = rowFirst_ + 1 + rowNorth_.below;
        std::int64_t bottomLeft = nextFirst_ + 1 + nextNorth_.below;
        std::int64_t* o = out;
        std::int64_t k = k_;
        for (; k <= width_ && written < maxFaces; ++k) {
            const int northBit = bitAt(north, k), belowBit = bitAt(below, k);
            if (bitAt(data, k)) {
                o[0] = bottomLeft;
                o[1] = bottomLeft + belowBit;
                o[2] = topLeft + northBit;
                o[3] = topLeft;
                o += 4;
                ++written;
            }
            topLeft += northBit;
            bottomLeft += belowBit;
        }
        out = o;
        k_ = k;
        rowNorth_.below = topLeft - rowFirst_ - 1;
        nextNorth_.below = bottomLeft - nextFirst_ - 1;
        return written;
    }
    // Moves to the cell with data n places after the row's first one (the
    // place nextFace() reaches after passing n of them), a word at a time.
    // At the row's start only; the row must hold that many.
    void seekFace(std::int64_t n) {
        assert(k_ == 1 && n >= 0);
        const std::uint64_t* data = row_.data.data();
        std::int64_t k = 1;
        for (std::int64_t w = 0;; ++w) {
            assert(static_cast<std::size_t>(w) < row_.data.size());
            std::uint64_t word = data[static_cast<std::size_t>(w)];
            if (w == 0) word &= ~std::uint64_t{1};  // column 0 is the ring's
            const std::int64_t here = std::popcount(word);
            if (here <= n) {
                n -= here;
                continue;
            }
            for (; n > 0; --n) word &= word - 1;
            k = w * 64 + std::countr_zero(word);
            break;
        }
        assert(k <= width_);
        k_ = k;
        rowNorth_.below = bitsBefore(rowNorth_.bits, k);
        if (row_.last) {
            rowSouth_.below = bitsBefore(rowSouth_.bits, k);
        } else {
            nextNorth_.below = bitsBefore(nextNorth_.bits, k);
            if (next_.last) nextSouth_.below = bitsBefore(nextSouth_.bits, k);
        }
    }

private:
    void pass() {
        rowNorth_.pass(k_);
        if (row_.last) {
            rowSouth_.pass(k_);
        } else {
            nextNorth_.pass(k_);
            if (next_.last) nextSouth_.pass(k_);
        }
        ++k_;
    }
    std::int64_t upToWidth(std::int64_t x) const { return x < width_ ? x : width_; }
    // A corner of an edge numbered north edge only, or (last row) north
    // corners interleaved with the south corners of the columns before them.
    std::int64_t top(std::int64_t x) const {
        if (!row_.last) return rowFirst_ + 1 + rowNorth_.before(k_, x);
        return rowFirst_ + 1 + rowNorth_.before(k_, x) + rowSouth_.before(k_, upToWidth(x));
    }
    std::int64_t bottom(std::int64_t x) const {
        if (row_.last) {
            // Before the south corner x: the north corners up to x (all of
            // them from the last column on) and the south corners before it.
            const std::int64_t norths = x < width_ ? rowNorth_.before(k_, x + 1) : rowNorth_.total;
            return rowFirst_ + 1 + norths + rowSouth_.before(k_, x);
        }
        if (!next_.last) return nextFirst_ + 1 + nextNorth_.before(k_, x);
        return nextFirst_ + 1 + nextNorth_.before(k_, x) + nextSouth_.before(k_, upToWidth(x));
    }

    CornerFinder& finder_;
    std::int64_t width_;
    RowCorners row_;
    RowCorners next_;
    RunBelow rowNorth_, rowSouth_, nextNorth_, nextSouth_;
    std::int64_t rowFirst_ = 0;
    std::int64_t nextFirst_ = 0;
    std::int64_t k_ = 1;
};

}  // namespace morvale
