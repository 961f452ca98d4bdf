#include "cli/tile_command.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "app/summary_text.h"
#include "app/text_format.h"
#include "base/platform_file.h"
#include "convert/conversion_files.h"
#include "convert/texture_check.h"
#include "grid/degrees_grid.h"
#include "grid/raster_signature.h"
#include "tiles/grid_cuts.h"
#include "tiles/grid_tiling.h"
#include "tiles/seam_file.h"
#include "tiles/seam_freshness.h"
#include "tiles/seam_pieces.h"
#include "tiles/tile_jobs.h"
#include "tiles/tile_run.h"
#include "tiles/tile_set.h"
#ifdef MORVALE_GDAL
#include "raster/raster_source.h"
#endif

namespace morvale::cli {

namespace {

// What a folder of tiles is searched for (listFolderGrids).
#ifdef MORVALE_GDAL
constexpr const char* folderGridKinds = ".asc, .tif or .tiff";
#else
constexpr const char* folderGridKinds = ".asc";
#endif

std::string quoted(const std::filesystem::path& path) {
    std::string text(1, '\'');
    text += utf8Text(path);
    text += '\'';
    return text;
}

// One line on a terminal for the whole set: tiles done, running and failed.
// Redrawn at most ten times a second, from whichever worker reports.
class SetProgressLine final : public SetProgress {
public:
    SetProgressLine(std::FILE* out, const char* phase, std::size_t total, bool shown)
        : out_(out), phase_(phase), total_(total), shown_(shown) {}
    ~SetProgressLine() override {
        if (drawn_) std::fputc('\n', out_);
    }
    void started(std::size_t) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++running_;
        draw(false);
    }
    void step(std::size_t) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        draw(false);
    }
    void finished(std::size_t, const TileOutcome& outcome) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        --running_;
        ++done_;
        if (outcome.exitStatus != ExitStatus::success) ++failed_;
        draw(done_ == total_);
    }

private:
    void draw(bool always) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!always && drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        constexpr std::size_t width = 30;
        char bar[width + 1];
        const std::size_t filled = total_ ? done_ * width / total_ : width;
        for (std::size_t i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '.';
        bar[width] = '\0';
        std::fprintf(out_, "\r[%s] %zu/%zu tiles  %s  %zu running  %zu not OK   ", bar, done_, total_, phase_, running_,
                     failed_);
        std::fflush(out_);
        drawn_ = true;
    }
    std::mutex mutex_;
    std::FILE* out_;
    const char* phase_;
    std::size_t total_;
    bool shown_;
    bool drawn_ = false;
    std::size_t done_ = 0, running_ = 0, failed_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

struct Inputs {
    std::vector<TileHeader> readable;
    std::vector<TileJob> unreadable;  // table rows for the inputs refused before any conversion
    std::vector<TileOutcome> unreadableOutcomes;
};

// A table row for an input that is never converted.
void refuseInput(Inputs& inputs, const std::filesystem::path& path, ConversionResult result,
                 const char* inputKind = nullptr) {
    TileJob job;
    job.request.inputPath = path;
    TileOutcome outcome;
    outcome.started = true;
    outcome.result = result;
    outcome.inputKind = inputKind;
    outcome.exitStatus = conversionExitStatus(result, outcome.stats);
    inputs.unreadable.push_back(std::move(job));
    inputs.unreadableOutcomes.push_back(outcome);
}

