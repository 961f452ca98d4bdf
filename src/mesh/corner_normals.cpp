#include "mesh/corner_normals.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace morvale {
namespace {

// The difference per lattice step at element k: central, one-sided or none.
double slope(const double* elevation, const std::uint8_t* exists, std::size_t k) {
    const bool west = exists[k - 1] != 0, east = exists[k + 1] != 0;
    if (west && east) return (elevation[k + 1] - elevation[k - 1]) * 0.5;
    if (east) return elevation[k + 1] - elevation[k];
    if (west) return elevation[k] - elevation[k - 1];
    return 0.0;
}

double slopeAcross(const CornerLine* north, const CornerLine& here, const CornerLine* south, std::size_t k) {
    const bool up = north != nullptr && north->exists[k] != 0;
    const bool down = south != nullptr && south->exists[k] != 0;
    if (up && down) return (south->elevation[k] - north->elevation[k]) * 0.5;
    if (down) return south->elevation[k] - here.elevation[k];
    if (up) return here.elevation[k] - north->elevation[k];
    return 0.0;
}

// Scaled by the largest component first when squaring could overflow or
// lose every digit; one square root and one division either way. A sum of
// squares between 4e-300 and 1e299 puts the largest component well within
// 1e-150 and 1e150, where nothing is scaled (also after its rounding).
void putUnit(double* out, double x, double y, double z) {
    const double squares = x * x + y * y + z * z;
    if (squares > 4e-300 && squares < 1e299) [[likely]] {
        const double inverse = 1.0 / std::sqrt(squares);
        out[0] = x * inverse;
        out[1] = y * inverse;
        out[2] = z * inverse;
        return;
    }
    double m = std::fmax(std::fabs(x), std::fmax(std::fabs(y), std::fabs(z)));
    if (!(m > 0.0) || !std::isfinite(m)) {
        out[0] = 0.0;
        out[1] = 0.0;
        out[2] = 1.0;
        return;
    }
    if (m > 1e150 || m < 1e-150) {
        x /= m;
        y /= m;
        z /= m;
    }
    const double inverse = 1.0 / std::sqrt(x * x + y * y + z * z);
    out[0] = x * inverse;
    out[1] = y * inverse;
    out[2] = z * inverse;
}

}  // namespace

void cornerLineNormals(double* normals, const CornerLine* above, const CornerLine& here, const CornerLine* below,
                       std::size_t count, double cellEdge) {
    assert(here.elevation != nullptr && here.exists != nullptr);
    // Position P(c, r) = (c * s, -r * s, Z) with s = cellEdge. The faces run
    // bottom-left, bottom-right, top-right, top-left, so their normal is
    // dP/dr x dP/dc = (-s Zc, s Zr, s^2); divided by |s| it keeps its direction.
    const double sign = cellEdge < 0.0 ? -1.0 : 1.0;
    const double size = std::fabs(cellEdge);
    // Without an extent the faces have no area and no direction: take up.
    const bool flat = !(size > 0.0) || !std::isfinite(size);
    for (std::size_t k = 1; k <= count; ++k) {
        const double zc = slope(here.elevation, here.exists, k);
        const double zr = slopeAcross(above, here, below, k);
        if (flat)
            putUnit(normals + 3 * (k - 1), 0.0, 0.0, 1.0);
        else
            putUnit(normals + 3 * (k - 1), -sign * zc, sign * zr, size);
    }
}

void cornerLineFromCells(double* elevation, std::uint8_t* exists, const CellRow* north, const CellRow* south,
                         std::size_t count, double unitScale) {
    for (std::size_t k = 0; k < count; ++k) {
        double sum = 0.0;
        unsigned cells = 0;
        for (const CellRow* row : {north, south}) {
            if (row == nullptr) continue;
            if (row->hasData[k]) {
                sum += row->value[k];
                ++cells;
            }
            if (row->hasData[k + 1]) {
                sum += row->value[k + 1];
                ++cells;
            }
        }
        // The builders' mean: dividing by 1, 2 or 4 is multiplying by the inverse.
        const double mean = cells == 3 ? sum / 3 : sum * (cells == 4 ? 0.25 : cells == 2 ? 0.5 : 1.0);
        elevation[k] = cells == 0 ? 0.0 : mean * unitScale;
        exists[k] = cells != 0;
    }
}

