#pragma once
// The builders' view of the status line and the progress bar. The window and
// the command line each bind it to their own display.

#include <string_view>

namespace morvale {

class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    // Status "Preparing..."; the bar is left alone.
    virtual void showPreparing() = 0;
    // Status text, bar range 0..100, step increment `step`, position 0.
    virtual void beginStage(std::string_view text, int step) = 0;
    // Advances the bar by the step increment, wrapping past 100 like the Win32 bar.
    virtual void step() = 0;
};

// A reporter that shows nothing (tests, quiet runs).
class SilentProgress final : public ProgressReporter {
public:
    void showPreparing() override {}
    void beginStage(std::string_view, int) override {}
    void step() override {}
};

}  // namespace morvale
