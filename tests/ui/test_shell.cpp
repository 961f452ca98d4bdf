// The main window itself: class, attributes, position, timer, drops accepted,
// and the frames handing their children's notifications on.

#include <windows.h>
#include <commctrl.h>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui_test.h"

using namespace morvale::ui;
using namespace ui_test;

UI_TEST(shell, windowIsCentredOrKeptOnScreen) {
    const POINT wide = mainWindowOrigin(1920, 1080);
    CHECK(wide.x == 535 && wide.y == 160);
    const POINT small = mainWindowOrigin(800, 600);
    CHECK(small.x == 25 && small.y == 80);
    const POINT odd = mainWindowOrigin(1025, 769);
    CHECK(odd.x == 87 && odd.y == 4);

    TestWindow window;
    RECT box;
    GetWindowRect(window.handle(), &box);
    const POINT origin = mainWindowOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    CHECK_EQ(box.left, origin.x);
    CHECK_EQ(box.top, origin.y);
    CHECK_EQ(box.right - box.left, 850l);
    CHECK_EQ(box.bottom - box.top, 760l);
}

UI_TEST(shell, mainWindowHasItsClassStyleAndTimer) {
    TestWindow window;
    const HWND main = window.handle();
    wchar_t text[64] = {};
    GetClassNameW(main, text, 64);
    CHECK_EQ(std::wstring(text), std::wstring(L"Morvale (v0.4)"));
    GetWindowTextW(main, text, 64);
    CHECK_EQ(std::wstring(text), std::wstring(L"Morvale (v0.4)"));

    const LONG_PTR style = GetWindowLongPtrW(main, GWL_STYLE);
    CHECK((style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)) == (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    CHECK((style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN)) == 0);
    CHECK(IsWindowVisible(main));
    const LONG_PTR extended = GetWindowLongPtrW(main, GWL_EXSTYLE);
    CHECK((extended & WS_EX_APPWINDOW) != 0);
    CHECK((extended & WS_EX_ACCEPTFILES) != 0);  // DragAcceptFiles
    CHECK(GetMenu(main) == nullptr && GetParent(main) == nullptr);

    CHECK_EQ(GetClassLongPtrW(main, GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW));
    CHECK_EQ(GetClassLongPtrW(main, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(5));
    CHECK(GetClassLongPtrW(main, GCLP_HICON) != 0);
    CHECK(GetClassLongPtrW(main, GCLP_HCURSOR) == reinterpret_cast<ULONG_PTR>(LoadCursorW(nullptr, IDC_ARROW)));
    // The memory timer exists: only an existing timer can be killed.
    CHECK(KillTimer(main, 200));
    CHECK(!KillTimer(main, 201));
}

namespace {

struct Arrivals {
    int commands = 0;
    int notifications = 0;
    int lastCommandId = 0;
    int lastCommandCode = 0;
};

LRESULT CALLBACK countArrivals(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* arrivals = reinterpret_cast<Arrivals*>(data);
    if (message == WM_COMMAND) {
        ++arrivals->commands;
        arrivals->lastCommandId = LOWORD(wParam);
        arrivals->lastCommandCode = HIWORD(wParam);
    }
    if (message == WM_NOTIFY) ++arrivals->notifications;
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

UI_TEST(shell, framesHandTheirChildrensNotificationsToTheMainWindow) {
    TestWindow window;
    Arrivals arrivals;
    SetWindowSubclass(window.handle(), countArrivals, 1, reinterpret_cast<DWORD_PTR>(&arrivals));

    // Typing into a crop edit notifies its frame; the main window must hear it.
    const HWND edit = findControl(idXMinEdit);
    EnableWindow(edit, TRUE);
    SendMessageW(edit, WM_CHAR, L'4', 1);
    CHECK(arrivals.commands >= 1);
    CHECK_EQ(arrivals.lastCommandId, static_cast<int>(idXMinEdit));
    CHECK_EQ(arrivals.lastCommandCode, EN_CHANGE);

    NMHDR header{findControl(idMemoryUsedValue), idMemoryUsedValue, static_cast<UINT>(NM_CUSTOMDRAW)};
    SendMessageW(findControl(idMemoryFrame), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    CHECK_EQ(arrivals.notifications, 1);

    // A command sent to a frame runs as if sent to the main window.
    SendMessageW(findControl(idPresetBox), CB_SETCURSEL, 1, 0);
    SendMessageW(findControl(idExportFrame), WM_COMMAND, MAKEWPARAM(idPresetBox, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(findControl(idPresetBox)));
    CHECK_EQ(textOf(idUnitScaleEdit), std::wstring(L"2"));

    RemoveWindowSubclass(window.handle(), countArrivals, 1);
}
