#include "ui/layout.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <utility>

#include "resource_ids.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/owned_handles.h"
#include "ui/presets.h"

namespace morvale::ui {
namespace {

using K = ControlKind;
using F = ControlFont;

constexpr int top = 0;  // a control of the main window itself

// Picture buttons carry their action as text for screen readers; custom draw
// shows only the picture.

constexpr ControlSpec controls[] = {
    {idOpenButton, top, K::imageButton, L"Open grid file", 15, 15, 200, 40, F::regular},
    {idInfoFrame, top, K::frame, L"", 15, 60, 200, 262, F::regular},
    {idFileNameLabel, idInfoFrame, K::label, L"filename:", 12, 20, 100, 20, F::regular},
    {idFileNameValue, idInfoFrame, K::name, L"...", 12, 38, 160, 20, F::bold},
    {idColumnsLabel, idInfoFrame, K::label, L"columns:", 12, 78, 60, 20, F::regular},
    {idColumnsValue, idInfoFrame, K::value, L"---", 86, 78, 100, 20, F::regular},
    {idRowsLabel, idInfoFrame, K::label, L"rows:", 12, 95, 50, 20, F::regular},
    {idRowsValue, idInfoFrame, K::value, L"---", 86, 95, 100, 20, F::regular},
    {idRecordsLabel, idInfoFrame, K::label, L"records:", 12, 112, 50, 20, F::regular},
    {idRecordsValue, idInfoFrame, K::value, L"---", 86, 112, 100, 20, F::regular},
    {idXllLabel, idInfoFrame, K::label, L"xll:", 12, 152, 60, 20, F::regular},
    {idXllValue, idInfoFrame, K::value, L"---", 86, 152, 100, 20, F::regular},
    {idYllLabel, idInfoFrame, K::label, L"yll:", 12, 167, 60, 20, F::regular},
    {idYllValue, idInfoFrame, K::value, L"---", 86, 167, 100, 20, F::regular},
    {idCellSizeLabel, idInfoFrame, K::label, L"cell size:", 12, 207, 60, 20, F::regular},
    {idCellSizeValue, idInfoFrame, K::value, L"---", 86, 207, 100, 20, F::regular},
    {idNoDataLabel, idInfoFrame, K::label, L"no data:", 12, 224, 60, 20, F::regular},
    {idNoDataValue, idInfoFrame, K::value, L"---", 86, 224, 100, 20, F::regular},
    {idMemoryFrame, top, K::frame, L"", 15, 339, 200, 105, F::regular},
    {idMemoryUsedLabel, idMemoryFrame, K::label, L"memory used:", 12, 15, 100, 20, F::regular},
    {idMemoryUsedValue, idMemoryFrame, K::value, L"---", 118, 15, 70, 20, F::regular},
    {idMemoryFreeLabel, idMemoryFrame, K::label, L"memory free:", 12, 32, 80, 20, F::regular},
    {idMemoryFreeValue, idMemoryFrame, K::value, L"---", 118, 32, 70, 20, F::regular},
    {idMemoryTotalLabel, idMemoryFrame, K::label, L"memory total:", 12, 72, 90, 20, F::regular},
    {idMemoryTotalValue, idMemoryFrame, K::value, L"---", 118, 72, 70, 20, F::regular},
    {idLinkButton, top, K::imageButton, L"Open the author's web page", 15, 461, 200, 244, F::regular},
    {idModeFrame, top, K::frame, L"", 231, 16, 589, 162, F::none},
    {idModeCaption, top, K::label, L" Step 01. Select terrain generation mode: ", 240, 6, 250, 20, F::regular},
    {idInterpolatedButton, top, K::modeButton, L"Interpolated mode", 247, 40, 270, 100, F::regular},
    {idInterpolatedCaption, idModeFrame, K::label, L"Interpolated", 112, 132, 150, 20, F::regular},
    {idFloatingPlanesButton, top, K::modeButton, L"Floating planes mode", 533, 40, 270, 100, F::regular},
    {idFloatingPlanesCaption, idModeFrame, K::label, L"Floating planes", 394, 132, 150, 20, F::regular},
    {idCropFrame, top, K::frame, L"", 231, 195, 589, 146, F::none},
    {idCropCaption, top, K::label, L" Step 02. Crop region (optional): ", 260, 185, 220, 20, F::regular},
    {idCropCheckBox, top, K::checkBox, L"", 245, 187, 18, 18, F::none},
    {idCropPreview, top, K::preview, L"", 327, 220, 258, 100, F::none},
    {idXMinLabel, idCropFrame, K::label, L"x min: ", 11, 24, 40, 20, F::regular},
    {idYMinLabel, idCropFrame, K::label, L"y min: ", 11, 43, 40, 20, F::regular},
    {idXMaxLabel, idCropFrame, K::label, L"x max: ", 360, 89, 40, 20, F::regular},
    {idYMaxLabel, idCropFrame, K::label, L"y max: ", 360, 108, 40, 20, F::regular},
    {idXMinEdit, idCropFrame, K::numberEdit, L"", 51, 25, 40, 18, F::regular},
    {idYMinEdit, idCropFrame, K::numberEdit, L"", 51, 45, 40, 18, F::regular},
    {idXMaxEdit, idCropFrame, K::numberEdit, L"", 403, 89, 40, 18, F::regular},
    {idYMaxEdit, idCropFrame, K::numberEdit, L"", 403, 109, 40, 18, F::regular},
    {idCropResetButton, top, K::imageButton, L"Reset crop region", 692, 284, 118, 40, F::regular},
    {idExportFrame, top, K::frame, L"", 231, 358, 589, 117, F::none},
    {idExportCaption, top, K::label, L" Step 03. Export settings: ", 240, 348, 160, 20, F::regular},
    {idPresetLabel, idExportFrame, K::label, L"Presets (axis order and units scale)", 14, 28, 210, 20, F::regular},
    {idPresetBox, top, K::presetBox, L"", 244, 410, 205, 200, F::regular},
    {idOffsetsCheckBox, top, K::checkBox, L"", 520, 374, 20, 20, F::regular},
    {idOffsetsLabel, top, K::label, L"Use XLL and YLL offsets", 540, 374, 250, 20, F::regular},
    {idCenterZCheckBox, top, K::checkBox, L"", 520, 393, 20, 20, F::regular},
    {idCenterZLabel, top, K::label, L"Center Z values", 540, 393, 250, 20, F::regular},
    {idUnitScaleLabel, top, K::label, L"Unit scale:\n(set units in your 3d software to meters)", 520, 420, 270, 50,
     F::regular},
    {idUnitScaleEdit, top, K::scaleEdit, L"", 585, 420, 40, 18, F::regular},
    {idOutputFrame, top, K::frame, L"", 231, 492, 589, 90, F::none},
    {idOutputCaption, top, K::label, L" Step 04. Output location and filename: ", 240, 482, 240, 20, F::regular},
    {idSaveAsButton, top, K::imageButton, L"Choose output file", 240, 517, 118, 40, F::regular},
    {idOutputFolderValue, top, K::label, L"", 440, 519, 350, 20, F::regular},
    {idLocationLabel, top, K::label, L"location:", 375, 519, 400, 20, F::regular},
    {idOutputNameValue, top, K::label, L"", 440, 539, 350, 20, F::bold},
    {idOutputNameLabel, top, K::label, L"filename:", 375, 539, 400, 20, F::regular},
    {idConvertFrame, top, K::frame, L"", 231, 599, 589, 106, F::none},
    {idConvertCaption, top, K::label, L" Step 05. Convert: ", 240, 589, 110, 20, F::regular},
    {idProgressBar, top, K::progressBar, L"", 240, 624, 444, 38, F::none},
    {idConvertButton, top, K::imageButton, convertButtonText, 692, 623, 118, 40, F::regular},
    {idStatusLabel, top, K::label, L"Status:", 240, 675, 100, 20, F::regular},
    {idStatusLine, top, K::label, L"", 283, 675, 500, 20, F::regular},
    // Added after the first controls, so that they lie above the output
    // fields, whose texts seldom reach this far right.
    {idMeshOptionsButton, top, K::imageButton, L"Mesh options...", 692, 540, 118, 40, F::regular},
    {idMeshOptionsLine, top, K::name, L"", 375, 559, 310, 20, F::regular},
};

// Fonts go out group by group, each right after the last control of its group.
constexpr int fontGroupEnds[] = {
    idOpenButton,      idNoDataValue,   idMemoryTotalValue, idLinkButton, idFloatingPlanesCaption,
    idCropResetButton, idUnitScaleEdit, idOutputNameValue,  idStatusLine, idMeshOptionsLine};

struct PictureSet {
    int firstId, lastId, width, height;
};
constexpr PictureSet pictureSets[] = {
    {IDI_OPEN_NORMAL, IDI_OPEN_PRESSED, 200, 40},
    {IDI_LINK_NORMAL, IDI_LINK_PRESSED, 200, 244},
    {IDI_INTERPOLATED_SELECTED, IDI_PLATES_UNSELECTED, 270, 100},
    {IDI_CROP_ON, IDI_CROP_OFF, 258, 100},
    {IDI_RESET_NORMAL, IDI_RESET_PRESSED, 118, 40},
    {IDI_SAVEAS_NORMAL, IDI_SAVEAS_PRESSED, 118, 40},
    {IDI_CONVERT_NORMAL, IDI_CANCEL_PRESSED, 118, 40},  // convert, then cancel
    {IDI_OPTIONS_NORMAL, IDI_OPTIONS_PRESSED, 118, 40},
};

// Created with the window, freed when it is gone (after its controls).
struct WindowResources {
    OwnedFont regular;
    OwnedFont bold;
    std::array<OwnedIcon, IDI_OPTIONS_PRESSED + 1> pictures;
};
WindowResources resources;

OwnedFont makeFont(int weight) {
    return OwnedFont(CreateFontW(18, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_OUTLINE_PRECIS,
                                 CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, VARIABLE_PITCH, L"Segoe UI"));
}

void loadPictures(HINSTANCE instance) {
    for (const PictureSet& set : pictureSets) {
        for (int id = set.firstId; id <= set.lastId; ++id) {
            resources.pictures[id].reset(static_cast<HICON>(
                LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, set.width, set.height, LR_DEFAULTCOLOR)));
        }
    }
}

// Controls inside a frame send their notifications to the frame, which would
// swallow them: hand them on to the main window.
LRESULT CALLBACK frameProcedure(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_COMMAND || message == WM_NOTIFY) {
        return SendMessageW(appState.mainWindow, message, wParam, lParam);
    }
    return DefSubclassProc(frame, message, wParam, lParam);
}

