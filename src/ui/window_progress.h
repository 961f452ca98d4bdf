#pragma once
// The builders' progress shown on the status line and the progress bar. The
// calls come from the worker thread and are handled by the window thread.

#include <windows.h>

#include "base/progress_reporter.h"

namespace morvale::ui {

class WindowProgress final : public ProgressReporter {
public:
    explicit WindowProgress(HWND mainWindow) : mainWindow_(mainWindow) {}
    void showPreparing() override;
    void beginStage(std::string_view text, int step) override;
    void step() override;

private:
    HWND statusLine() const;
    HWND progressBar() const;
    HWND mainWindow_;
};

}  // namespace morvale::ui
