#include "ui/main_window.h"

#include <shellapi.h>

#include <cstdlib>

#include "resource_ids.h"
#include "ui/app_state.h"
#include "ui/control_states.h"
#include "ui/conversion_job.h"
#include "ui/drop_handler.h"
#include "ui/image_buttons.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/memory_monitor.h"
#include "ui/owned_handles.h"
#include "ui/tooltips.h"
#include "ui/window_commands.h"
#include "ui/window_progress.h"

namespace morvale::ui {
namespace {

constexpr int applicationIconId = IDI_APP;

bool registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(applicationIconId));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    windowClass.lpszClassName = mainWindowTitle;
    return RegisterClassExW(&windowClass) != 0;
}

HWND createMainWindow(HINSTANCE instance) {
    const POINT origin = mainWindowOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return CreateWindowExW(WS_EX_APPWINDOW, mainWindowTitle, mainWindowTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           origin.x, origin.y, mainWindowWidth, mainWindowHeight, nullptr, nullptr, instance, nullptr);
}

LRESULT onPaint(HWND window) {
    { const PaintScope paint(window); }
    paintCropPreview();
    return DefWindowProcW(window, WM_PAINT, 0, 0);
}

LRESULT onNotify(LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code != TTN_GETDISPINFOW) return drawImageButton(header);
    onTooltipText(*reinterpret_cast<NMTTDISPINFOW*>(lParam));
    return 0;
}

LRESULT onTimer(HWND window, WPARAM timerId) {
    if (timerId == memoryTimerId) updateMemoryMonitor();
    return DefWindowProcW(window, WM_TIMER, timerId, 0);
}

LRESULT onDestroy(HWND window) {
    // Closed mid-job: the job is cancelled and its file finished, no torn output.
    endJobForClosing();
    PostQuitMessage(0);
    return DefWindowProcW(window, WM_DESTROY, 0, 0);
}

LRESULT onNcDestroy(HWND window, WPARAM wParam, LPARAM lParam) {
    // The controls are gone now: their fonts and pictures can go too.
    releaseWindowResources();
    return DefWindowProcW(window, WM_NCDESTROY, wParam, lParam);
}

LRESULT onActivate(HWND window, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == WA_INACTIVE) onMainWindowDeactivated();
    return DefWindowProcW(window, WM_ACTIVATE, wParam, lParam);
}

LRESULT onSetFocus(HWND window, WPARAM wParam, LPARAM lParam) {
    onMainWindowFocused();
    return DefWindowProcW(window, WM_SETFOCUS, wParam, lParam);
}

}  // namespace

POINT mainWindowOrigin(int screenWidth, int screenHeight) {
    return {std::abs(screenWidth - mainWindowWidth) / 2, std::abs(screenHeight - mainWindowHeight) / 2};
}

bool startMainWindow(HINSTANCE instance, int showCommand) {
    appState.instance = instance;
    if (!registerMainWindowClass(instance)) return false;
    appState.mainWindow = createMainWindow(instance);
    if (appState.mainWindow == nullptr) return false;
    buildMainWindow();
    createTooltips();
    DragAcceptFiles(appState.mainWindow, TRUE);
    resetWindowState();
    SetTimer(appState.mainWindow, memoryTimerId, memoryTimerPeriodMs, nullptr);
    updateMemoryMonitor();
    ShowWindow(appState.mainWindow, showCommand);
    UpdateWindow(appState.mainWindow);
    return true;
}

int runMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (handleWindowKey(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: return onDestroy(window);
    case WM_NCDESTROY: return onNcDestroy(window, wParam, lParam);
    case WM_PAINT: return onPaint(window);
    case WM_NOTIFY: return onNotify(lParam);
    case WM_COMMAND: handleCommand(wParam); break;
    case WM_ACTIVATE: return onActivate(window, wParam, lParam);
    case WM_SETFOCUS: return onSetFocus(window, wParam, lParam);
    case jobPreparingMessage: onJobPreparing(); return 0;
    case jobStageMessage: onJobStage(wParam, lParam); return 0;
    case jobStepMessage: onJobStep(); return 0;
    case jobEndMessage: onJobEnd(wParam); return 0;
    case WM_TIMER: return onTimer(window, wParam);
    case WM_DROPFILES:
        // The handler releases the drop, so it is not handed on.
        handleDroppedFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace morvale::ui
