#include "tiles/tile_run.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <system_error>
#include <thread>

#include "app/summary_text.h"
#include "app/text_format.h"
#include "tiles/tile_cell_source.h"

namespace morvale {

namespace {

// Runs work(0..count-1) on `workers` threads, the calling one included. When a
// thread cannot be started, the ones that did take over its share.
template <class Work>
void runParallel(std::size_t count, int workers, Work&& work) {
    std::atomic<std::size_t> next{0};
    auto loop = [&] {
        for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) work(i);
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < workers; ++t) {
        try {
            threads.emplace_back(loop);
        } catch (const std::system_error&) {
            break;
        }
    }
    loop();
    for (std::thread& thread : threads) thread.join();
}

// A conversion's reporter: forwards steps to the set and carries the set's
// cancel request into the conversion's own flag.
class JobProgress final : public ProgressReporter {
public:
    JobProgress(std::size_t job, SetProgress& set, const std::atomic<bool>& setCancel, std::atomic<bool>& own)
        : job_(job), set_(set), setCancel_(setCancel), own_(own) {}
    void showPreparing() override { carryCancel(); }
    void beginStage(std::string_view, int) override { carryCancel(); }
    void step() override {
        carryCancel();
        set_.step(job_);
    }

private:
    void carryCancel() {
        if (setCancel_.load(std::memory_order_relaxed)) own_.store(true, std::memory_order_relaxed);
    }
    std::size_t job_;
    SetProgress& set_;
    const std::atomic<bool>& setCancel_;
    std::atomic<bool>& own_;
};

std::string resultText(const TileOutcome& outcome) {
    if (!outcome.started) return "not started (cancelled)";
    if (outcome.result == conversionHeaderCorrupted)
        return outcome.inputKind ? std::string(outcome.inputKind) + ", not an ASCII grid" : "grid header corrupted";
    if (outcome.result == conversionTileNotAsIndexed) return "not as in the seam index";
    if (outcome.result == conversionSolidBaseNotBelow) return "--solid BASE not below the surface";
    if (outcome.result == conversionSolidWithoutCells) return "no data cell to make a solid of";
    if (outcome.result == conversionInputFailedMidway) return "input could not be read to its end";
    if (isFailureResult(outcome.result)) return asciiText(failureText(outcome.result));
    if (outcome.stats.status == -1) return "cancelled";
    return outcome.stats.status == 1 ? "OK" : "check failed";
}

}  // namespace

ConversionResult convertPreparedTile(const ConversionRequest& request, CellSource* cells,
                                     std::atomic<bool>& cancelRequested, ProgressReporter& progress,
                                     ConversionStats& stats, PipelineMode mode) {
    if (cells == nullptr) return runConversion(request, cancelRequested, progress, stats, mode);
    ConversionRequest tile = request;
    tile.cells = cells;
    return runConversion(tile, cancelRequested, progress, stats, mode);
}

TileConverter tileConverter() {
    // Each worker keeps one core busy: a conversion's own helper threads would
    // contend with the other workers' and cost the hand-over between them.
    return [](const ConversionRequest& request, CellSource* cells, std::atomic<bool>& cancelRequested,
              ProgressReporter& progress, ConversionStats& stats) {
        return convertPreparedTile(request, cells, cancelRequested, progress, stats, PipelineMode::inlined);
    };
}

int workerCount(int requested, std::size_t items) {
    std::size_t n = requested > 0 ? static_cast<std::size_t>(requested) : std::thread::hardware_concurrency();
    n = std::clamp<std::size_t>(n, 1, std::max<std::size_t>(items, 1));
    return static_cast<int>(n);
}

