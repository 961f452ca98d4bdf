#include "ui/conversion_job.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <string_view>

#include "app/correction_question.h"
#include "app/mesh_options.h"
#include "convert/conversion_request.h"
#include "convert/request_notes.h"
#include "obj/obj_writer.h"
#include "app/summary_text.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_states.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/owned_handles.h"
#include "ui/presets.h"
#include "ui/window_progress.h"

namespace morvale::ui {
namespace {

// The one job. Only the window thread touches it; the worker gets the request
// and the stage text, which stay put until the worker has ended.
struct Job {
    bool active = false;
    DWORD startTick = 0;
    OwnedHandle worker;
    ConversionRequest request;
    StageText stageText;
};

Job& job() {
    static Job theJob;
    return theJob;
}

// The job's controls: settings and open button off, Step 05 kept on (the
// convert button cancels). Done on the window thread before the worker runs,
// so no click can slip in between the press and the worker's start.
void enterJobState(bool running) {
    appState.running = running;
    setSettingsEnabled(!running);
    EnableWindow(findControl(idOpenButton), !running);
    SetWindowTextW(findControl(idConvertButton), running ? cancelButtonText : convertButtonText);
    // A disabled control loses the keyboard; Escape must still reach the job.
    if (running) keepFocusOnEnabledControl();
}

ConversionRequest currentRequest() {
    ConversionRequest request;
    request.inputPath = appState.inputPath;
    request.outputPath = appState.outputPath;
    request.header = gridHeader;
    request.settings = conversionSettings;
    request.inputNameNarrow = appState.inputNameNarrow;
    request.objectNameNarrow = appState.objectNameNarrow;
    request.objHeaderText = objHeaderText();
    applyMeshOptions(appState.meshOptions, request);
    return request;
}

std::wstring widened(std::string_view text) { return std::wstring(text.begin(), text.end()); }

// What the converter says of a request before it writes anything, each in a
// box: a refusal ends the press with its message. True when the job may start.
bool acceptedRequest(const ConversionRequest& request) {
    for (const RequestNote& note : requestNotes(request)) {
        const bool refused = isRefusal(note.kind);
        MessageBoxW(appState.mainWindow, widened(note.text).c_str(), refused ? L"Error..." : L"Warning...",
                    MB_OK | (refused ? MB_ICONERROR : MB_ICONWARNING));
        if (refused) return false;
    }
    return true;
}

void showBox(const wchar_t* text, const wchar_t* caption, UINT icon) {
    MessageBoxW(appState.mainWindow, text, caption, MB_OK | icon);
}

// A second press of a double-click arrives as a press of its own.
bool withinDoubleClickOfStart() { return GetTickCount() - job().startTick < GetDoubleClickTime(); }

// The worker has posted its end and is returning: wait for it, then drop it.
void joinWorker() {
    if (job().worker) WaitForSingleObject(job().worker.get(), INFINITE);
    job().worker.reset();
}

}  // namespace

void startOrCancelConversion() {
    if (job().active) {
        // While the summary box is up (running is false) a press does nothing.
        if (appState.running && !withinDoubleClickOfStart()) appState.cancelRequested = true;
        return;
    }
    // No leaves the window idle, the corrected values in place.
    const std::wstring question = gatherConversionSettings();
    if (!question.empty() && MessageBoxW(appState.mainWindow, question.c_str(), correctionQuestionCaption,
                                         MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    // A cancel pressed just as the last job ended must not stop this one.
    appState.cancelRequested = false;
    job().request = currentRequest();
    if (!acceptedRequest(job().request)) return;
    enterJobState(true);
    job().startTick = GetTickCount();
    const HANDLE worker = CreateThread(nullptr, 0, conversionWorker, appState.mainWindow, 0, nullptr);
    if (worker == nullptr) {
        enterJobState(false);
        showBox(threadFailureText, L"Error...", MB_ICONERROR);
        return;
    }
    job().worker.reset(worker);
    job().active = true;
}

void requestCancel() {
    if (appState.running) appState.cancelRequested = true;
}

DWORD WINAPI conversionWorker(LPVOID mainWindow) {
    const HWND window = static_cast<HWND>(mainWindow);
    WindowProgress progress(window, job().stageText);
    const ConversionResult result = runConversion(job().request, appState.cancelRequested, progress, conversionStats);
    PostMessageW(window, jobEndMessage, static_cast<WPARAM>(result), 0);
    return 0;
}

void finishConversion(ConversionResult result) {
    joinWorker();
    appState.running = false;
    SetWindowTextW(findControl(idConvertButton), convertButtonText);
    const HWND statusLine = findControl(idStatusLine);
    SendMessageW(findControl(idProgressBar), PBM_SETPOS, 0, 0);
    if (result == conversionSolidBaseNotBelow) {
        SetWindowTextW(statusLine, L"Error...");
        showBox(widened(solidBaseNotBelowText(job().request, conversionStats)).c_str(), L"Error...", MB_ICONERROR);
    } else if (isFailureResult(result)) {
        SetWindowTextW(statusLine, L"Error...");
        showBox(failureText(result), L"Error...", MB_ICONERROR);
    } else {
        SummaryBox summary = composeSummary(conversionStats);
        if (meshOptionsChosen(appState.meshOptions))
            addMeshSummary(summary, outputWriter(job().request.format).label, conversionStats);
        SetWindowTextW(statusLine, summary.statusText.c_str());
        showBox(summary.text.c_str(), summary.caption.c_str(), summary.icon);
    }
    SetWindowTextW(statusLine, L"Ready...");
    setSettingsEnabled(true);
    EnableWindow(findControl(idOpenButton), TRUE);
    job().active = false;
}

bool conversionJobActive() { return job().active; }

void onJobEnd(WPARAM result) {
    // An end posted to an earlier window that closed mid-job is not this job's.
    if (job().active && job().worker) finishConversion(static_cast<ConversionResult>(result));
}

void endJobForClosing() {
    if (!job().active) return;
    requestCancel();
    // Its end message goes to a window that is gone: nothing is shown.
    joinWorker();
    appState.running = false;
    job().active = false;
}

}  // namespace morvale::ui
