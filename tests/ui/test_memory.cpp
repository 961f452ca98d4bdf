// The memory figures and the progress shown from a worker thread.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <cwchar>
#include <thread>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/layout.h"
#include "ui/memory_monitor.h"
#include "ui/window_progress.h"
#include "ui_test.h"

using namespace morvale::ui;
using namespace ui_test;

namespace {

// "%5.2f" and a unit: at least five characters of number, two decimals.
bool isFigure(const std::wstring& text, const wchar_t* unit, double& value) {
    const std::size_t point = text.find(L'.');
    return text.size() >= 8 && point != std::wstring::npos && text.substr(point + 3) == std::wstring(L" ") + unit &&
           std::swscanf(text.c_str(), L"%lf", &value) == 1;
}

void runOnWorker(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) Sleep(1);
    worker.join();
    // The worker only posted its reports: the controls change as they are handled.
    ui_test::pumpMessages();
}

}  // namespace

UI_TEST(memory, figuresAreFilledAtStartAndOnEveryTick) {
    CHECK_EQ(privateMemoryBytes(0, 5000), 5000ull);  // Wine reports no private usage
    CHECK_EQ(privateMemoryBytes(1536ull << 20, 7), 1536ull << 20);

    TestWindow window;
    double used = 0;
    double available = 0;
    double total = 0;
    CHECK(isFigure(textOf(idMemoryUsedValue), L"MB", used));
    CHECK(isFigure(textOf(idMemoryFreeValue), L"GB", available));
    CHECK(isFigure(textOf(idMemoryTotalValue), L"GB", total));
    CHECK(used > 1.0 && used < 4096.0);
    CHECK(available > 0.0 && available <= total);
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    GlobalMemoryStatusEx(&status);
    wchar_t expected[32];
    std::swprintf(expected, 32, L"%5.2f GB", static_cast<double>(status.ullTotalPhys) / (1 << 30));
    CHECK_EQ(textOf(idMemoryTotalValue), std::wstring(expected));

    SetWindowTextW(findControl(idMemoryUsedValue), L"old");
    SendMessageW(window.handle(), WM_TIMER, 7, 0);
    CHECK_EQ(textOf(idMemoryUsedValue), std::wstring(L"old"));
    SendMessageW(window.handle(), WM_TIMER, 200, 0);
    CHECK(isFigure(textOf(idMemoryUsedValue), L"MB", used));
}

UI_TEST(progress, workerStagesReachTheStatusLineAndBar) {
    TestWindow window;
    const HWND bar = findControl(idProgressBar);
    StageText stageText;
    WindowProgress progress(window.handle(), stageText);
    runOnWorker([&] { progress.showPreparing(); });
    CHECK_EQ(textOf(idStatusLine), std::wstring(L"Preparing..."));

    SendMessageW(bar, PBM_SETPOS, 55, 0);
    runOnWorker([&] {
        progress.beginStage("Creating output *.OBJ file...", 10);
        for (int step = 0; step < 3; ++step) progress.step();
    });
    CHECK_EQ(textOf(idStatusLine), std::wstring(L"Creating output *.OBJ file..."));
    PBRANGE range{};
    SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    CHECK(range.iLow == 0 && range.iHigh == 100);
    CHECK_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 30);

    runOnWorker([&] {
        progress.beginStage("Getting elevation data from input file...", 5);
        for (int step = 0; step < 20; ++step) progress.step();
    });
    CHECK_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 100);
}
