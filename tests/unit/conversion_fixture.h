#pragma once
// Running a whole conversion of a small grid written by the test.

#include <string>
#include <vector>

#include "convert/conversion_request.h"
#include "obj/obj_writer.h"
#include "test_support.h"

namespace testing_support {

// Records what a builder reports, to check stages and steps.
class RecordingProgress final : public morvale::ProgressReporter {
public:
    void showPreparing() override { events.push_back("preparing"); }
    void beginStage(std::string_view text, int step) override {
        events.push_back(std::string(text) + " /" + std::to_string(step));
        steps.push_back(0);
    }
    void step() override {
        if (!steps.empty()) ++steps.back();
    }
    std::vector<std::string> events;
    std::vector<int> steps;  // step() calls per stage
};

struct ConversionRun {
    morvale::ConversionResult result = 0;
    morvale::ConversionStats stats;
    std::string obj;  // the whole file
    std::vector<std::string> stages;
    std::vector<int> steps;
};

inline morvale::ConversionRequest requestFor(const std::filesystem::path& grid, const std::filesystem::path& obj,
                                             const morvale::ConversionSettings& settings) {
    morvale::ConversionRequest request;
    request.inputPath = grid;
    request.outputPath = obj;
    EXPECT_EQ(morvale::readGridHeader(grid, request.header), 1);
    request.settings = settings;
    request.inputNameNarrow = "grid.asc";
    request.objectNameNarrow = "grid";
    request.objHeaderText = morvale::objHeaderText();
    return request;
}

inline morvale::ConversionSettings wholeGrid(morvale::TerrainMode mode, std::int32_t ncols, std::int32_t nrows) {
    morvale::ConversionSettings s;
    s.mode = mode;
    s.cropXMin = 1;
    s.cropYMin = 1;
    s.cropXMax = ncols;
    s.cropYMax = nrows;
    return s;
}

// Converts gridText with settings; the cancel flag is set in stage
// cancelAtStage (1-based, 0 never) once that stage has made cancelAfterSteps steps.
inline ConversionRun convertText(const std::string& gridText, const morvale::ConversionSettings& settings,
                                 int cancelAtStage = 0, int cancelAfterSteps = 0) {
    ScratchDir dir;
    writeFile(dir / "grid.asc", gridText);
    morvale::ConversionRequest request = requestFor(dir / "grid.asc", dir / "grid.obj", settings);
    std::atomic<bool> cancel{false};
    struct CancellingProgress final : morvale::ProgressReporter {
        RecordingProgress record;
        std::atomic<bool>* cancel = nullptr;
        int cancelAt = 0;
        int cancelAfter = 0;
        int stage = 0;
        void showPreparing() override { record.showPreparing(); }
        void beginStage(std::string_view text, int step) override {
            record.beginStage(text, step);
            if (++stage == cancelAt && cancelAfter == 0) cancel->store(true);
        }
        void step() override {
            record.step();
            if (stage == cancelAt && record.steps.back() == cancelAfter) cancel->store(true);
        }
    } progress;
    progress.cancel = &cancel;
    progress.cancelAt = cancelAtStage;
    progress.cancelAfter = cancelAfterSteps;
    ConversionRun run;
    run.result = morvale::runConversion(request, cancel, progress, run.stats);
    run.obj = readFile(dir / "grid.obj");
    run.stages = progress.record.events;
    run.steps = progress.record.steps;
    EXPECT_FALSE(cancel.load()) << "the builder clears the cancel flag";
    return run;
}

// The file after header line 5 (the part that does not depend on the clock).
inline std::string afterHeader(const std::string& obj) {
    const std::string marker = "# Original input filename: grid.asc\r\n\r\n\r\n";
    const auto at = obj.find(marker);
    return at == std::string::npos ? "<no header>" : obj.substr(at + marker.size());
}

// Vertex block, counts, object lines and faces with "\n" for CR LF, for readable expectations.
inline std::string lines(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace testing_support
