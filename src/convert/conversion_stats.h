#pragma once
// The result of a mesh builder and the counters of the last conversion.

#include <atomic>
#include <cstdint>
#include <system_error>

namespace morvale {

using ConversionResult = std::int32_t;

enum : ConversionResult {
    conversionFinished = 1,            // ran to its end, also when cancelled or a check failed
    conversionInputUnreadable = -1,    // "Can't open input file..."
    conversionOutputUncreatable = -2,  // "Can't create output file..."
    conversionVertexTableFailed = -3,  // "Can't allocate memory for vertex table..."
    conversionQuadTableFailed = -4,    // "Can't allocate memory for quad table..."
    conversionWriteFailed = -5,        // "Can't write output file..."
    conversionOutputIsInput = -6,      // "Output file is the same as the input file..."
    conversionBadCellSize = -7,        // "Cell size must be greater than zero..."
    // An input of a tile set whose grid header is corrupted: listed, never
    // converted (the window reads the header when a grid is opened).
    conversionHeaderCorrupted = -8,
    // --solid BASE at or above the lowest vertex of the surface: the walls
    // would cross it. Found by a first build before the output is touched
    // (ConversionStats::surfaceLowest tells the lowest elevation).
    conversionSolidBaseNotBelow = -9,
    // A tile that the seam index it is converted with does not match: edited
    // since the index was written, or not in it. Listed, never converted.
    conversionTileNotAsIndexed = -10,
    // A solid asked of a crop window without a data cell: no surface to
    // close. Nothing is kept; an earlier file under the output's name stays.
    conversionSolidWithoutCells = -11,
    // The cell source stopped on an error of its own midway (a truncated
    // raster): nothing is kept; an earlier file under the output's name stays.
    conversionInputFailedMidway = -12,
};

// True for the results that end a job with a failure box instead of a summary.
constexpr bool isFailureResult(ConversionResult result) { return result <= -1 && result >= -7; }

struct ConversionStats {
    double seconds = 0.0;
    std::int32_t status = 0;  // -1 cancelled, 0 a check failed, 1 both checks passed
    std::int64_t vertexCount = 0;
    std::int64_t triangleCount = 0;
    std::int64_t quadCount = 0;
    std::int64_t noDataCount = 0;
    std::int64_t rowsExpected = 0;
    std::int64_t rowsRead = 0;
    std::int64_t recordsExpected = 0;
    std::int64_t recordsRead = 0;
    bool rowsOk = false;
    bool recordsOk = false;
    double errorReached = -1.0;  // simplified Interpolated runs: the largest vertical error; else -1
    bool budgetReached = true;   // false: --max-triangles asked for fewer than holes and borders need
    double surfaceLowest = 0.0;  // conversionSolidBaseNotBelow: the surface's lowest elevation (grid units)
    // conversionOutputUncreatable and conversionWriteFailed: the system's
    // reason, when it told one ("No space left on device").
    std::error_code outputError;
    // With ConversionRequest::measureModel or a solid (output units): the
    // surface's range and the solid's base (the lowest elevation without one).
    bool modelMeasured = false;
    double modelLowest = 0.0;
    double modelHighest = 0.0;
    double modelBase = 0.0;
};

// Fills stats at the end of a run; reads the cancel flag to mark a cancelled run.
void recordStats(ConversionStats& stats, const std::atomic<bool>& cancelRequested, double seconds,
                 std::int64_t vertexCount, std::int64_t quadCount, std::int64_t noDataCount, std::int64_t rowsExpected,
                 std::int64_t rowsRead, std::int64_t recordsExpected, std::int64_t recordsRead);

}  // namespace morvale
