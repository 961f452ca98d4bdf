#include "tiles/tile_jobs.h"

#include "app/grid_names.h"
#include "obj/obj_writer.h"

namespace morvale {

namespace {

TileJob jobFor(const std::filesystem::path& input, const GridHeader& header, const CropWindow& window,
               const ConversionSettings& settings, const std::optional<std::filesystem::path>& outputFolder) {
    const GridNames names = deriveGridNames(input);
    TileJob job;
    ConversionRequest& r = job.request;
    r.inputPath = input;
    r.outputPath = outputFolder ? *outputFolder / names.outputPath.filename() : names.outputPath;
    r.header = header;
    r.settings = settings;
    r.settings.cropXMin = window.xMin;
    r.settings.cropYMin = window.yMin;
    r.settings.cropXMax = window.xMax;
    r.settings.cropYMax = window.yMax;
    r.inputNameNarrow = names.inputNameNarrow;
    r.objectNameNarrow = names.objectNameNarrow;
    r.objHeaderText = objHeaderText();
    return job;
}

}  // namespace

std::vector<TileJob> prepareTileJobs(const TileSetPlan& plan, const ConversionSettings& settings,
                                     const std::optional<std::filesystem::path>& outputFolder) {
    std::vector<TileJob> jobs;
    jobs.reserve(plan.tiles.size() + plan.alone.size());
    for (const SetTile& tile : plan.tiles) {
        // The merged grid places the tile; the data start is the tile file's own, so
        // that the request still names a readable input.
        GridHeader header = plan.merged;
        header.dataStart = tile.header.dataStart;
        jobs.push_back(jobFor(tile.path, header, mergedCropWindow(tile.window), settings, outputFolder));
        jobs.back().tile = &tile;
    }
    for (const AloneTile& alone : plan.alone)
        jobs.push_back(
            jobFor(alone.path, alone.header, {1, 1, alone.header.ncols, alone.header.nrows}, settings, outputFolder));
    return jobs;
}

}  // namespace morvale