Inputs readInputs(const CliOptions& options) {
    std::vector<std::filesystem::path> paths;
    for (const std::filesystem::path& input : options.inputs) {
        std::error_code error;
        if (std::filesystem::is_directory(input, error)) {
            const std::vector<std::filesystem::path> grids = listFolderGrids(input);
            if (grids.empty())
                std::fprintf(stderr, "morvale-convert: cannot open a grid in '%s': the folder holds no %s files\n",
                             utf8Text(input).c_str(), folderGridKinds);
            paths.insert(paths.end(), grids.begin(), grids.end());
        } else {
            paths.push_back(input);
        }
    }
    Inputs inputs;
    std::vector<std::filesystem::path> seen;
    for (const std::filesystem::path& path : paths) {
        // The same file named twice (also through a folder) is converted once.
        std::error_code error;
        std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
        if (error) canonical = path.lexically_normal();
        if (std::find(seen.begin(), seen.end(), canonical) != seen.end()) continue;
        seen.push_back(canonical);
        TileHeader tile{path, {}};
#ifdef MORVALE_GDAL
        if (!hasAsciiGridExtension(path)) {
            RasterOpened raster = openRaster(path, RasterOptions{});
            if (raster.status == RasterOpenStatus::opened) {
                tile.header = raster.source->header();
                inputs.readable.push_back(tile);
                continue;
            }
            if (raster.status == RasterOpenStatus::refused) {
                std::fprintf(stderr, "morvale-convert: '%s' %s\n", utf8Text(path).c_str(), raster.reason.c_str());
                refuseInput(inputs, path, conversionHeaderCorrupted);
                continue;
            }
        }
#endif
        const int result = readGridHeader(path, tile.header);
        if (result == gridHeaderOk) {
            inputs.readable.push_back(tile);
            continue;
        }
        const RasterKind kind = result == gridHeaderUnopenable ? RasterKind{} : fileRasterKind(path);
        if (kind.what != nullptr)
            std::fprintf(stderr, "morvale-convert: '%s' %s\n", utf8Text(path).c_str(),
                         notAGridText(kind, path).c_str());
        else
            std::fprintf(stderr, "morvale-convert: '%s': %s\n", utf8Text(path).c_str(),
                         result == gridHeaderUnopenable ? "cannot be opened" : "the grid header is corrupted");
        refuseInput(inputs, path,
                    result == gridHeaderUnopenable ? conversionInputUnreadable : conversionHeaderCorrupted, kind.what);
    }
    return inputs;
}

// Two inputs of the same name from different folders would write one output.
std::string outputClash(const std::vector<TileJob>& jobs) {
    std::vector<std::pair<std::filesystem::path, std::size_t>> outputs;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        std::error_code error;
        std::filesystem::path out = std::filesystem::weakly_canonical(jobs[i].request.outputPath, error);
        if (error) out = jobs[i].request.outputPath.lexically_normal();
        outputs.emplace_back(out, i);
    }
    std::sort(outputs.begin(), outputs.end());
    for (std::size_t k = 1; k < outputs.size(); ++k) {
        if (outputs[k].first != outputs[k - 1].first) continue;
        const TileJob& a = jobs[std::min(outputs[k - 1].second, outputs[k].second)];
        const TileJob& b = jobs[std::max(outputs[k - 1].second, outputs[k].second)];
        std::string text = quoted(a.request.inputPath);
        text += " and ";
        text += quoted(b.request.inputPath);
        text += " would both write ";
        text += quoted(a.request.outputPath);
        text += "; convert them into different folders";
        return text;
    }
    return {};
}

// Tiles in degrees come in sets: the first one is told in full, the others counted.
void warnAboutDegrees(const std::vector<TileHeader>& tiles) {
    std::size_t count = 0;
    const TileHeader* first = nullptr;
    DegreesSign sign = DegreesSign::none;
    for (const TileHeader& tile : tiles) {
        const DegreesSign found = gridInDegrees(tile.header, tile.path);
        if (found == DegreesSign::none) continue;
        if (count++ == 0) {
            first = &tile;
            sign = found;
        }
    }
    if (first == nullptr) return;
    std::fprintf(stderr, "morvale-convert: warning: '%s' %s\n", utf8Text(first->path).c_str(),
                 degreesWarningText(sign, first->header, first->path).c_str());
    if (count > 1) std::fprintf(stderr, "morvale-convert: warning: so do %zu more inputs\n", count - 1);
}

