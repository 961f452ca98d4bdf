#include "ui/main_window.h"

#include <shellapi.h>

#include <cstdlib>

#include "resource_ids.h"
#include "ui/app_state.h"
#include "ui/control_states.h"
#include "ui/conversion_job.h"
#include "ui/drop_handler.h"
#include "ui/image_buttons.h"
#include "ui/layout.h"
#include "ui/memory_monitor.h"
#include "ui/window_commands.h"

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
    return CreateWindowExW(WS_EX_APPWINDOW, mainWindowTitle, mainWindowTitle,
                           WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, origin.x, origin.y, mainWindowWidth,
                           mainWindowHeight, nullptr, nullptr, instance, nullptr);
}

LRESULT onPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    paintCropPreview();
    return DefWindowProcW(window, WM_PAINT, 0, 0);
}

LRESULT onTimer(HWND window, WPARAM timerId) {
    if (timerId == memoryTimerId) updateMemoryMonitor();
    return DefWindowProcW(window, WM_TIMER, timerId, 0);
}

LRESULT onDestroy(HWND window) {
    // Also when the window is destroyed without a close: no torn output file.
    endJobBeforeClosing();
    PostQuitMessage(0);
    return DefWindowProcW(window, WM_DESTROY, 0, 0);
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
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK mainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: return onDestroy(window);
    case WM_PAINT: return onPaint(window);
    case WM_NOTIFY: return drawImageButton(reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE:
        // A job still running finishes its file first; a second close waits with the first.
        if (!endJobBeforeClosing()) return 0;
        break;
    case WM_COMMAND: handleCommand(wParam); break;
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