CornerNormalStream::CornerNormalStream(const CropWindow& window, double unitScale, double cellEdge)
    : window_(window), unitScale_(unitScale), cellEdge_(cellEdge),
      cellWidth_(static_cast<std::size_t>(std::int64_t{window.xMax} - window.xMin + 5)), cornerWidth_(cellWidth_ - 1),
      normalWidth_(cellWidth_ - 3), cellValue_(5 * cellWidth_, 0.0), cellData_(5 * cellWidth_, 0),
      cornerElevation_(3 * cornerWidth_, 0.0), cornerExists_(3 * cornerWidth_, 0), normal_(2 * 3 * normalWidth_, 0.0) {
    assert(window.xMin <= window.xMax && window.yMin <= window.yMax);
    for (std::int64_t& r : cellRow_) r = INT64_MIN;
    for (std::int64_t& r : cornerRow_) r = INT64_MIN;
    for (std::int64_t& r : normalRow_) r = INT64_MIN;
    for (std::size_t s = 0; s < 3; ++s)
        corners_[s] = {cornerElevation_.data() + s * cornerWidth_, cornerExists_.data() + s * cornerWidth_};
}

std::size_t CornerNormalStream::cellSlot(std::int64_t row) const { return static_cast<std::size_t>((row % 5 + 5) % 5); }

void CornerNormalStream::cell(std::int64_t row, std::int64_t col, double value) {
    const std::int64_t k = col - (std::int64_t{window_.xMin} - 2);
    if (k < 0 || k >= static_cast<std::int64_t>(cellWidth_)) return;
    if (row != claimedRow_) {
        if (row < std::int64_t{window_.yMin} - 2 || row > std::int64_t{window_.yMax} + 2) return;
        const std::size_t slot = cellSlot(row);
        if (cellRow_[slot] != row) {
            // A row without data cells never claims its slot, so it reads as empty.
            std::fill(cellData_.data() + slot * cellWidth_, cellData_.data() + (slot + 1) * cellWidth_,
                      std::uint8_t{0});
            cellRow_[slot] = row;
        }
        claimedRow_ = row;
        rowValues_ = cellValue_.data() + slot * cellWidth_;
        rowData_ = cellData_.data() + slot * cellWidth_;
    }
    rowValues_[k] = value;
    rowData_[k] = 1;
}

const CornerLine* CornerNormalStream::line(std::int64_t r) {
    const std::size_t slot = static_cast<std::size_t>((r % 3 + 3) % 3);
    if (cornerRow_[slot] != r) {
        CellRow rows[2];
        const CellRow* present[2] = {nullptr, nullptr};
        for (int side = 0; side < 2; ++side) {
            const std::int64_t row = r - 1 + side;
            const std::size_t s = cellSlot(row);
            if (cellRow_[s] != row) continue;
            rows[side] = {cellValue_.data() + s * cellWidth_, cellData_.data() + s * cellWidth_};
            present[side] = &rows[side];
        }
        cornerLineFromCells(cornerElevation_.data() + slot * cornerWidth_, cornerExists_.data() + slot * cornerWidth_,
                            present[0], present[1], cornerWidth_, unitScale_);
        cornerRow_[slot] = r;
    }
    return &corners_[slot];
}

const double* CornerNormalStream::normals(std::int64_t r) {
    assert(r >= window_.yMin && r <= std::int64_t{window_.yMax} + 1);
    const std::size_t slot = static_cast<std::size_t>(r % 2);
    double* out = normal_.data() + slot * 3 * normalWidth_;
    if (normalRow_[slot] == r) return out;
    // Lines off the grid have no data cells, so they come out without corners.
    const CornerLine above = *line(r - 1);
    const CornerLine below = *line(r + 1);
    const CornerLine here = *line(r);
    cornerLineNormals(out, &above, here, &below, normalWidth_, cellEdge_);
    normalRow_[slot] = r;
    return out;
}

}  // namespace morvale