// With --seams, a tile edited since the index was written, or one the index
// does not list, would meet its neighbours with a step: it is refused (exit
// 3 for that tile), or with --seams-stale ok converted alone.
void checkAgainstIndex(TileSetPlan& plan, const SeamIndex& index, const CliOptions& options,
                       const std::atomic<bool>& cancelRequested, Inputs& inputs) {
    const char* remedy = "write the index again with --write-seams, or give --seams-stale ok to convert it alone";
    std::vector<SetTile> kept;
    for (const SetTile& tile : plan.tiles) {
        if (tileFreshness(tile, index, cancelRequested) == TileFreshness::fresh) {
            kept.push_back(tile);
            continue;
        }
        const AloneTile alone{tile.path, tile.header, AloneReason::changed, {}, 0.0};
        if (options.seamsStaleOk) {
            plan.alone.push_back(alone);
            continue;
        }
        std::fprintf(stderr, "morvale-convert: %s: %s\n", aloneReasonText(alone).c_str(), remedy);
        refuseInput(inputs, tile.path, conversionTileNotAsIndexed);
    }
    plan.tiles = std::move(kept);
    if (options.seamsStaleOk) return;
    for (const AloneTile& alone : plan.alone) {
        std::fprintf(stderr, "morvale-convert: %s: %s\n", aloneReasonText(alone).c_str(), remedy);
        refuseInput(inputs, alone.path, conversionTileNotAsIndexed);
    }
    plan.alone.clear();
}

// A neighbour whose file is there but whose border no index lists would meet
// the tile with a crack (its cells would count as a hole): the tile is refused.
void checkNeighbours(TileSetPlan& plan, const SeamIndex& index, std::int32_t ring, Inputs& inputs) {
    std::vector<SetTile> kept;
    for (const SetTile& tile : plan.tiles) {
        const std::filesystem::path neighbour = unindexedNeighbour(index, tile.path, tile.window, ring);
        if (neighbour.empty()) {
            kept.push_back(tile);
            continue;
        }
        std::fprintf(stderr,
                     "morvale-convert: %s: its neighbour %s is in no seam index given; write its piece with "
                     "--write-seams and give it too (or move the neighbour's file away)\n",
                     quoted(tile.path).c_str(), quoted(neighbour).c_str());
        refuseInput(inputs, tile.path, conversionTileNotAsIndexed);
    }
    plan.tiles = std::move(kept);
}

// True when the path ends as a mesh file of any format does (.obj, .glb...).
bool hasMeshExtension(const std::filesystem::path& path) {
    const std::u8string text = path.extension().u8string();  // string() may throw on Windows beyond ASCII
    std::string extension(text.begin(), text.end());
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const OutputWriter& writer : outputWriters())
        if (extension == writer.extension) return true;
    return false;
}

// What every tile's request shares, checked before any file is read: false
// (after its message) when the options cannot go together.
bool prepareCommon(const CliOptions& options, OutputFormat format, bool checkTexture, ConversionRequest& common) {
    common.settings.mode = options.mode;
    common.format = format;
    common.attributes = options.attributes;
    common.maxError = options.maxError;
    common.zScale = options.zScale;
    if (const char* conflict = conversionConflict(common)) {
        std::fprintf(stderr, "morvale-convert: %s; nothing written\n", conflict);
        return false;
    }
    if (outputWriter(common.format).alwaysSolid) {
        std::fprintf(stderr,
                     "morvale-convert: %s holds a closed solid, which tiles do not make (each tile would "
                     "stand on walls of its own); nothing written\n",
                     outputWriter(common.format).name);
        return false;
    }
    if (!checkTexture) return true;
    const TextureNote texture = checkTextureFor(options.attributes.texture, common.format);
    if (texture.verdict != TextureVerdict::fine) std::fprintf(stderr, "morvale-convert: %s\n", texture.text.c_str());
    return texture.verdict != TextureVerdict::refused;
}

// -o names a folder here; one that ends as a mesh file does is a slip.
void refuseMeshNamedFolder(const std::filesystem::path& output, const char* whose, const char* orElse) {
    std::fprintf(stderr,
                 "morvale-convert: -o '%s' names the output folder of %s, but ends as a mesh file does; give a "
                 "folder name%s\n",
                 utf8Text(output).c_str(), whose, orElse);
}

// False (after its message) when the output folder cannot be made.
bool makeOutputFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (std::filesystem::is_directory(folder, error)) return true;
    std::fprintf(stderr, "morvale-convert: cannot create the output folder '%s'\n", utf8Text(folder).c_str());
    return false;
}

// The settings for a grid (or merged grid) of ncols x nrows, each correction a warning.
ConversionSettings correctedSettings(const CliOptions& options, std::int32_t ncols, std::int32_t nrows) {
    CorrectedSettings corrected = correctSettingValues(settingValues(options), ncols, nrows);
    corrected.settings.mode = options.mode;
    for (const std::string& warning : correctionWarnings(options, corrected, ncols, nrows))
        std::fprintf(stderr, "morvale-convert: warning: %s\n", warning.c_str());
    return corrected.settings;
}

