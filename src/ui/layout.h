#pragma once
// The main window's controls as data, the two fonts, the pictures, and the
// lookup of a control through its parent.

#include <windows.h>

#include <cstdint>
#include <span>

namespace morvale::ui {

enum class ControlKind : std::uint8_t {
    imageButton,  // push button drawn with pictures
    modeButton,   // push-like check button drawn with pictures
    checkBox,     // check box without text; its caption is a separate label
    frame,        // etched group frame
    preview,      // grey frame the crop picture is painted into
    label,
    value,       // right-aligned number
    name,        // left-aligned, never wrapped
    numberEdit,  // digits only as typed
    scaleEdit,
    presetBox,  // editable drop-down list
    progressBar,
};

enum class ControlFont : std::uint8_t { none, regular, bold };

struct ControlSpec {
    int id;
    int parentId;  // 0 for the main window, else the frame holding the control
    ControlKind kind;
    const wchar_t* text;
    int x, y, width, height;
    ControlFont font;
};

// Every control in creation order.
std::span<const ControlSpec> controlTable();
const ControlSpec* findControlSpec(int id);

const wchar_t* controlClassName(ControlKind kind);
// Class style; WS_CHILD and WS_VISIBLE come on top.
DWORD controlClassStyle(ControlKind kind);

struct WindowFonts {
    HFONT regular = nullptr;
    HFONT bold = nullptr;
};
// The fonts of the window that exists now (null before it is built).
WindowFonts windowFonts();

// Picture resources by id: 102-105, 114-137 (see pictureSize). Null when missing.
HICON windowPicture(int resourceId);
SIZE pictureSize(int resourceId);

// The convert button's text while idle and while a job runs (it cancels then).
inline constexpr wchar_t convertButtonText[] = L"Convert";
inline constexpr wchar_t cancelButtonText[] = L"Cancel conversion";

// Creates the fonts, loads the pictures and creates every control on appState.mainWindow.
void buildMainWindow();
// Frees the fonts and pictures; only once the controls that use them are gone.
void releaseWindowResources();

// A control by identifier, asked of its frame when it lives in one.
HWND findControl(int id);

}  // namespace morvale::ui
