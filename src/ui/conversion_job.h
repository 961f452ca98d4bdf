#pragma once
// The conversion job: one worker thread per conversion, started and cancelled
// from the convert button, ended by a failure box or the summary box.

#include <windows.h>

#include "convert/conversion_stats.h"

namespace morvale::ui {

// The convert button: cancels the running job, or gathers the settings and
// starts a job on a new worker thread.
void startOrCancelConversion();

// The worker thread: runs the builder of the chosen mode, then finishConversion.
DWORD WINAPI conversionWorker(LPVOID mainWindow);

// On the worker: the failure or summary box (owned by the main window), then
// "Ready..." and the controls enabled again.
void finishConversion(ConversionResult result);

// True from the press that starts a job until its worker has ended, summary
// box included.
bool conversionJobActive();

// Before the main window goes away: a running job is cancelled and finishes
// its file without a summary box; the window thread keeps handling messages
// meanwhile (the worker's control updates need it). False when another close
// is already waiting for the job.
bool endJobBeforeClosing();

}  // namespace morvale::ui