HWND parentWindow(int parentId) {
    return parentId == top ? appState.mainWindow : GetDlgItem(appState.mainWindow, parentId);
}

void createControl(const ControlSpec& entry) {
    const HWND control = CreateWindowExW(
        0, controlClassName(entry.kind), entry.text, WS_CHILD | WS_VISIBLE | controlClassStyle(entry.kind), entry.x,
        entry.y, entry.width, entry.height, parentWindow(entry.parentId),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), appState.instance, nullptr);
    if (entry.kind == ControlKind::frame && control != nullptr) {
        SetWindowSubclass(control, frameProcedure, 0, 0);
    }
}

void assignFonts(std::span<const ControlSpec> group) {
    for (const ControlSpec& entry : group) {
        const HFONT font = entry.font == F::bold      ? resources.bold.get()
                           : entry.font == F::regular ? resources.regular.get()
                                                      : nullptr;
        if (font != nullptr) {
            SendMessageW(findControl(entry.id), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
    }
}

}  // namespace

std::span<const ControlSpec> controlTable() { return controls; }

const ControlSpec* findControlSpec(int id) {
    const auto found = std::find_if(std::begin(controls), std::end(controls),
                                    [id](const ControlSpec& entry) { return entry.id == id; });
    return found == std::end(controls) ? nullptr : &*found;
}

const wchar_t* controlClassName(ControlKind kind) {
    switch (kind) {
    case K::imageButton:
    case K::modeButton:
    case K::checkBox: return L"BUTTON";
    case K::frame:
    case K::preview:
    case K::label:
    case K::value:
    case K::name: return L"STATIC";
    case K::numberEdit:
    case K::scaleEdit: return L"EDIT";
    case K::presetBox: return L"COMBOBOX";
    case K::progressBar: return PROGRESS_CLASSW;
    }
    return L"STATIC";
}

DWORD controlClassStyle(ControlKind kind) {
    switch (kind) {
    case K::imageButton: return BS_PUSHBUTTON;
    case K::modeButton: return BS_AUTOCHECKBOX | BS_BITMAP | BS_PUSHLIKE;
    case K::checkBox: return BS_AUTOCHECKBOX;
    case K::frame: return SS_ETCHEDFRAME;
    case K::preview: return SS_GRAYFRAME;
    case K::label: return SS_LEFT;
    case K::value: return SS_RIGHT;
    case K::name: return SS_LEFTNOWORDWRAP;
    case K::numberEdit: return ES_RIGHT | ES_AUTOHSCROLL | ES_NUMBER;
    case K::scaleEdit: return ES_RIGHT | ES_AUTOHSCROLL;
    case K::presetBox: return CBS_DROPDOWN | WS_VSCROLL;
    case K::progressBar: return 0;
    }
    return 0;
}

WindowFonts windowFonts() { return {resources.regular.get(), resources.bold.get()}; }

HICON windowPicture(int resourceId) {
    return resourceId >= 0 && resourceId < static_cast<int>(resources.pictures.size())
               ? resources.pictures[resourceId].get()
               : nullptr;
}

SIZE pictureSize(int resourceId) {
    for (const PictureSet& set : pictureSets) {
        if (resourceId >= set.firstId && resourceId <= set.lastId) return {set.width, set.height};
    }
    return {0, 0};
}

namespace {

// Three wide labels lie over the fields beside them (the unit-scale box and
// the two output fields). Sibling controls paint in an order the platform
// chooses, so a label could wipe its field: each field is raised to the top
// and its label put right under it, clipped by the siblings above it, which
// are then the fields alone (under the frame it was created after, the label
// was clipped away whole).
void keepFieldsAboveTheirLabels() {
    constexpr std::pair<int, int> overlaps[] = {{idUnitScaleLabel, idUnitScaleEdit},
                                                {idLocationLabel, idOutputFolderValue},
                                                {idOutputNameLabel, idOutputNameValue}};
    for (const auto& [labelId, fieldId] : overlaps) {
        const HWND label = findControl(labelId);
        SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | WS_CLIPSIBLINGS);
        const HWND field = findControl(fieldId);
        constexpr UINT keepPlace = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
        SetWindowPos(field, HWND_TOP, 0, 0, 0, 0, keepPlace);
        SetWindowPos(label, field, 0, 0, 0, 0, keepPlace);
    }
}

}  // namespace

