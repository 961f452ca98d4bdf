#include "ui/window_progress.h"

#include <commctrl.h>

#include <string>

#include "ui/control_ids.h"

namespace morvale::ui {

HWND WindowProgress::statusLine() const { return GetDlgItem(mainWindow_, idStatusLine); }
HWND WindowProgress::progressBar() const { return GetDlgItem(mainWindow_, idProgressBar); }

void WindowProgress::showPreparing() { SetWindowTextW(statusLine(), L"Preparing..."); }

void WindowProgress::beginStage(std::string_view text, int step) {
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    SetWindowTextW(statusLine(), wide.c_str());
    const HWND bar = progressBar();
    SendMessageW(bar, PBM_SETRANGE32, 0, 100);
    SendMessageW(bar, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
}

void WindowProgress::step() { SendMessageW(progressBar(), PBM_STEPIT, 0, 0); }

}  // namespace morvale::ui
