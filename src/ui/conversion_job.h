#pragma once
// The conversion job: one worker thread per conversion, started and cancelled
// from the convert button (or Enter and Escape), ended by a failure box or the
// summary box. The worker only posts messages (window_progress.h); every
// control and box is handled on the window thread.

#include <windows.h>

#include "convert/conversion_stats.h"

namespace morvale::ui {

inline constexpr wchar_t threadFailureText[] = L"Can't start the conversion...";

// The convert button: cancels the running job (but not within the double-click
// time of its start, so a double-click converts once), or gathers the settings
// and starts a job on a new worker thread. An error box when no thread can be
// made; the window then stays idle.
void startOrCancelConversion();

// Escape: asks a running job to stop; nothing when none runs.
void requestCancel();

// The worker thread: runs the builder of the chosen mode, then posts the end.
DWORD WINAPI conversionWorker(LPVOID mainWindow);

// The window thread's handler of the job's end: the failure or summary box
// (owned by the main window), then "Ready..." and the controls enabled again.
void finishConversion(ConversionResult result);

// The handler of the worker's end message.
void onJobEnd(WPARAM result);

// True from the press that starts a job until its end has been handled,
// summary box included: nothing may open a grid or change a setting then.
bool conversionJobActive();

// The main window is being destroyed: a running job is cancelled and its file
// finished before this returns, without a box. The worker never waits for the
// window thread, so waiting for it here cannot deadlock.
void endJobForClosing();

}  // namespace morvale::ui