void buildMainWindow() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);

    resources.regular = makeFont(FW_NORMAL);
    resources.bold = makeFont(FW_BOLD);
    loadPictures(appState.instance);

    std::size_t groupStart = 0;
    const std::span<const ControlSpec> table = controlTable();
    for (std::size_t index = 0; index < table.size(); ++index) {
        const ControlSpec& entry = table[index];
        createControl(entry);
        // The list is filled before its group gets its font.
        if (entry.id == idPresetBox) fillPresetList();
        if (std::find(std::begin(fontGroupEnds), std::end(fontGroupEnds), entry.id) != std::end(fontGroupEnds)) {
            assignFonts(table.subspan(groupStart, index + 1 - groupStart));
            groupStart = index + 1;
        }
    }
    keepFieldsAboveTheirLabels();
    // The options button lies over the right ends of the output fields: above
    // them, and they clipped by it, or a field repainted (a new name, a
    // tooltip's notice) would wipe the button's upper half.
    SetWindowPos(findControl(idMeshOptionsButton), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (const int fieldId : {idOutputFolderValue, idOutputNameValue}) {
        const HWND field = findControl(fieldId);
        SetWindowLongPtrW(field, GWL_STYLE, GetWindowLongPtrW(field, GWL_STYLE) | WS_CLIPSIBLINGS);
    }
}

void releaseWindowResources() { resources = WindowResources{}; }

HWND findControl(int id) {
    const ControlSpec* entry = findControlSpec(id);
    if (entry == nullptr) return nullptr;
    return GetDlgItem(parentWindow(entry->parentId), id);
}

}  // namespace morvale::ui
