#pragma once
// Running the conversions of a tile set on worker threads: the first pass
// (each tile's border into the seam index) and the second (each tile's
// conversion), `workers` at a time, one tile per worker at a time.
//
// A failing tile does not stop the others. A cancel request (the set's flag)
// reaches the running conversions at their next progress step, and tiles not
// yet started are not started. Each conversion gets its own cancel flag,
// because the end of a run clears the flag it was given.
//
// Memory: a worker holds one tile's conversion at a time, plus the seam index
// shared read-only by all of them.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_request.h"
#include "convert/conversion_stats.h"
#include "convert/exit_status.h"
#include "grid/cell_source.h"
#include "tiles/seam_index.h"
#include "tiles/tile_set.h"

namespace morvale {

// One conversion of a run: a prepared request, and for a tile of the set the
// tile (its cells then come from a TileCellSource over the seam index);
// tile is null for a grid converted alone.
struct TileJob {
    ConversionRequest request;
    const SetTile* tile = nullptr;
    std::int32_t ringDepth = 1;  // 2 when the conversion computes vertex normals
    std::filesystem::path name;  // the table's name for the job; the input's path when empty
};

struct TileOutcome {
    bool started = false;
    ConversionResult result = 0;
    ConversionStats stats;
    ExitStatus exitStatus = ExitStatus::success;  // as morvale-convert's for one grid
    const char* inputKind = nullptr;              // a header that failed: the raster it is instead ("a TIFF image")
    std::string reason;                           // a raster tile that failed midway: GDAL's message
};

// The per-tile conversion: `cells` is null when the request's input file is
// read as it is.
using TileConverter = std::function<ConversionResult(const ConversionRequest& request, CellSource* cells,
                                                     std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                                     ConversionStats& stats)>;

// The converter a real run uses: the request as it is, or, for a tile of a
// set, the same request reading its body from `cells` (the tile's own file
// and its neighbours' borders) instead of the input file.
ConversionResult convertPreparedTile(const ConversionRequest& request, CellSource* cells,
                                     std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                     ConversionStats& stats, PipelineMode mode = PipelineMode::threaded);

// convertPreparedTile as a set run uses it: each conversion inlined on its
// worker's thread (same bytes), so that -j N keeps N cores busy and -j 1 one,
// which is what a batch scheduler granting one core per process expects.
TileConverter tileConverter();

// The set's view of its conversions; called from the worker threads (it must
// be thread-safe). `step` is a progress step of a running conversion.
class SetProgress {
public:
    virtual ~SetProgress() = default;
    virtual void started(std::size_t job) {}
    virtual void step(std::size_t job) {}
    virtual void finished(std::size_t job, const TileOutcome& outcome) {}
};

// Up to `workers` threads (at least 1, at most one per item); 0 means the
// number of cores.
int workerCount(int requested, std::size_t items);

// The first pass over the set, in parallel: every tile's border. `opened[i]`
// is false when tile i could not be read.
SeamIndex collectSetSeams(const TileSetPlan& plan, std::int32_t depth, int workers,
                          const std::atomic<bool>& cancelRequested, SetProgress& progress, std::vector<char>& opened);

// The second pass: every job, in parallel. `index` may be null when no job is a tile of a set.
std::vector<TileOutcome> runTileJobs(const std::vector<TileJob>& jobs, const SeamIndex* index, int workers,
                                     const std::atomic<bool>& cancelRequested, const TileConverter& convert,
                                     SetProgress& progress);

// The closing table: one line per job (name, result, counts, time, output).
std::string tileTableText(const std::vector<TileJob>& jobs, const std::vector<TileOutcome>& outcomes);

}  // namespace morvale
