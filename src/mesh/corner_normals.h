#pragma once
// Vertex normals of the Interpolated surface: the normal of the height field
// at each corner, from the corners around it.
//
// Corners are addressed on the grid's lattice: corner column c is the west
// edge of grid column c (ncols + 1 is the east edge of the grid), corner line
// r the north edge of grid row r (nrows + 1 is the south edge). A corner's
// elevation is the mean of the data cells of the whole grid that touch it
// (north-west, north-east, south-west, south-east, summed in that order), and
// the corner exists when at least one of them holds data. Existence is a
// property of the grid, not of a crop window: a corner on a window's edge
// takes its differences across the edge exactly as the adjacent crop does, so
// both write the same normal there. Differences are central where both
// neighbours exist and one-sided where one is missing (the grid's outline,
// holes in the data); with neither the slope along that axis counts as flat.
//
// The normal is the cross product of the surface's tangents along the lattice
// in output units, taken in the order the faces are wound (see the face
// orientation of the builders), so it always points to the side the faces
// face: up in the map frame (positive elevation component), also when a
// negative unit scale mirrors every coordinate, as the winding mirrors with
// it. The axis order is a rotation, which the writer applies to the normal
// like to a position.
//
// Normals are in the map frame (east, north, elevation), unit length, and do
// not depend on the centring of elevations. A cell size of 0 (faces without
// area) or a non-finite result (overflowing elevations) gives (0, 0, 1).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "grid/body_window.h"

namespace morvale {

// One line of corners, element k for consecutive corner columns.
struct CornerLine {
    const double* elevation = nullptr;  // output units (value * unitScale)
    const std::uint8_t* exists = nullptr;
};

// The normals of `here`'s corners 1..count (element 0 and count + 1 are their
// west and east neighbours, whose normals are not written). `above` is the
// corner line to the north (r - 1), `below` the one to the south (r + 1);
// null for a line off the grid. `cellEdge` is unitScale * cellsize. Writes
// 3 * count doubles. A corner that does not exist gets a normal too (from its
// existing neighbours); callers skip it.
void cornerLineNormals(double* normals, const CornerLine* above, const CornerLine& here, const CornerLine* below,
                       std::size_t count, double cellEdge);

// The corner line between two cell rows (north above, south below): for
// corner k (0..count-1), the cells k and k + 1 of each row are the ones west
// and east of it. A row's `value`s count only where `hasData` is set; a null
// row is off the grid. Writes count elevations (mean * unitScale) and flags.
struct CellRow {
    const double* value = nullptr;
    const std::uint8_t* hasData = nullptr;
};
void cornerLineFromCells(double* elevation, std::uint8_t* exists, const CellRow* north, const CellRow* south,
                         std::size_t count, double unitScale);

// The normals of a crop window's corners while the body is read: feed it the
// data cells of the window and of the two cells around it in file order
// (cells further out are ignored), and ask for a corner line's normals once
// the grid rows through r + 1 are complete (a cell of a later row arrived, or
// the body ended), before any cell of row r + 3 arrives. It keeps five cell
// rows, three corner lines and two normal lines, window-wide.
class CornerNormalStream {
public:
    // Throws std::bad_alloc when the rows do not fit in memory.
    CornerNormalStream(const CropWindow& window, double unitScale, double cellEdge);

    void cell(std::int64_t row, std::int64_t col, double value);

    // 3 doubles per corner column xMin .. xMax + 1 of corner line r (yMin ..
    // yMax + 1); valid until normals of a line two further on are asked for.
    const double* normals(std::int64_t r);

private:
    std::size_t cellSlot(std::int64_t row) const;
    const CornerLine* line(std::int64_t r);

    CropWindow window_;
    double unitScale_;
    double cellEdge_;
    std::size_t cellWidth_;    // columns xMin - 2 .. xMax + 2
    std::size_t cornerWidth_;  // corner columns xMin - 1 .. xMax + 2
    std::size_t normalWidth_;  // corner columns xMin .. xMax + 1
    std::int64_t cellRow_[5];
    // The row the cells come from now (rows arrive in order) and its slot's elements.
    std::int64_t claimedRow_ = INT64_MIN;
    double* rowValues_ = nullptr;
    std::uint8_t* rowData_ = nullptr;
    std::vector<double> cellValue_;
    std::vector<std::uint8_t> cellData_;
    std::int64_t cornerRow_[3];
    std::vector<double> cornerElevation_;
    std::vector<std::uint8_t> cornerExists_;
    CornerLine corners_[3];
    std::int64_t normalRow_[2];
    std::vector<double> normal_;
};

}  // namespace morvale
