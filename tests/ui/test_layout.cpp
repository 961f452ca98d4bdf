// The controls of the main window: creation order, identifiers, parents,
// classes, styles, texts, geometry, fonts and pictures.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui_test.h"

using namespace morvale::ui;
using namespace ui_test;

namespace {

struct Created {
    int id;
    HWND parent;
    std::wstring className;
    std::wstring text;
    DWORD style;
    DWORD extendedStyle;
    RECT box;  // x, y, width, height as requested
};

std::vector<Created> created;

LRESULT CALLBACK recordCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
        const int id = static_cast<int>(reinterpret_cast<INT_PTR>(create->hMenu));
        if ((create->style & WS_CHILD) != 0 && id >= firstControlId && id <= lastControlId) {
            wchar_t className[64] = {};
            GetClassNameW(reinterpret_cast<HWND>(wParam), className, 64);
            const bool hasText = create->lpszName != nullptr && !IS_INTRESOURCE(create->lpszName);
            created.push_back({id,
                               create->hwndParent,
                               className,
                               hasText ? create->lpszName : L"",
                               static_cast<DWORD>(create->style),
                               create->dwExStyle,
                               {create->x, create->y, create->cx, create->cy}});
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HWND expectedParent(int parentId) {
    return parentId == 0 ? appState.mainWindow : GetDlgItem(appState.mainWindow, parentId);
}

const Created* createdControl(int id) {
    for (const Created& control : created) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

}  // namespace

UI_TEST(layout, controlsAreCreatedInOrderWithTheirAttributes) {
    created.clear();
    const HHOOK hook = SetWindowsHookExW(WH_CBT, recordCreation, nullptr, GetCurrentThreadId());
    TestWindow window;
    UnhookWindowsHookEx(hook);

    // 201 to 268 in order, except that three labels come before their neighbours.
    std::vector<int> expectedOrder;
    for (int id = 201; id <= 268; ++id) expectedOrder.push_back(id);
    std::swap(expectedOrder[248 - 201], expectedOrder[249 - 201]);
    std::swap(expectedOrder[259 - 201], expectedOrder[260 - 201]);
    std::swap(expectedOrder[261 - 201], expectedOrder[262 - 201]);
    std::vector<int> order;
    for (const Created& control : created) order.push_back(control.id);
    CHECK(order == expectedOrder);

    for (const Created& control : created) {
        const ControlSpec* entry = findControlSpec(control.id);
        CHECK(entry != nullptr);
        if (entry == nullptr) continue;
        CHECK_EQ(control.parent, expectedParent(entry->parentId));
        CHECK(_wcsicmp(control.className.c_str(), controlClassName(entry->kind)) == 0);
        CHECK_EQ(control.style, WS_CHILD | WS_VISIBLE | controlClassStyle(entry->kind));
        CHECK_EQ(control.extendedStyle, 0ul);
        CHECK_EQ(control.text, std::wstring(entry->text));
        CHECK(control.box.left == entry->x && control.box.top == entry->y && control.box.right == entry->width &&
              control.box.bottom == entry->height);
    }

    // A few rows written out in full, so a slip in the table itself shows.
    struct Row {
        int id;
        int parentId;
        const wchar_t* className;
        DWORD style;
        const wchar_t* text;
        RECT box;
    };
    const Row rows[] = {
        {204, 202, L"STATIC", SS_LEFTNOWORDWRAP, L"...", {12, 38, 160, 20}},
        {229, 0, L"BUTTON", BS_AUTOCHECKBOX | BS_BITMAP | BS_PUSHLIKE, L"Interpolated mode", {247, 40, 270, 100}},
        {235, 0, L"BUTTON", BS_AUTOCHECKBOX, L"", {245, 187, 18, 18}},
        {236, 0, L"STATIC", SS_GRAYFRAME, L"", {327, 220, 258, 100}},
        {243, 233, L"EDIT", ES_RIGHT | ES_AUTOHSCROLL | ES_NUMBER, L"", {403, 89, 40, 18}},
        {248, 0, L"COMBOBOX", CBS_DROPDOWN | WS_VSCROLL, L"", {244, 410, 205, 200}},
        {254, 0, L"STATIC", SS_LEFT, L"Unit scale:\n(set units in your 3d software to meters)", {520, 420, 270, 50}},
        {265, 0, L"msctls_progress32", 0, L"", {240, 624, 444, 38}},
        {266, 0, L"BUTTON", BS_PUSHBUTTON, L"Convert", {692, 623, 118, 40}},
    };
    for (const Row& row : rows) {
        const Created* control = createdControl(row.id);
        CHECK(control != nullptr);
        if (control == nullptr) continue;
        CHECK_EQ(control->parent, expectedParent(row.parentId));
        CHECK(_wcsicmp(control->className.c_str(), row.className) == 0);
        CHECK_EQ(control->style, WS_CHILD | WS_VISIBLE | row.style);
        CHECK_EQ(control->text, std::wstring(row.text));
        CHECK(std::memcmp(&control->box, &row.box, sizeof(RECT)) == 0);
    }
}

UI_TEST(layout, controlsLiveAtTheirPlaceAndAreFoundThroughTheirParent) {
    TestWindow window;
    for (const ControlSpec& entry : controlTable()) {
        const HWND control = findControl(entry.id);
        CHECK(control != nullptr);
        if (control == nullptr) continue;
        const HWND parent = expectedParent(entry.parentId);
        CHECK_EQ(GetParent(control), parent);
        CHECK_EQ(GetDlgCtrlID(control), entry.id);
        // Controls inside a frame are not children of the main window.
        if (entry.parentId != 0) CHECK(GetDlgItem(window.handle(), entry.id) == nullptr);
        CHECK(IsWindowVisible(control));
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        CHECK((style & (WS_TABSTOP | WS_GROUP | WS_BORDER)) == 0);

        RECT box;
        GetWindowRect(control, &box);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
        CHECK_EQ(box.left, entry.x);
        CHECK_EQ(box.top, entry.y);
        CHECK_EQ(box.right - box.left, entry.width);
        // A drop-down combo box is as high as its text field; its height holds the list.
        if (entry.id != idPresetBox) CHECK_EQ(box.bottom - box.top, entry.height);
    }
    RECT dropped{};
    SendMessageW(findControl(idPresetBox), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    RECT box;
    GetWindowRect(findControl(idPresetBox), &box);
    // The list hangs below the field; some platforms trim it to whole items.
    CHECK(dropped.top == box.top && dropped.left == box.left);
    CHECK(dropped.bottom - dropped.top > 150 && dropped.bottom - dropped.top <= 200);
}

namespace {

std::vector<std::pair<int, HFONT>> fontsSent;

LRESULT CALLBACK recordFonts(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    const int id = GetDlgCtrlID(call->hwnd);
    if (code == HC_ACTION && call->message == WM_SETFONT && id >= firstControlId && id <= lastControlId) {
        fontsSent.emplace_back(id, reinterpret_cast<HFONT>(call->wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

UI_TEST(layout, onlyTheFileNamesAreBoldAndFramesHaveNoFont) {
    // Recorded as sent: a frame does not keep its font under every platform.
    fontsSent.clear();
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, recordFonts, nullptr, GetCurrentThreadId());
    TestWindow window;
    UnhookWindowsHookEx(hook);

    const WindowFonts& fonts = windowFonts();
    for (const auto& [font, weight] : {std::pair{fonts.regular, 400}, std::pair{fonts.bold, 700}}) {
        LOGFONTW description{};
        CHECK(GetObjectW(font, sizeof(description), &description) == sizeof(description));
        CHECK_EQ(std::wstring(description.lfFaceName), std::wstring(L"Segoe UI"));
        CHECK_EQ(description.lfHeight, 18l);
        CHECK_EQ(description.lfWeight, static_cast<LONG>(weight));
        CHECK(!description.lfItalic && !description.lfUnderline && !description.lfStrikeOut);
        CHECK_EQ(description.lfQuality, static_cast<BYTE>(CLEARTYPE_QUALITY));
        CHECK_EQ(description.lfPitchAndFamily & 3, VARIABLE_PITCH);
    }
    for (int id = firstControlId; id <= lastControlId; ++id) {
        const bool bold = id == idFileNameValue || id == idOutputNameValue;
        const bool none = id == 227 || id == 233 || id == 246 || id == 256 || id == 263 || id == idCropCheckBox ||
                          id == idCropPreview || id == idProgressBar;
        std::vector<HFONT> sent;
        for (const auto& [to, font] : fontsSent) {
            if (to == id) sent.push_back(font);
        }
        const std::vector<HFONT> expected =
            none ? std::vector<HFONT>{} : std::vector<HFONT>{bold ? fonts.bold : fonts.regular};
        if (sent != expected)
            ui_test::reportFailure(__FILE__, __LINE__, "wrong font for control " + std::to_string(id));
    }
    // Every font lands before the window is shown, and the text controls keep it.
    CHECK_EQ(SendMessageW(findControl(idFileNameValue), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(fonts.bold));
    CHECK_EQ(SendMessageW(findControl(idStatusLine), WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(fonts.regular));
}

UI_TEST(layout, picturesLoadAtTheirTrueSize) {
    TestWindow window;
    const int ids[] = {102, 103, 104, 105, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123,
                       124, 125, 126, 127, 128, 129, 130, 131, 132, 133, 134, 135, 136, 137};
    for (const int id : ids) {
        ICONINFO info{};
        if (!GetIconInfo(windowPicture(id), &info)) {
            ui_test::reportFailure(__FILE__, __LINE__, "picture " + std::to_string(id) + " did not load");
            continue;
        }
        BITMAP bitmap{};
        GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        const int height = info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2;
        const SIZE expected = pictureSize(id);
        if (bitmap.bmWidth != expected.cx || height != expected.cy) {
            ui_test::reportFailure(__FILE__, __LINE__,
                                   "picture " + std::to_string(id) + " is " + std::to_string(bitmap.bmWidth) + "x" +
                                       std::to_string(height));
        }
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    CHECK(pictureSize(115).cx == 200 && pictureSize(115).cy == 244 && pictureSize(119).cx == 270);
    CHECK(windowPicture(106) == nullptr && pictureSize(113).cx == 0);
}

UI_TEST(layout, wideLabelsNeverCoverTheFieldsBesideThem) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    // Repaint everything several times: whatever order the controls paint
    // in, each field must show its own white background, not its label's.
    for (int round = 0; round < 3; ++round) {
        RedrawWindow(window.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpMessages();
        for (const int fieldId : {static_cast<int>(idUnitScaleEdit)}) {
            const HWND field = findControl(fieldId);
            const HDC dc = GetDC(field);
            const COLORREF inside = GetPixel(dc, 1, 1);
            ReleaseDC(field, dc);
            CHECK(inside == GetSysColor(COLOR_WINDOW));
        }
        // The output fields lie above the labels that reach under them.
        for (const int fieldId : {static_cast<int>(idOutputFolderValue), static_cast<int>(idOutputNameValue)}) {
            const HWND field = findControl(fieldId);
            RECT rect;
            GetWindowRect(field, &rect);
            POINT probe{rect.left + 2, rect.top + 2};
            ScreenToClient(window.handle(), &probe);
            CHECK(ChildWindowFromPointEx(window.handle(), probe, CWP_SKIPINVISIBLE) == field);
        }
    }
}

namespace {

// The room a text takes in a static control: measured with the control's
// font and wrapped at its width as the control wraps it (a name field never
// wraps). A line that wraps shows as a second line, which a one-line label
// cuts off ("x max: " became "x").
SIZE neededSize(int id, const wchar_t* text) {
    const HWND control = findControl(id);
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const ControlSpec* entry = findControlSpec(id);
    RECT box{0, 0, entry->width, 0};
    const UINT wrap = entry->kind == ControlKind::name ? DT_SINGLELINE : DT_WORDBREAK;
    DrawTextW(dc, text, -1, &box, DT_CALCRECT | DT_EXPANDTABS | wrap);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {box.right, box.bottom};
}

}  // namespace

// Needs the prefix of tools/morvale-window.sh: with Wine's default stand-in
// for "Segoe UI" several labels lose their ends.
UI_TEST(layout, everyLabelShowsWhole) {
    TestWindow window;
    std::vector<std::pair<int, const wchar_t*>> texts;
    for (const ControlSpec& entry : controlTable()) {
        const bool isText =
            entry.kind == ControlKind::label || entry.kind == ControlKind::value || entry.kind == ControlKind::name;
        if (isText && entry.text[0] != L'\0') texts.emplace_back(entry.id, entry.text);
    }
    // Texts the labels take later: the corner or centre labels, the longest status.
    for (const int id : {static_cast<int>(idXllLabel), static_cast<int>(idYllLabel)}) {
        texts.emplace_back(id, id == idXllLabel ? L"xll corner:" : L"yll corner:");
        texts.emplace_back(id, id == idXllLabel ? L"xll center:" : L"yll center:");
    }
    texts.emplace_back(idStatusLine, L"Getting elevation data from input file and outputting the vertices...");
    texts.emplace_back(idStatusLine, degreesNoteText);
    texts.emplace_back(idMemoryUsedValue, L"9999.99 MB");
    for (const auto& [id, text] : texts) {
        const ControlSpec* entry = findControlSpec(id);
        const SIZE needed = neededSize(id, text);
        if (needed.cx > entry->width || needed.cy > entry->height) {
            ui_test::reportFailure(__FILE__, __LINE__,
                                   show(std::wstring(text)) + " needs " + std::to_string(needed.cx) + "x" +
                                       std::to_string(needed.cy) + " in " + std::to_string(entry->width) + "x" +
                                       std::to_string(entry->height));
        }
    }
}

UI_TEST(layout, labelsShareTheWindowsBackground) {
    TestWindow window;
    // The window paints with the menu colour and the labels with the button
    // face; on Windows 10 both are the same grey.
    CHECK_EQ(GetSysColor(COLOR_MENU), GetSysColor(COLOR_BTNFACE));
    CHECK_EQ(GetSysColor(COLOR_BTNFACE), static_cast<DWORD>(RGB(240, 240, 240)));
}

UI_TEST(layout, everyLabelIsDrawn) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    click(idCropCheckBox);  // every label enabled, in black
    RedrawWindow(window.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
    // A label is drawn when dark text pixels show where it stands on screen;
    // a sibling above it can hide it whole.
    const HDC screen = GetDC(nullptr);
    for (const ControlSpec& entry : controlTable()) {
        if (entry.kind != ControlKind::label || entry.text[0] == L'\0') continue;
        RECT box;
        GetWindowRect(findControl(entry.id), &box);
        int dark = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < std::min(box.right, box.left + 60); ++x) {
                const COLORREF pixel = GetPixel(screen, x, y);
                if (GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < 300) ++dark;
            }
        }
        if (dark == 0)
            ui_test::reportFailure(__FILE__, __LINE__, "label " + std::to_string(entry.id) + " is not drawn");
    }
    ReleaseDC(nullptr, screen);
}