// --tile-size: one input cut into tiles, each the whole grid cropped to it,
// so no seam index is read or written.
ExitStatus runGridTiles(const CliOptions& options, const std::atomic<bool>& cancelRequested) {
    const bool quiet = options.quiet;
    if (options.output && hasMeshExtension(*options.output)) {
        refuseMeshNamedFolder(*options.output, "the tiles", "");
        return ExitStatus::usageError;
    }
    ConversionRequest common;
    if (!prepareCommon(options, options.format.value_or(OutputFormat::obj), true, common))
        return ExitStatus::usageError;

    Inputs inputs = readInputs(options);
    if (inputs.readable.empty()) return ExitStatus::inputRefused;  // the input has had its message
    const TileHeader& input = inputs.readable[0];
    warnAboutDegrees(inputs.readable);
    const GridTiling tiling = tileGrid(input.header.ncols, input.header.nrows, *options.tileSize);
    if (tiling.size.cols < options.tileSize->cols || tiling.size.rows < options.tileSize->rows)
        std::fprintf(stderr,
                     "morvale-convert: note: --tile-size %dx%d is larger than the grid's %d x %d cells; the tiles "
                     "are %d x %d cells\n",
                     static_cast<int>(options.tileSize->cols), static_cast<int>(options.tileSize->rows),
                     static_cast<int>(input.header.ncols), static_cast<int>(input.header.nrows),
                     static_cast<int>(tiling.size.cols), static_cast<int>(tiling.size.rows));
    if (options.tileRow > tiling.tileRows || options.tileCol > tiling.tileCols) {
        std::fprintf(stderr,
                     "morvale-convert: --tile %d,%d lies outside the set of %d rows and %d columns of tiles; "
                     "nothing written\n",
                     static_cast<int>(options.tileRow), static_cast<int>(options.tileCol),
                     static_cast<int>(tiling.tileRows), static_cast<int>(tiling.tileCols));
        return ExitStatus::usageError;
    }
    if (options.output && !makeOutputFolder(*options.output)) return ExitStatus::outputFailed;
    common.settings = correctedSettings(options, input.header.ncols, input.header.nrows);
    std::vector<TileJob> jobs =
        prepareGridTileJobs(input, tiling, common, options.output, options.tileRow, options.tileCol);
    // Where the tiles' columns start in every row, so that no tile reads the grid from its start. One
    // tile alone reads it from the start: finding its rows would cost as much.
    const GridCuts cuts = options.tileRow > 0 ? GridCuts{}
                                              : indexGridCuts(input.path, input.header, tilingCutColumns(tiling), 1,
                                                              input.header.nrows, cancelRequested);
    const GridCutCellSource cells(input.path, input.header, cuts);
    if (cuts.plain)
        for (TileJob& job : jobs) job.request.cells = &cells;
    const int workers = workerCount(options.jobs, jobs.size());
    if (!quiet) {
        std::printf("tiles:        %d x %d of %d x %d cells from a grid of %d x %d cells\n",
                    static_cast<int>(tiling.tileCols), static_cast<int>(tiling.tileRows),
                    static_cast<int>(tiling.size.cols), static_cast<int>(tiling.size.rows),
                    static_cast<int>(input.header.ncols), static_cast<int>(input.header.nrows));
        std::printf("jobs:         %d\n", workers);
        std::fflush(stdout);
    }
    std::vector<TileOutcome> outcomes;
    {
        SetProgressLine line(stderr, "converting", jobs.size(), !quiet && isatty(fileno(stderr)));
        outcomes = runTileJobs(jobs, nullptr, workers, cancelRequested, tileConverter(), line);
    }
    ExitStatus worst = ExitStatus::success;
    for (const TileOutcome& outcome : outcomes) worst = std::max(worst, outcome.exitStatus);
    if (!quiet) std::printf("\n%s", tileTableText(jobs, outcomes).c_str());
    return worst;
}

}  // namespace

