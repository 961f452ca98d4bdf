#pragma once
// The keys of a dialog-like window: Tab and Shift+Tab through the enabled
// controls in the order of the steps, arrow keys within the mode pair, Enter
// presses the focused push button or else converts, Escape cancels a running
// job. Space is the buttons' own.

#include <windows.h>

#include <span>

namespace morvale::ui {

// The controls Tab visits, in this order; the mode pair is one stop (its
// chosen button), as a radio group is.
std::span<const int> tabOrder();

// Takes the keys above from the message loop before they are dispatched;
// true when the message was used and must not be dispatched.
bool handleWindowKey(const MSG& message);

// The control id that holds the keyboard focus (the combo box for its own
// text field), or 0 when none of the window's controls has it.
int focusedControlId();

// The next (or previous) enabled stop of the tab order after the control
// `fromId` (0: from the start or the end), or 0 when none is enabled.
int nextTabStop(int fromId, bool backwards);

// Moves the focus to the convert button, or the first enabled stop, when the
// focused control has been disabled (a disabled control loses the keyboard).
void keepFocusOnEnabledControl();

// The main window lost or got the activation: remember, or give back, the
// focused control (a plain window would otherwise keep the focus itself).
void onMainWindowDeactivated();
void onMainWindowFocused();

}  // namespace morvale::ui
