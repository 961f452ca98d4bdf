#pragma once
// Drives the terrain simplifier from a grid held in memory (the way a builder
// feeds it) and checks its output by brute force: the error bound at every
// full-mesh vertex, exact coverage of the data cells, orientation, vertices
// taken from the full mesh, no T-junction. Shared by the unit tests, the fuzz
// target and the benchmark.

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/simplify/terrain_simplifier.h"

namespace simplify_harness {

struct CellGrid {
    std::int32_t rows = 0, cols = 0;
    std::vector<double> value;                            // row by row, row 1 first
    std::vector<std::uint8_t> data;                       // 1: the cell has data
    bool has(std::int32_t row, std::int32_t col) const {  // 1-based; outside: no data
        return row >= 1 && col >= 1 && row <= rows && col <= cols &&
               data[static_cast<std::size_t>((row - 1) * cols + (col - 1))];
    }
    double at(std::int32_t row, std::int32_t col) const {
        return value[static_cast<std::size_t>((row - 1) * cols + (col - 1))];
    }
};

// Reads an Esri ASCII grid with the project's reader; false when it fails.
bool loadGrid(const std::string& path, CellGrid& grid);

// The mean of the data cells of the window and its ring around a corner
// (the corner north-west of cell (row, col)); 0 when none has data.
double cornerMean(const CellGrid& grid, const morvale::SimplifyWindow& window, std::int32_t row, std::int32_t col);

struct Mesh {
    std::vector<std::int32_t> cornerRow, cornerCol;  // per vertex, grid numbering
    std::vector<double> height;                      // per vertex, as placed
    std::vector<std::int64_t> triangles;             // 1-based, 3 per triangle
    morvale::SimplifyTotals totals;
    std::int64_t settledCalls = 0;
    bool orderOk = true;     // every vertex before the first face
    bool spooled = false;    // the spool file was there when the faces came
    bool spoolLeft = false;  // and still there after the simplifier was destroyed
};

// Simplifies the window; with countOnly no sink is given. facesInMemory:
// how many faces wait in memory before they go to a spool file (in the
// system's temporary folder).
Mesh simplify(const CellGrid& grid, const morvale::SimplifyWindow& window, double maxError, bool countOnly = false,
              std::size_t facesInMemory = morvale::kFacesInMemory, int helperThreads = 1);

// The first pass of --max-triangles over the window.
morvale::BudgetChoice chooseForBudget(const CellGrid& grid, const morvale::SimplifyWindow& window, std::int64_t budget);

// Empty when the mesh passes every check; else the first problem found.
// `worstError` receives the largest distance found.
std::string check(const CellGrid& grid, const morvale::SimplifyWindow& window, double maxError, const Mesh& mesh,
                  double* worstError = nullptr);

}  // namespace simplify_harness
