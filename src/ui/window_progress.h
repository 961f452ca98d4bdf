#pragma once
// The builders' progress shown on the status line and the progress bar. The
// worker never touches a control: it posts one message per report, and the
// window thread, which owns the controls, handles each in its own handler.

#include <windows.h>

#include <mutex>
#include <string>

#include "base/progress_reporter.h"

namespace morvale::ui {

// Messages of a running job, posted to the main window by the worker.
enum JobMessage : UINT {
    jobPreparingMessage = WM_APP + 1,  // status "Preparing..."
    jobStageMessage,                   // wParam: step; lParam: the StageText holding the status
    jobStepMessage,                    // one step of the bar
    jobEndMessage,                     // wParam: the ConversionResult
};

// The text of the stage just begun, handed from the worker to the window
// thread. It must outlive every stage message that names it.
struct StageText {
    std::mutex lock;
    std::wstring text;
};

class WindowProgress final : public ProgressReporter {
public:
    WindowProgress(HWND mainWindow, StageText& stageText) : mainWindow_(mainWindow), stageText_(stageText) {}
    void showPreparing() override;
    void beginStage(std::string_view text, int step) override;
    void step() override;

private:
    HWND mainWindow_;
    StageText& stageText_;
};

// The window thread's handlers of the progress messages.
void onJobPreparing();
void onJobStage(WPARAM step, LPARAM stageText);
void onJobStep();

}  // namespace morvale::ui
