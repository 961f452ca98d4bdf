#pragma once
// A progress bar with the stage text on a terminal's standard error.

#include <cstdio>
#include <string>

#include "base/progress_reporter.h"

namespace morvale::cli {

class TerminalProgress final : public ProgressReporter {
public:
    explicit TerminalProgress(std::FILE* out) : out_(out) {}
    ~TerminalProgress() override;
    void showPreparing() override;
    void beginStage(std::string_view text, int step) override;
    void step() override;

private:
    void draw();
    std::FILE* out_;
    std::string stage_;
    int position_ = 0;
    int increment_ = 0;
    bool drawn_ = false;
};

}  // namespace morvale::cli
