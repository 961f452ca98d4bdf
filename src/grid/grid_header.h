#pragma once
// The header of an Esri ASCII grid: the values of its five or six keyword lines
// and the byte offset where the elevation rows begin.

#include <cstdint>
#include <filesystem>

namespace morvale {

// A cell within this of the no-data value is a hole, whichever source reads it.
inline constexpr double noDataTolerance = 0.000001;

struct GridHeader {
    std::int32_t ncols = 0;
    std::int32_t nrows = 0;
    double xll = 0.0;
    double yll = 0.0;
    double cellsize = 0.0;
    double nodataValue = 0.0;  // meaningful only when hasNodata is 1
    std::int32_t xllIsCenter = 0;
    std::int32_t yllIsCenter = 0;
    std::int32_t hasNodata = 0;
    std::int64_t dataStart = 0;  // byte offset of the first elevation row, -1 when none
};

enum GridHeaderResult : int {
    gridHeaderOk = 1,
    gridHeaderCorrupted = 0,
    gridHeaderUnopenable = -1,
};

// Reads the header of the grid at inputPath into header. Returns 1 when the
// header is good, 0 when it is corrupted (fields up to the failing one are
// overwritten), -1 when the file cannot be opened (header untouched).
int readGridHeader(const std::filesystem::path& inputPath, GridHeader& header);

}  // namespace morvale