ExitStatus runTileSetCommand(const CliOptions& options, const std::atomic<bool>& cancelRequested) {
    if (options.tileSize) return runGridTiles(options, cancelRequested);
    const bool quiet = options.quiet;
    const bool terminal = !quiet && isatty(fileno(stderr));
    if (options.centerZ) {
        std::fputs(
            "morvale-convert: --center-z shifts each tile by its own elevation range, so the tiles of a set "
            "would not meet; leave it out for several inputs\n",
            stderr);
        return ExitStatus::usageError;
    }

    // One input (converted with --seams) takes -o as its file when it ends
    // as a mesh file does; several take it as their folder, which must not.
    std::error_code folderError;
    const bool oneInput = options.inputs.size() == 1 && !std::filesystem::is_directory(options.inputs[0], folderError);
    const bool outputFile = oneInput && options.output && hasMeshExtension(*options.output);
    if (!oneInput && options.output && hasMeshExtension(*options.output)) {
        refuseMeshNamedFolder(*options.output, "several inputs", " (or convert one input)");
        return ExitStatus::usageError;
    }

    ConversionRequest common;
    const OutputFormat format = options.format ? *options.format
                                : outputFile   ? formatOfPath(*options.output)
                                               : OutputFormat::obj;
    if (!prepareCommon(options, format, !options.writeSeams, common)) return ExitStatus::usageError;

    Inputs inputs = readInputs(options);
    warnAboutDegrees(inputs.readable);
    ExitStatus worst = inputs.unreadable.empty() ? ExitStatus::success : ExitStatus::inputRefused;
    if (inputs.readable.empty()) return ExitStatus::inputRefused;  // each input has had its message

    // The set: planned from the headers, or placed on a saved index's lattice.
    SeamIndex index;
    TileSetPlan plan;
    if (options.seams) {
        // One index file, or the pieces of one (files or their folders) merged.
        SeamPieces pieces;
        SeamPiecesRead read = readSeamPieceTables(listSeamPieces(options.seamPieces), pieces);
        if (read.result == SeamPiecesResult::ok) {
            std::vector<TileWindow> known;
            for (const SeamTile& tile : pieces.index.tiles) known.push_back(tile.window);
            plan = placeOnMergedGrid(pieces.index.merged, known, inputs.readable);
            // One tile (one process per tile) reads only its neighbours' borders.
            if (!plan.tiles.empty())
                read = loadSeamPieceBorders(pieces, plan.tiles.size() == 1 ? &plan.tiles[0].window : nullptr);
        }
        if (read.result != SeamPiecesResult::ok) {
            std::fprintf(stderr, "morvale-convert: %s\n", seamPiecesText(pieces, read).c_str());
            return ExitStatus::inputRefused;
        }
        index = std::move(pieces.index);
        checkAgainstIndex(plan, index, options, cancelRequested, inputs);
        if (!options.seamsStaleOk) checkNeighbours(plan, index, options.attributes.normals ? 2 : 1, inputs);
        if (!inputs.unreadable.empty()) worst = ExitStatus::inputRefused;
        // Normals at a tile's edge reach two lines into its neighbours.
        if (options.attributes.normals && index.depth < 2) {
            std::fprintf(stderr,
                         "morvale-convert: the seam index '%s' keeps one line per border; --normals needs two: "
                         "write the index again with --write-seams\n",
                         utf8Text(*options.seams).c_str());
            return ExitStatus::inputRefused;
        }
    } else {
        plan = planTileSet(inputs.readable);
        // A piece of the index may hold a single tile.
        if (options.writeSeams && inputs.readable.size() == 1 && plan.tiles.empty() &&
            plan.alone[0].reason == AloneReason::lonely)
            plan = planOneTile(inputs.readable[0]);
    }
    for (const AloneTile& alone : plan.alone)
        std::fprintf(stderr, "morvale-convert: warning: %s; %s\n", aloneReasonText(alone).c_str(),
                     options.writeSeams ? "left out of the seam index" : "converted alone");
    if (options.maxError && !options.writeSeams) {
        if (const PartialSeam seam = findPartialSeam(plan); seam.found)
            std::fprintf(stderr,
                         "morvale-convert: warning: '%s' and '%s' share only part of an edge: with --max-error "
                         "their meshes may not meet near its ends\n",
                         utf8Text(plan.tiles[seam.a].path.filename()).c_str(),
                         utf8Text(plan.tiles[seam.b].path.filename()).c_str());
    }

    const int workers = workerCount(options.jobs, plan.tiles.size() + plan.alone.size());
    if (!quiet && !plan.tiles.empty())
        std::printf("tile set:     %zu tiles on a merged grid of %d x %d cells (cell size %.10g)\n", plan.tiles.size(),
                    plan.merged.ncols, plan.merged.nrows, plan.merged.cellsize);
    if (!quiet) {
        if (!plan.alone.empty()) std::printf("alone:        %zu grids converted on their own\n", plan.alone.size());
        std::printf("jobs:         %d\n", workers);
        std::fflush(stdout);
    }

    if (options.writeSeams && plan.tiles.empty()) {
        std::fputs("morvale-convert: no two inputs share a lattice: there is no tile set to index\n", stderr);
        return ExitStatus::inputRefused;
    }
    if (!options.seams && !plan.tiles.empty()) {
        std::vector<char> opened;
        SetProgressLine line(stderr, "borders", plan.tiles.size(), terminal);
        index = collectSetSeams(plan, seamDepth, workers, cancelRequested, line, opened);
        if (cancelRequested.load()) return ExitStatus::cancelled;
    }
    if (options.writeSeams) {
        std::error_code reason;
        const SeamFileResult written = writeSeamFile(*options.writeSeams, index, &reason);
        if (written != SeamFileResult::ok) {
            std::fprintf(stderr, "morvale-convert: the seam index '%s' %s%s%s\n", utf8Text(*options.writeSeams).c_str(),
                         seamFileResultText(written), reason ? ": " : "",
                         reason ? systemErrorText(reason).c_str() : "");
            return ExitStatus::outputFailed;
        }
        if (!quiet)
            std::printf("seam index:   %s (%zu tiles)\n", utf8Text(*options.writeSeams).c_str(), index.tiles.size());
        return worst;
    }

    if (options.output && !outputFile && !makeOutputFolder(*options.output)) return ExitStatus::outputFailed;
    common.settings = correctedSettings(options, plan.merged.ncols > 0 ? plan.merged.ncols : 1,
                                        plan.merged.nrows > 0 ? plan.merged.nrows : 1);
    std::vector<TileJob> jobs = prepareTileJobs(plan, common, outputFile ? std::nullopt : options.output);
    if (outputFile)
        for (TileJob& job : jobs) job.request.outputPath = *options.output;
    if (const std::string clash = outputClash(jobs); !clash.empty()) {
        std::fprintf(stderr, "morvale-convert: %s\n", clash.c_str());
        return ExitStatus::usageError;
    }

    std::vector<TileOutcome> outcomes;
    {
        SetProgressLine line(stderr, "converting", jobs.size(), terminal);
        outcomes = runTileJobs(jobs, &index, workers, cancelRequested, tileConverter(), line);
    }
    for (const TileOutcome& outcome : outcomes) worst = std::max(worst, outcome.exitStatus);
    // Quiet or not, an output that failed is named with the system's reason (a task's log shows it).
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const ConversionResult result = outcomes[i].result;
        if (result == conversionInputFailedMidway && !outcomes[i].reason.empty())
            std::fprintf(stderr, "morvale-convert: %s\n",
                         inputFailedMidwayText(utf8Text(jobs[i].request.inputPath), outcomes[i].reason).c_str());
        if (result != conversionOutputUncreatable && result != conversionWriteFailed) continue;
        const std::filesystem::path& output = jobs[i].request.outputPath;
        const std::string problem = outputProblem(output, outcomes[i].stats.outputError);
        std::fprintf(stderr, "morvale-convert: %s\n", asciiText(failureText(result)).c_str());
        if (!problem.empty()) std::fprintf(stderr, "  '%s': %s\n", utf8Text(output).c_str(), problem.c_str());
    }
    jobs.insert(jobs.end(), inputs.unreadable.begin(), inputs.unreadable.end());
    outcomes.insert(outcomes.end(), inputs.unreadableOutcomes.begin(), inputs.unreadableOutcomes.end());
    if (!quiet) std::printf("\n%s", tileTableText(jobs, outcomes).c_str());
    return worst;
}

}  // namespace morvale::cli