SeamIndex collectSetSeams(const TileSetPlan& plan, std::int32_t depth, int workers,
                          const std::atomic<bool>& cancelRequested, SetProgress& progress, std::vector<char>& opened) {
    SeamIndex index;
    index.merged = plan.merged;
    index.depth = depth;
    index.tiles.resize(plan.tiles.size());
    opened.assign(plan.tiles.size(), 0);
    runParallel(plan.tiles.size(), workerCount(workers, plan.tiles.size()), [&](std::size_t i) {
        if (cancelRequested.load()) return;
        progress.started(i);
        SilentProgress silent;
        TileOutcome outcome;
        outcome.started = true;
        try {
            const SeamCollection collected =
                collectTileSeams(plan.tiles[i], depth, cancelRequested, silent, index.tiles[i]);
            opened[i] = collected.opened ? 1 : 0;
            outcome.result = !collected.opened             ? conversionInputUnreadable
                             : collected.readError.empty() ? conversionFinished
                                                           : conversionInputFailedMidway;
            outcome.reason = collected.readError;
        } catch (const std::bad_alloc&) {
            outcome.result = conversionVertexTableFailed;
        }
        outcome.exitStatus = conversionExitStatus(outcome.result, outcome.stats);
        progress.finished(i, outcome);
    });
    return index;
}

std::vector<TileOutcome> runTileJobs(const std::vector<TileJob>& jobs, const SeamIndex* index, int workers,
                                     const std::atomic<bool>& cancelRequested, const TileConverter& convert,
                                     SetProgress& progress) {
    std::vector<TileOutcome> outcomes(jobs.size());
    runParallel(jobs.size(), workerCount(workers, jobs.size()), [&](std::size_t i) {
        TileOutcome& outcome = outcomes[i];
        if (cancelRequested.load()) {
            outcome.exitStatus = ExitStatus::cancelled;
            return;
        }
        outcome.started = true;
        progress.started(i);
        std::atomic<bool> ownCancel{false};
        JobProgress reporter(i, progress, cancelRequested, ownCancel);
        try {
            if (jobs[i].tile != nullptr && index != nullptr) {
                TileCellSource cells(*jobs[i].tile, *index, jobs[i].ringDepth);
                outcome.result = convert(jobs[i].request, &cells, ownCancel, reporter, outcome.stats);
                outcome.reason = cells.readError();
            } else {
                outcome.result = convert(jobs[i].request, nullptr, ownCancel, reporter, outcome.stats);
            }
        } catch (const std::bad_alloc&) {
            outcome.result = conversionVertexTableFailed;
        }
        outcome.exitStatus = conversionExitStatus(outcome.result, outcome.stats);
        progress.finished(i, outcome);
    });
    return outcomes;
}

std::string tileTableText(const std::vector<TileJob>& jobs, const std::vector<TileOutcome>& outcomes) {
    std::size_t nameWidth = 4;
    const auto jobName = [](const TileJob& job) {
        return utf8Text(job.name.empty() ? job.request.inputPath : job.name);
    };
    for (const TileJob& job : jobs) nameWidth = std::max(nameWidth, jobName(job).size());
    auto row = [&](const std::string& name, const char* set, const std::string& result, const std::string& vertices,
                   const std::string& faces, const std::string& seconds, const std::string& output) {
        char middle[160];
        std::snprintf(middle, sizeof middle, "  %-6s %-40.40s %13s %13s %8s  ", set, result.c_str(), vertices.c_str(),
                      faces.c_str(), seconds.c_str());
        return name + std::string(nameWidth - name.size(), ' ') + middle + output + "\n";
    };
    std::string text = row("tile", "set", "result", "vertices", "faces", "seconds", "output");
    for (std::size_t i = 0; i < jobs.size() && i < outcomes.size(); ++i) {
        const TileOutcome& o = outcomes[i];
        const bool counted = o.started && o.result == conversionFinished;
        // Quads, or the triangles of a simplified surface.
        const std::int64_t faces = o.stats.quadCount > 0 ? o.stats.quadCount : o.stats.triangleCount;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", o.stats.seconds);
        text += row(jobName(jobs[i]), jobs[i].tile || !jobs[i].name.empty() ? "set" : "alone", resultText(o),
                    counted ? groupedText(o.stats.vertexCount) : "-", counted ? groupedText(faces) : "-",
                    counted ? seconds : "-", utf8Text(jobs[i].request.outputPath));
    }
    return text;
}

}  // namespace morvale
