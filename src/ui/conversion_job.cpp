#include "ui/conversion_job.h"

#include <commctrl.h>

#include <atomic>

#include "convert/conversion_request.h"
#include "obj/obj_writer.h"
#include "app/summary_text.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_states.h"
#include "ui/layout.h"
#include "ui/presets.h"
#include "ui/window_progress.h"

namespace morvale::ui {
namespace {

// Covers more than `running`: also the summary box and the re-enabling after
// it, so that no second worker can overlap the end of the first.
std::atomic<bool> workerActive{false};
// Set when the window closes during a job: the file is finished, no box shown.
std::atomic<bool> finishQuietly{false};

// The job's controls: settings and open button off, Step 05 kept on (the
// convert button cancels). Done on the window thread before the worker runs,
// so no click can slip in between the press and the worker's start.
void enterJobState(bool running) {
    appState.running = running;
    setSettingsEnabled(!running);
    EnableWindow(findControl(idOpenButton), !running);
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
    return request;
}

void showBox(const wchar_t* text, const wchar_t* caption, UINT icon) {
    MessageBoxW(appState.mainWindow, text, caption, MB_OK | icon);
}

void handleWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Not ours to take: leave it for the message loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

void startOrCancelConversion() {
    if (workerActive) {
        // A second press only asks the running job to stop; while its summary
        // box is closing it does nothing at all.
        if (appState.running) appState.cancelRequested = true;
        return;
    }
    gatherConversionSettings();
    // A cancel pressed just as the last job ended must not stop this one.
    appState.cancelRequested = false;
    finishQuietly = false;
    workerActive = true;
    enterJobState(true);
    const HANDLE worker = CreateThread(nullptr, 0, conversionWorker, appState.mainWindow, 0, nullptr);
    if (worker == nullptr) {
        // No job: the window goes back to where it was, without a message.
        enterJobState(false);
        workerActive = false;
        return;
    }
    CloseHandle(worker);  // nobody waits for the thread
}

DWORD WINAPI conversionWorker(LPVOID mainWindow) {
    appState.running = true;
    WindowProgress progress(static_cast<HWND>(mainWindow));
    const ConversionResult result = runConversion(currentRequest(), appState.cancelRequested, progress, conversionStats);
    finishConversion(result);
    workerActive = false;
    return 0;
}

void finishConversion(ConversionResult result) {
    appState.running = false;
    const HWND statusLine = findControl(idStatusLine);
    SendMessageW(findControl(idProgressBar), PBM_SETPOS, 0, 0);
    if (isFailureResult(result)) {
        SetWindowTextW(statusLine, L"Error...");
        if (!finishQuietly) showBox(failureText(result), L"Error...", MB_ICONERROR);
    } else {
        const SummaryBox summary = composeSummary(conversionStats);
        SetWindowTextW(statusLine, summary.statusText.c_str());
        if (!finishQuietly) showBox(summary.text.c_str(), summary.caption.c_str(), summary.icon);
    }
    SetWindowTextW(statusLine, L"Ready...");
    setSettingsEnabled(true);
    EnableWindow(findControl(idOpenButton), TRUE);
}

bool conversionJobActive() { return workerActive; }

bool endJobBeforeClosing() {
    static bool waiting = false;
    if (waiting) return false;
    if (!workerActive) return true;
    waiting = true;
    finishQuietly = true;
    if (appState.running) appState.cancelRequested = true;
    // No more clicks: the window is going; only the worker's updates are handled.
    EnableWindow(appState.mainWindow, FALSE);
    while (workerActive) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        handleWaitingMessages();
    }
    waiting = false;
    return true;
}

}  // namespace morvale::ui
