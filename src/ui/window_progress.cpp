#include "ui/window_progress.h"

#include <commctrl.h>

#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/layout.h"

namespace morvale::ui {

// A post fails only when the window is already gone: then nobody is watching.
void WindowProgress::showPreparing() { PostMessageW(mainWindow_, jobPreparingMessage, 0, 0); }

void WindowProgress::beginStage(std::string_view text, int step) {
    std::wstring wide = wideFromUtf8(text);
    {
        const std::lock_guard<std::mutex> guard(stageText_.lock);
        stageText_.text = std::move(wide);
    }
    PostMessageW(mainWindow_, jobStageMessage, static_cast<WPARAM>(step), reinterpret_cast<LPARAM>(&stageText_));
}

void WindowProgress::step() { PostMessageW(mainWindow_, jobStepMessage, 0, 0); }

void onJobPreparing() { SetWindowTextW(findControl(idStatusLine), L"Preparing..."); }

void onJobStage(WPARAM step, LPARAM stageText) {
    auto& stage = *reinterpret_cast<StageText*>(stageText);
    std::wstring text;
    {
        // A later stage may already have replaced the text: it is shown a
        // moment early, which is the state the worker is in anyway.
        const std::lock_guard<std::mutex> guard(stage.lock);
        text = stage.text;
    }
    SetWindowTextW(findControl(idStatusLine), text.c_str());
    const HWND bar = findControl(idProgressBar);
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    SendMessageW(bar, PBM_SETSTEP, step, 0);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void onJobStep() { SendMessageW(findControl(idProgressBar), PBM_STEPIT, 0, 0); }

}  // namespace morvale::ui
