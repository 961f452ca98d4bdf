#pragma once
// Where the edges of a grid cell lie in output units. Both builders use these
// functions, so neighbouring cells and adjacent crops share their edges exactly.

#include <cstdint>

#include "grid/grid_header.h"

namespace morvale {

struct CellEdges {
    double cellEdge = 0.0;      // unitScale * cellsize: one cell's side in output units
    double xOffsetCells = 0.0;  // lower-left corner of the whole grid, in cells
    double yOffsetCells = 0.0;
    std::int32_t nrows = 0;
};

// With offsets the grid keeps its real-world position (corner of the lower-left
// cell); without, the whole grid (never the crop window) is centred on the origin.
inline CellEdges makeCellEdges(const GridHeader& header, bool useXllYllOffsets, double unitScale) {
    CellEdges edges;
    edges.cellEdge = unitScale * header.cellsize;
    edges.nrows = header.nrows;
    if (useXllYllOffsets) {
        edges.xOffsetCells = (header.xllIsCenter ? header.xll - header.cellsize * 0.5 : header.xll) / header.cellsize;
        edges.yOffsetCells = (header.yllIsCenter ? header.yll - header.cellsize * 0.5 : header.yll) / header.cellsize;
    } else {
        edges.xOffsetCells = -(header.ncols * 0.5);
        edges.yOffsetCells = -(header.nrows * 0.5);
    }
    return edges;
}

inline double xWest(const CellEdges& e, std::int64_t col) {
    return ((static_cast<double>(col) + e.xOffsetCells) - 1.0) * e.cellEdge;
}

inline double yNorth(const CellEdges& e, std::int64_t row) {
    return (((1.0 - static_cast<double>(row)) + e.nrows) + e.yOffsetCells) * e.cellEdge;
}

// The east edge is the next column's west edge, and the south edge the next
// row's north edge; a south edge at exactly 0 stays a negative zero.
inline double xEast(const CellEdges& e, std::int64_t col) { return xWest(e, col + 1) + 0.0; }
inline double ySouth(const CellEdges& e, std::int64_t row) { return -(0.0 - yNorth(e, row + 1)); }

}  // namespace morvale
