#include "grid/wide_read.h"

#include <cassert>

namespace morvale {
namespace {

std::int64_t clampTo(std::int64_t v, std::int64_t low, std::int64_t high) { return std::min(std::max(v, low), high); }

}  // namespace

GridBodyCounts cropCounts(const GridBodyCounts& wide, const CropWindow& reading, const CropWindow& crop,
                          std::int64_t cropDataCells) {
    assert(reading.xMin <= crop.xMin && crop.xMax <= reading.xMax);
    assert(reading.yMin <= crop.yMin && crop.yMax <= reading.yMax);
    const std::int64_t cropWidth = std::int64_t{crop.xMax} - crop.xMin + 1;
    const std::int64_t cropHeight = std::int64_t{crop.yMax} - crop.yMin + 1;
    const std::int64_t rowsAbove = std::int64_t{crop.yMin} - reading.yMin;
    GridBodyCounts counts;
    // Rows complete in file order, so the first rowsRead rows of the wide window are the complete ones.
    counts.rowsRead = clampTo(wide.rowsRead - rowsAbove, 0, cropHeight);
    // The numbers read in the wide window are its first recordsRead cells, row by row.
    const std::int64_t readingWidth = std::int64_t{reading.xMax} - reading.xMin + 1;
    const std::int64_t fullRows = wide.recordsRead / readingWidth;
    const std::int64_t partial = wide.recordsRead % readingWidth;
    const std::int64_t cropFullRows = clampTo(fullRows - rowsAbove, 0, cropHeight);
    counts.recordsRead = cropFullRows * cropWidth;
    if (fullRows >= rowsAbove && fullRows < rowsAbove + cropHeight)
        counts.recordsRead += clampTo(partial - (std::int64_t{crop.xMin} - reading.xMin), 0, cropWidth);
    counts.noDataCount = counts.recordsRead - cropDataCells;
    return counts;
}

}  // namespace morvale
