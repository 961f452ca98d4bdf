#include "tiles/tile_jobs.h"

#include "app/grid_names.h"
#include "obj/obj_writer.h"

namespace morvale {

namespace {

TileJob jobFor(const std::filesystem::path& input, const GridHeader& header, const CropWindow& window,
               const ConversionRequest& common, const std::optional<std::filesystem::path>& outputFolder) {
    const GridNames names = deriveGridNames(input);
    TileJob job;
    ConversionRequest& r = job.request;
    r = common;
    r.cells = nullptr;
    r.inputPath = input;
    r.outputPath = outputFolder ? *outputFolder / names.outputPath.filename() : names.outputPath;
    r.outputPath.replace_extension(formatExtension(common.format));
    r.header = header;
    r.settings.cropXMin = window.xMin;
    r.settings.cropYMin = window.yMin;
    r.settings.cropXMax = window.xMax;
    r.settings.cropYMax = window.yMax;
    r.inputNameNarrow = names.inputNameNarrow;
    r.objectNameNarrow = names.objectNameNarrow;
    r.objHeaderText = objHeaderText();
    // Normals at the tile's edge reach two cells into the neighbours.
    job.ringDepth = common.attributes.normals ? 2 : 1;
    return job;
}

}  // namespace

std::vector<TileJob> prepareTileJobs(const TileSetPlan& plan, const ConversionRequest& common,
                                     const std::optional<std::filesystem::path>& outputFolder) {
    std::vector<TileJob> jobs;
    jobs.reserve(plan.tiles.size() + plan.alone.size());
    for (const SetTile& tile : plan.tiles) {
        // The merged grid places the tile; the data start is the tile file's own, so
        // that the request still names a readable input.
        GridHeader header = plan.merged;
        header.dataStart = tile.header.dataStart;
        jobs.push_back(jobFor(tile.path, header, mergedCropWindow(tile.window), common, outputFolder));
        jobs.back().tile = &tile;
    }
    for (const AloneTile& alone : plan.alone)
        jobs.push_back(
            jobFor(alone.path, alone.header, {1, 1, alone.header.ncols, alone.header.nrows}, common, outputFolder));
    return jobs;
}

std::vector<TileJob> prepareGridTileJobs(const TileHeader& input, const GridTiling& tiling,
                                         const ConversionRequest& common,
                                         const std::optional<std::filesystem::path>& outputFolder, std::int32_t onlyRow,
                                         std::int32_t onlyCol) {
    std::vector<TileJob> jobs;
    const bool one = onlyRow > 0 && onlyCol > 0;
    for (std::int32_t row = 1; row <= tiling.tileRows; ++row) {
        for (std::int32_t col = 1; col <= tiling.tileCols; ++col) {
            if (one && (row != onlyRow || col != onlyCol)) continue;
            TileJob job = jobFor(input.path, input.header, gridTileWindow(tiling, row, col), common, outputFolder);
            std::filesystem::path& out = job.request.outputPath;
            std::filesystem::path name = out.stem();
            name += gridTileSuffix(tiling, row, col);
            name += out.extension();
            out.replace_filename(name);
            job.name = name.stem();
            jobs.push_back(std::move(job));
        }
    }
    return jobs;
}

}  // namespace morvale
