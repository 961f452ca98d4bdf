#include "ui/keyboard.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/conversion_job.h"
#include "ui/layout.h"
#include "ui/window_commands.h"

namespace morvale::ui {
namespace {

// The user's path through the window; the link is no step, so it comes last.
constexpr int tabStops[] = {
    idOpenButton,   idInterpolatedButton, idCropCheckBox,  idXMinEdit,        idYMinEdit,        idXMaxEdit,
    idYMaxEdit,     idCropResetButton,    idPresetBox,     idOffsetsCheckBox, idCenterZCheckBox, idUnitScaleEdit,
    idSaveAsButton, idMeshOptionsButton,  idConvertButton, idLinkButton,
};

bool isModeButton(int id) { return id == idInterpolatedButton || id == idFloatingPlanesButton; }

// The mode pair's stop is the button of the chosen mode.
int stopControl(int stop) {
    if (!isModeButton(stop)) return stop;
    return IsDlgButtonChecked(appState.mainWindow, idFloatingPlanesButton) == BST_CHECKED ? idFloatingPlanesButton
                                                                                          : idInterpolatedButton;
}

bool canTakeFocus(int id) {
    const HWND control = findControl(id);
    return control != nullptr && IsWindowEnabled(control) && IsWindowVisible(control);
}

void focusControl(int id) {
    if (id != 0) SetFocus(findControl(id));
}

// The preset box's list is open: its keys (Enter, Escape) close it.
bool presetListIsOpen() { return SendMessageW(findControl(idPresetBox), CB_GETDROPPEDSTATE, 0, 0) != 0; }

// As in a dialog, a field reached with Tab has its text selected, so typing replaces it.
void onTab(bool backwards) {
    const int id = nextTabStop(focusedControlId(), backwards);
    focusControl(id);
    const HWND control = findControl(id);
    if (id == idPresetBox) {
        SendMessageW(control, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    } else if (findControlSpec(id)->kind == ControlKind::numberEdit || id == idUnitScaleEdit) {
        SendMessageW(control, EM_SETSEL, 0, -1);
    }
}

void onModeArrow(int focusedId) {
    const bool toFloating = focusedId == idInterpolatedButton;
    const int otherId = toFloating ? idFloatingPlanesButton : idInterpolatedButton;
    if (!canTakeFocus(otherId)) return;
    // Moving within a radio pair also chooses.
    selectMode(toFloating ? TerrainMode::FloatingPlanes : TerrainMode::Interpolated);
    focusControl(otherId);
}

// A plain push button, not a check box or the push-like mode buttons.
bool isPushButton(int id) {
    const ControlSpec* control = findControlSpec(id);
    return control != nullptr && std::wstring_view(controlClassName(control->kind)) == L"BUTTON" &&
           (controlClassStyle(control->kind) & BS_TYPEMASK) == BS_PUSHBUTTON;
}

// Enter presses the focused push button, as in a dialog; elsewhere it converts
// (but never cancels: that is Escape's).
void onEnter(int focusedId) {
    if (isPushButton(focusedId) && focusedId != idConvertButton) {
        SendMessageW(findControl(focusedId), BM_CLICK, 0, 0);
        return;
    }
    if (!conversionJobActive() && canTakeFocus(idConvertButton)) startOrCancelConversion();
}

bool isArrowKey(WPARAM key) { return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN; }

}  // namespace

std::span<const int> tabOrder() { return tabStops; }

int focusedControlId() {
    for (HWND window = GetFocus(); window != nullptr && window != appState.mainWindow; window = GetParent(window)) {
        const int id = GetDlgCtrlID(window);
        if (findControlSpec(id) != nullptr && findControl(id) == window) return id;
    }
    return 0;
}

int nextTabStop(int fromId, bool backwards) {
    const int count = static_cast<int>(std::size(tabStops));
    if (isModeButton(fromId)) fromId = idInterpolatedButton;
    const int* found = std::find(std::begin(tabStops), std::end(tabStops), fromId);
    // From outside the order, Tab starts at the first stop and Shift+Tab at the last.
    int at = found != std::end(tabStops) ? static_cast<int>(found - std::begin(tabStops)) : (backwards ? count : -1);
    for (int tried = 0; tried < count; ++tried) {
        at = (at + (backwards ? count - 1 : 1)) % count;
        const int id = stopControl(tabStops[at]);
        if (canTakeFocus(id)) return id;
    }
    return 0;
}

bool handleWindowKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || appState.mainWindow == nullptr) return false;
    if (message.hwnd != appState.mainWindow && !IsChild(appState.mainWindow, message.hwnd)) return false;
    const bool repeated = (message.lParam & (1 << 30)) != 0;
    const int focusedId = focusedControlId();
    switch (message.wParam) {
    case VK_TAB: onTab(GetKeyState(VK_SHIFT) < 0); return true;
    case VK_RETURN:
        if (presetListIsOpen()) return false;
        // A held key must not start the next job as soon as one ends.
        if (!repeated) onEnter(focusedId);
        return true;
    case VK_ESCAPE:
        if (presetListIsOpen()) return false;
        requestCancel();
        return true;
    default:
        if (isArrowKey(message.wParam) && isModeButton(focusedId)) {
            onModeArrow(focusedId);
            return true;
        }
        return false;
    }
}

void keepFocusOnEnabledControl() {
    const int focusedId = focusedControlId();
    if (focusedId != 0 && canTakeFocus(focusedId)) return;
    focusControl(canTakeFocus(idConvertButton) ? idConvertButton : nextTabStop(0, false));
}

void onMainWindowDeactivated() {
    const int focusedId = focusedControlId();
    if (focusedId != 0) appState.focusedControl = focusedId;
}

void onMainWindowFocused() {
    const int remembered = appState.focusedControl;
    if (remembered != 0 && canTakeFocus(remembered)) {
        focusControl(remembered);
    } else {
        focusControl(nextTabStop(0, false));
    }
}

}  // namespace morvale::ui
