#pragma once
// The Interpolated vertices from a stream of cell values: each window row's
// corners are handed over once the grid rows on both sides of them are
// complete (the row itself, and for the last row the one below), with the
// mean of the cells around each corner that hold data.

#include <bit>
#include <cstdint>
#include <vector>

#include "mesh/cell_edges.h"
#include "mesh/corner_finder.h"
#include "mesh/corner_normals.h"
#include "mesh/mesh_batches.h"
#include "mesh/terrain_job.h"
#include "mesh/texture_coords.h"

namespace morvale {

// The last three grid rows, by row number modulo 3: a corner needs the rows
// on both sides of it.
class RowValues {
public:
    // Throws std::bad_alloc when out of memory.
    explicit RowValues(const CropWindow& w)
        : colBase_(std::int64_t{w.xMin} - 1), width_(std::int64_t{w.xMax} - w.xMin + 3),
          values_(static_cast<std::size_t>(3 * width_), 0.0) {}
    // A row's values by k = col - (xMin - 1).
    const double* row(std::int64_t row) const { return values_.data() + (row % 3) * width_; }
    double* row(std::int64_t row) { return values_.data() + (row % 3) * width_; }
    std::int64_t colBase() const { return colBase_; }

private:
    std::int64_t colBase_;
    std::int64_t width_;
    std::vector<double> values_;
};

// What the vertex stream works with, allocated before the run starts.
struct CornerScratch {
    CornerScratch(const CellMask& mask, const CropWindow& window)
        : values(window), finder(mask, window), above(mask.rowWords()), here(mask.rowWords()), below(mask.rowWords()) {
        finder.prepare(row);
    }
    RowValues values;
    CornerFinder finder;
    RowCorners row;
    std::vector<std::uint64_t> above, here, below;
};

// Takes the cells in file order (consume) and hands the vertices of every
// completed window row to `rows`. With `fillMask` it also sets the data mask
// from the cells it takes (each row is complete before its corners need it);
// otherwise the mask is whole already.
class CornerVertices {
public:
    CornerVertices(CellMask& mask, bool fillMask, const CropWindow& window, const CellEdges& edges, double unitScale,
                   double zShift, CornerScratch& scratch, VertexRows& rows)
        : mask_(mask), fillMask_(fillMask), window_(window), edges_(edges), unitScale_(unitScale), zShift_(zShift),
          s_(scratch), rows_(rows), nextRow_(window.yMin) {}

    // Hands over a normal (from `normals`, when set) and a texture coordinate
    // (over `uvExtent`, when `uv`) with each vertex; `rows` carry them. With
    // normals, the cells must reach two cells around the window, and each row
    // goes out one row later, once the normals of its corners are known.
    void carryAttributes(CornerNormalStream* normals, bool uv, const CropWindow& uvExtent) {
        normals_ = normals;
        uv_ = uv;
        uvExtent_ = uvExtent;
    }

    // Hands over each vertex's outline mark too (VertexBatch::outline); `rows` carry them.
    void carryOutline() {
        outline_ = true;
        lastK_ = std::int64_t{window_.xMax} - window_.xMin + 1;
    }

    void operator()(const CellValue* cells, std::size_t count) {
        for (std::size_t n = 0; n < count; ++n) {
            const CellValue& cell = cells[n];
            if (cell.row != currentRow_) {
                putReadyRows(std::int64_t{cell.row} - 1);
                currentRow_ = cell.row;
                // Found once a row: the row's place among the three kept.
                rowValues_ = s_.values.row(cell.row);
            }
            if (normals_ != nullptr) {
                normals_->cell(cell.row, cell.col, cell.value);
                // Cells two out only shape the normals: the mask and values hold one ring.
                if (cell.row < window_.yMin - 1 || cell.row > window_.yMax + 1 || cell.col < window_.xMin - 1 ||
                    cell.col > window_.xMax + 1)
                    continue;
            }
            if (fillMask_) mask_.set(cell.row, cell.col);
            rowValues_[cell.col - s_.values.colBase()] = cell.value;
        }
    }
    // The reading is over: the rows still waiting are handed over with what was read.
    void finish() {
        putReadyRows(INT64_MAX);
        rows_.flush();
    }
    std::int64_t handedOver() const { return handedOver_; }

private:
    void putReadyRows(std::int64_t completedThrough) {
        const std::int64_t yMax = window_.yMax;
        const std::int64_t later = normals_ != nullptr ? 1 : 0;
        while (nextRow_ <= yMax && (nextRow_ < yMax ? nextRow_ : yMax + 1) + later <= completedThrough) {
            if (!rows_.stopped()) putRow(nextRow_);
            ++nextRow_;
        }
    }

