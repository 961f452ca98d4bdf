#pragma once
// One tooltip per control, its words a row of a table keyed by control id.
// The name fields end their cut text with an ellipsis and show it whole in
// their tooltip; the preset box names every preset's axis order and scale;
// the status line gives the reprojection commands of a grid in degrees.

#include <windows.h>
#include <commctrl.h>

#include <span>
#include <string>

namespace morvale::ui {

struct ControlTip {
    int id;
    const wchar_t* text;
};

// Every control's row.
std::span<const ControlTip> controlTips();

// The fields whose text is cut with an ellipsis and shown whole in their tooltip.
std::span<const int> nameFields();

// What the tooltip of a control says now.
std::wstring tooltipText(int id);

// The tooltip window, one tool per control. Gives the name fields their
// ellipsis and the texts and the crop picture the mouse (SS_NOTIFY: a plain
// static lets it through, so no tooltip would see it); the frames keep
// letting it through. After buildMainWindow.
void createTooltips();

// The tooltip window of the window that exists now (null before it is made).
HWND tooltipWindow();

// WM_NOTIFY TTN_GETDISPINFOW: fills in the text of the control under the mouse.
void onTooltipText(NMTTDISPINFOW& request);

}  // namespace morvale::ui
