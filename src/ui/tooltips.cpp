#include "ui/tooltips.h"

#include <algorithm>
#include <iterator>

#include "app/preset_words.h"
#include "app/settings_correction.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/layout.h"

namespace morvale::ui {
namespace {

// A label and the field it names share their words.
constexpr wchar_t fileNameTip[] = L"The open grid's file name";
constexpr wchar_t columnsTip[] = L"Cells from west to east";
constexpr wchar_t rowsTip[] = L"Cells from north to south";
constexpr wchar_t recordsTip[] = L"Cells in the grid: columns times rows";
constexpr wchar_t xllTip[] = L"X of the grid's lower-left corner (or of that cell's centre), in the grid's units";
constexpr wchar_t yllTip[] = L"Y of the grid's lower-left corner (or of that cell's centre), in the grid's units";
constexpr wchar_t cellSizeTip[] = L"Width of one cell, in the grid's units (metres, or degrees for a geographic grid)";
constexpr wchar_t noDataTip[] = L"The value that marks a cell without data; such cells make no faces";
constexpr wchar_t memoryUsedTip[] = L"Memory this program uses";
constexpr wchar_t memoryFreeTip[] = L"Memory still free on this computer";
constexpr wchar_t memoryTotalTip[] = L"All the memory of this computer";
constexpr wchar_t modeTip[] = L"How the grid's cells become faces";
constexpr wchar_t interpolatedTip[] =
    L"One continuous surface: each corner takes the mean height of the cells around it";
constexpr wchar_t floatingPlanesTip[] = L"One flat square per cell at the cell's own height, like steps";
constexpr wchar_t cropTip[] = L"Tick to convert only a window of the grid's columns and rows";
constexpr wchar_t xMinTip[] = L"The window's first column, counted from 1";
constexpr wchar_t yMinTip[] = L"The window's first row, counted from 1";
constexpr wchar_t xMaxTip[] = L"The window's last column, at most the grid's columns";
constexpr wchar_t yMaxTip[] = L"The window's last row, at most the grid's rows";
constexpr wchar_t exportTip[] = L"How the file suits your 3D software";
constexpr wchar_t offsetsTip[] = L"Put the mesh at the grid's map position (xll, yll) instead of around the origin";
constexpr wchar_t centerZTip[] = L"Shift the heights so that they are centred on zero (Interpolated only)";
constexpr wchar_t unitScaleTip[] =
    L"Multiplies every coordinate, heights too: 1 keeps the grid's units (1 unit = 1 metre), 2 doubles the "
    L"mesh, 100 gives centimetres";
constexpr wchar_t outputTip[] = L"Where the mesh is written";
constexpr wchar_t folderTip[] = L"The output file's folder";
constexpr wchar_t outputNameTip[] = L"The output file's name";
constexpr wchar_t convertStepTip[] = L"Write the mesh";
constexpr wchar_t statusTip[] = L"What the program is doing";

// The preset box's text is made from the presets' own words (presetTip).
constexpr ControlTip tips[] = {
    {idOpenButton, L"Open an Esri ASCII grid (.asc); a grid dropped on the window opens too"},
    {idInfoFrame, L"The open grid's header"},
    {idFileNameLabel, fileNameTip},
    {idFileNameValue, fileNameTip},
    {idColumnsLabel, columnsTip},
    {idColumnsValue, columnsTip},
    {idRowsLabel, rowsTip},
    {idRowsValue, rowsTip},
    {idRecordsLabel, recordsTip},
    {idRecordsValue, recordsTip},
    {idXllLabel, xllTip},
    {idXllValue, xllTip},
    {idYllLabel, yllTip},
    {idYllValue, yllTip},
    {idCellSizeLabel, cellSizeTip},
    {idCellSizeValue, cellSizeTip},
    {idNoDataLabel, noDataTip},
    {idNoDataValue, noDataTip},
    {idMemoryFrame, L"This computer's memory"},
    {idMemoryUsedLabel, memoryUsedTip},
    {idMemoryUsedValue, memoryUsedTip},
    {idMemoryFreeLabel, memoryFreeTip},
    {idMemoryFreeValue, memoryFreeTip},
    {idMemoryTotalLabel, memoryTotalTip},
    {idMemoryTotalValue, memoryTotalTip},
    {idLinkButton, L"Open the author's web page in the browser"},
    {idModeFrame, modeTip},
    {idModeCaption, modeTip},
    {idInterpolatedButton, interpolatedTip},
    {idInterpolatedCaption, interpolatedTip},
    {idFloatingPlanesButton, floatingPlanesTip},
    {idFloatingPlanesCaption, floatingPlanesTip},
    {idCropFrame, cropTip},
    {idCropCaption, cropTip},
    {idCropCheckBox, cropTip},
    {idCropPreview, L"The window's first corner (x min, y min) and last corner (x max, y max)"},
    {idXMinLabel, xMinTip},
    {idYMinLabel, yMinTip},
    {idXMaxLabel, xMaxTip},
    {idYMaxLabel, yMaxTip},
    {idXMinEdit, xMinTip},
    {idYMinEdit, yMinTip},
    {idXMaxEdit, xMaxTip},
    {idYMaxEdit, yMaxTip},
    {idCropResetButton, L"Set the window back to the whole grid"},
    {idExportFrame, exportTip},
    {idExportCaption, exportTip},
    {idPresetBox, nullptr},
    {idPresetLabel, nullptr},
    {idOffsetsCheckBox, offsetsTip},
    {idOffsetsLabel, offsetsTip},
    {idCenterZCheckBox, centerZTip},
    {idCenterZLabel, centerZTip},
    {idUnitScaleLabel, unitScaleTip},
    {idUnitScaleEdit, unitScaleTip},
    {idOutputFrame, outputTip},
    {idOutputCaption, outputTip},
    {idSaveAsButton, L"Choose the output file's folder, name and format"},
    {idLocationLabel, folderTip},
    {idOutputFolderValue, folderTip},
    {idOutputNameLabel, outputNameTip},
    {idOutputNameValue, outputNameTip},
    {idMeshOptionsButton, L"Format, simplification, texture coordinates, normals, drape image, printable solid"},
    {idMeshOptionsLine, L"The mesh options that are on; none: the full mesh as the window always wrote it"},
    {idConvertFrame, convertStepTip},
    {idConvertCaption, convertStepTip},
    {idProgressBar, L"How far the conversion has come"},
    {idConvertButton, L"Convert with these settings (Enter); while converting, cancel (Escape)"},
    {idStatusLabel, statusTip},
    {idStatusLine, statusTip},
};

constexpr int cutNameFields[] = {idFileNameValue, idOutputFolderValue, idOutputNameValue};

// Wide enough for a preset's line; longer texts wrap.
constexpr int tipWidth = 640;

// "Blender: Y up, east -X, ..." for every preset, a line each.
std::wstring presetTip() {
    std::wstring text = L"The axis order and unit scale each 3D package expects:";
    for (std::size_t row = 0; row < exportPresets.size(); ++row) {
        text += L"\n";
        text += exportPresets[row].displayName;
        text += L": " + wideFromUtf8(presetWords(static_cast<std::int32_t>(row)));
    }
    return text;
}

// The statics that show a text or the crop picture. A frame lies over the
// controls of its step that are its siblings (they were made after it): with
// the mouse it would take their clicks, so it lets the mouse through.
bool takesTheMouse(ControlKind kind) {
    return kind == ControlKind::label || kind == ControlKind::value || kind == ControlKind::name ||
           kind == ControlKind::preview;
}

bool isNameField(int id) {
    return std::find(std::begin(cutNameFields), std::end(cutNameFields), id) != std::end(cutNameFields);
}

// The control a tool window belongs to: the preset box's text field is the box's.
int toolControlId(HWND tool) {
    const int id = GetDlgCtrlID(tool);
    if (findControl(id) == tool) return id;
    return GetParent(tool) == findControl(idPresetBox) ? idPresetBox : 0;
}

void addTool(HWND control) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = appState.mainWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(appState.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace

std::span<const ControlTip> controlTips() { return tips; }

std::span<const int> nameFields() { return cutNameFields; }

std::wstring tooltipText(int id) {
    if (id == idPresetBox || id == idPresetLabel) return presetTip();
    // The status label lies over the start of the line.
    if ((id == idStatusLine || id == idStatusLabel) && !appState.degreesAdvice.empty()) return appState.degreesAdvice;
    if (isNameField(id)) {
        const std::wstring whole = controlText(findControl(id));
        if (!whole.empty() && whole != L"---") return whole;
    }
    const auto row =
        std::find_if(std::begin(tips), std::end(tips), [id](const ControlTip& tip) { return tip.id == id; });
    return row != std::end(tips) && row->text != nullptr ? row->text : L"";
}

void createTooltips() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    // Owned by the main window, so it goes with it.
    appState.tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, appState.mainWindow,
                                       nullptr, appState.instance, nullptr);
    SendMessageW(appState.tooltip, TTM_SETMAXTIPWIDTH, 0, tipWidth);
    for (const ControlSpec& entry : controlTable()) {
        const HWND control = findControl(entry.id);
        if (takesTheMouse(entry.kind)) {
            const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY;
            SetWindowLongPtrW(control, GWL_STYLE, isNameField(entry.id) ? style | SS_ENDELLIPSIS : style);
        }
        addTool(control);
    }
    COMBOBOXINFO box{};
    box.cbSize = sizeof(box);
    if (GetComboBoxInfo(findControl(idPresetBox), &box) && box.hwndItem != nullptr) addTool(box.hwndItem);
}

HWND tooltipWindow() { return appState.tooltip; }

void onTooltipText(NMTTDISPINFOW& request) {
    // Kept until the next request: the tooltip copies the text it is pointed to.
    static std::wstring shown;
    shown = tooltipText(toolControlId(reinterpret_cast<HWND>(request.hdr.idFrom)));
    request.lpszText = shown.data();
    request.hinst = nullptr;
}

}  // namespace morvale::ui
