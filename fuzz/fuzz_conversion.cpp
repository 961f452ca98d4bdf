// A whole conversion of a fuzzed grid in both modes. The grid is the input
// itself; the crop window, preset, scale, flags and an optional cancel point
// come from its last bytes. Both OBJ files must be complete and consistent,
// and when neither run was cancelled both modes must agree on what they read.

#include <atomic>
#include <string>

#include "app/settings_correction.h"
#include "convert/conversion_request.h"
#include "fuzz_support.h"
#include "obj/obj_writer.h"

using namespace morvale;
using namespace morvale_fuzz;

namespace {

// Sets the cancel flag once a chosen stage has made a chosen number of steps.
class CancellingProgress final : public ProgressReporter {
public:
    CancellingProgress(std::atomic<bool>& cancel, int stage, int steps)
        : cancel_(cancel), cancelStage_(stage), cancelSteps_(steps) {}
    void showPreparing() override {}
    void beginStage(std::string_view, int) override {
        ++stage_;
        steps_ = 0;
        check();
    }
    void step() override {
        ++steps_;
        check();
    }
    bool fired = false;

private:
    void check() {
        if (stage_ == cancelStage_ && steps_ == cancelSteps_ && !fired) {
            fired = true;
            cancel_.store(true);
        }
    }
    std::atomic<bool>& cancel_;
    int cancelStage_;
    int cancelSteps_;
    int stage_ = 0;
    int steps_ = 0;
};

struct Run {
    ConversionResult result = 0;
    ConversionStats stats;
    ObjShape shape;
    bool cancelled = false;
};

Run convert(const ConversionRequest& request, int cancelStage, int cancelSteps) {
    Run run;
    std::atomic<bool> cancel{false};
    CancellingProgress progress(cancel, cancelStage, cancelSteps);
    run.result = runConversion(request, cancel, progress, run.stats);
    FUZZ_CHECK(!cancel.load());  // the builder clears the flag
    run.cancelled = progress.fired;
    if (run.result != conversionFinished) return run;
    run.shape = inspectObj(readBytes(request.outputPath));
    if (!run.shape.sound) std::fprintf(stderr, "OBJ problem: %s\n", run.shape.problem.c_str());
    FUZZ_CHECK(run.shape.sound);
    const ConversionStats& s = run.stats;
    FUZZ_CHECK(s.vertexCount == run.shape.vertexLines && s.quadCount == run.shape.quadComment);
    FUZZ_CHECK(s.rowsRead >= 0 && s.rowsRead <= s.rowsExpected);
    FUZZ_CHECK(s.recordsRead >= 0 && s.recordsRead <= s.recordsExpected);
    FUZZ_CHECK(s.noDataCount >= 0 && s.noDataCount <= s.recordsRead);
    FUZZ_CHECK(s.status == (run.cancelled ? -1 : (s.rowsOk && s.recordsOk ? 1 : 0)));
    return run;
}

std::wstring number(std::int64_t v) { return std::to_wstring(v); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path grid = scratchFolder() / "grid.asc";
    writeBytes(grid, data, size);
    ConversionRequest request;
    request.inputPath = grid;
    if (readGridHeader(grid, request.header) != gridHeaderOk) return 0;
    const GridHeader& h = request.header;

    TailBytes knobs(data, size);
    // A window of at most 48 x 48 cells, anywhere in the grid, typed as the user would.
    SettingsControls controls;
    controls.cropEnabled = true;
    const auto span = [&](std::int32_t n, std::wstring& lowText, std::wstring& highText) {
        const std::int64_t width = 1 + knobs.below(48);
        const std::int64_t low = knobs.flag() ? 1 + knobs.below(16) : std::int64_t{n} - knobs.below(64);
        lowText = number(low);
        highText = number(std::min<std::int64_t>(low + width - 1, n));
    };
    span(h.ncols, controls.cropXMinText, controls.cropXMaxText);
    span(h.nrows, controls.cropYMinText, controls.cropYMaxText);
    static const wchar_t* const scales[] = {L"1", L"2", L"100", L"0.001", L"-1", L"1e300", L"3.75", L"1e-300"};
    controls.unitScaleText = scales[knobs.below(8)];
    controls.presetSelection = static_cast<std::int32_t>(knobs.below(6));
    controls.useXllYllOffsets = knobs.flag();
    controls.centerZ = knobs.flag();
    const CorrectedSettings corrected = correctSettings(controls, h.ncols, h.nrows);
    request.settings = corrected.settings;
    // The crop correction may widen the window to the whole grid; keep it small.
    if ((std::int64_t{request.settings.cropXMax} - request.settings.cropXMin + 1) *
            (std::int64_t{request.settings.cropYMax} - request.settings.cropYMin + 1) >
        48 * 48)
        return 0;
    request.inputNameNarrow = "grid.asc";
    request.objectNameNarrow = "grid";
    request.objHeaderText = objHeaderText();

    const bool cancelSome = knobs.below(4) == 0;
    const int cancelStage = cancelSome ? 1 + static_cast<int>(knobs.below(3)) : 0;
    const int cancelSteps = static_cast<int>(knobs.below(4));

    request.settings.mode = TerrainMode::Interpolated;
    request.outputPath = scratchFolder() / "interpolated.obj";
    const Run interpolated = convert(request, cancelStage, cancelSteps);
    request.settings.mode = TerrainMode::FloatingPlanes;
    request.outputPath = scratchFolder() / "planes.obj";
    const Run planes = convert(request, cancelStage, cancelSteps);

    const bool goodCellSize = h.cellsize > 0.0;
    FUZZ_CHECK(interpolated.result == (goodCellSize ? conversionFinished : conversionBadCellSize));
    FUZZ_CHECK(planes.result == interpolated.result);
    if (!goodCellSize) return 0;

    // Interpolated faces are its quads; floating planes keep four vertices per quad.
    FUZZ_CHECK(interpolated.shape.faceLines == interpolated.shape.quadComment);
    FUZZ_CHECK(planes.shape.vertexLines == 4 * planes.shape.quadComment);
    FUZZ_CHECK(planes.shape.faceLines <= planes.shape.quadComment);
    if (!interpolated.cancelled && !planes.cancelled) {
        FUZZ_CHECK(planes.shape.faceLines == planes.shape.quadComment);
        FUZZ_CHECK(interpolated.shape.quadComment == planes.shape.quadComment);
        FUZZ_CHECK(interpolated.stats.recordsRead == planes.stats.recordsRead);
        FUZZ_CHECK(interpolated.stats.rowsRead == planes.stats.rowsRead);
        FUZZ_CHECK(interpolated.stats.noDataCount == planes.stats.noDataCount);
    }
    return 0;
}