    void putRow(std::int64_t i) {
        RowCorners& corners = s_.row;
        s_.finder.find(i, corners);
        mask_.rowBits(i - 1, s_.above.data());
        mask_.rowBits(i, s_.here.data());
        const double north = yNorth(edges_, i);
        if (normals_ != nullptr) lineNormals_ = normals_->normals(i);
        if (corners.last) {
            mask_.rowBits(i + 1, s_.below.data());
            const double south = ySouth(edges_, window_.yMax);
            const double* northNormals = lineNormals_;
            const double* southNormals = normals_ != nullptr ? normals_->normals(i + 1) : nullptr;
            s_.finder.walk(corners, [&](int edge, std::int64_t k) {
                if (edge == 0) {
                    lineNormals_ = northNormals;
                    putCorner(k, i, north, s_.above.data(), s_.here.data(), s_.values.row(i - 1), s_.values.row(i));
                } else {
                    lineNormals_ = southNormals;
                    putCorner(k, i + 1, south, s_.here.data(), s_.below.data(), s_.values.row(i), s_.values.row(i + 1));
                }
            });
            return;
        }
        const std::uint64_t* northBits = corners.north.data();
        const std::uint64_t* up = s_.above.data();
        const std::uint64_t* down = s_.here.data();
        const double* upValues = s_.values.row(i - 1);
        const double* downValues = s_.values.row(i);
        for (std::size_t w = 0; w < s_.finder.words(); ++w) {
            for (std::uint64_t bits = northBits[w]; bits != 0; bits &= bits - 1)
                putCorner(static_cast<std::int64_t>(w * 64) + std::countr_zero(bits), i, north, up, down, upValues,
                          downValues);
        }
    }

    // Mean of the cells north-west, north-east, south-west and south-east of
    // corner column k that hold data (`above` and `below`: twoCells of the
    // rows up and down), in that order.
    static double mean(std::int64_t k, unsigned above, unsigned below, const double* upValues,
                       const double* downValues) {
        double sum = 0.0;
        if (above & 1) sum += upValues[k - 1];
        if (above & 2) sum += upValues[k];
        if (below & 1) sum += downValues[k - 1];
        if (below & 2) sum += downValues[k];
        // Dividing by 1, 2 or 4 is exactly multiplying by its inverse.
        static constexpr unsigned char cellCount[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
        const unsigned cells = cellCount[above | below << 2];
        return cells == 3 ? sum / 3 : sum * (cells == 4 ? 0.25 : cells == 2 ? 0.5 : 1.0);
    }

    // The data bits of cells k - 1 and k of a row (bit 0 and bit 1).
    static unsigned twoCells(const std::uint64_t* bits, std::int64_t k) {
        const std::int64_t j = k - 1;
        const std::uint64_t word = bits[static_cast<std::size_t>(j >> 6)] >> (j & 63);
        if ((j & 63) != 63) return static_cast<unsigned>(word & 3);
        return static_cast<unsigned>((word & 1) | ((bits[static_cast<std::size_t>(j >> 6) + 1] & 1) << 1));
    }

    // Whether a cell around corner column k of corner line `line` is outside
    // the window or holds no data (the ring's cells are in the mask, but no
    // face covers them).
    bool onOutline(std::int64_t k, std::int64_t line, unsigned above, unsigned below) const {
        return (above & below) != 3 || k == 1 || k > lastK_ || line == window_.yMin || line > window_.yMax;
    }

    // The vertex of corner column k (the west edge of column xMin - 1 + k, or
    // the window's east edge) on corner line `line`, between the value rows up and down.
    void putCorner(std::int64_t k, std::int64_t line, double north, const std::uint64_t* up, const std::uint64_t* down,
                   const double* upValues, const double* downValues) {
        double* vertex = rows_.next();
        if (vertex == nullptr) return;
        ++handedOver_;
        const std::int64_t col = window_.xMin + k - 1;
        vertex[0] = col <= window_.xMax ? xWest(edges_, col) : xEast(edges_, window_.xMax);
        vertex[1] = north;
        const unsigned above = twoCells(up, k), below = twoCells(down, k);
        vertex[2] = mean(k, above, below, upValues, downValues) * unitScale_ - zShift_;
        if (normals_ != nullptr) {
            const double* normal = lineNormals_ + 3 * (k - 1);
            double* to = rows_.normalOf(vertex);
            to[0] = normal[0];
            to[1] = normal[1];
            to[2] = normal[2];
        }
        if (outline_) rows_.markLast(onOutline(k, line, above, below));
        if (uv_) {
            // v is the line's: one division a line, not a vertex.
            if (line != uvLine_) {
                uvLine_ = line;
                lineV_ = cornerV(uvExtent_, line);
            }
            double* to = rows_.uvOf(vertex);
            to[0] = cornerU(uvExtent_, col);
            to[1] = lineV_;
        }
    }

    CellMask& mask_;
    bool fillMask_;
    CropWindow window_;
    const CellEdges& edges_;
    double unitScale_;
    double zShift_;
    CornerScratch& s_;
    VertexRows& rows_;
    std::int64_t nextRow_;
    std::int64_t currentRow_ = -1;
    double* rowValues_ = nullptr;  // the values of currentRow_
    CornerNormalStream* normals_ = nullptr;
    const double* lineNormals_ = nullptr;  // the normals of the line being handed over
    bool uv_ = false;
    bool outline_ = false;
    std::int64_t lastK_ = 0;  // the corner column of the window's east edge
    CropWindow uvExtent_{};
    std::int64_t uvLine_ = INT64_MIN;  // the corner line lineV_ is the v of
    double lineV_ = 0.0;
    std::int64_t handedOver_ = 0;
};

}  // namespace morvale
