#include "ui/info_panel.h"

#include <windows.h>

#include "app/grid_names.h"
#include "app/text_format.h"
#include "grid/degrees_grid.h"
#include "grid/grid_header.h"
#include "grid/utf16_text.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_states.h"
#include "ui/control_text.h"
#include "ui/layout.h"

namespace morvale::ui {
namespace {

void showGrouped(int id, std::int64_t value) {
    wchar_t text[groupedTextSize] = {};
    formatGrouped(value, text);
    SetWindowTextW(findControl(id), text);
}

// "%.10g" can need 17 characters (sign, ten digits, point, three-digit
// exponent); setControlTextf has room for all of them.
void showReal(int id, double value) { setControlTextf(findControl(id), L"%.10g", value); }

void fillPanel(const GridNames& names) {
    SetWindowTextW(findControl(idFileNameValue), names.fileNameText.c_str());
    showGrouped(idColumnsValue, gridHeader.ncols);
    showGrouped(idRowsValue, gridHeader.nrows);
    SetWindowTextW(findControl(idXllLabel), gridHeader.xllIsCenter == 1 ? L"xll center:" : L"xll corner:");
    showReal(idXllValue, gridHeader.xll);
    SetWindowTextW(findControl(idYllLabel), gridHeader.yllIsCenter == 1 ? L"yll center:" : L"yll corner:");
    showReal(idYllValue, gridHeader.yll);
    // 64 bits: two 32-bit counts can multiply past the 32-bit range.
    showGrouped(idRecordsValue, static_cast<std::int64_t>(gridHeader.nrows) * gridHeader.ncols);
    showReal(idCellSizeValue, gridHeader.cellsize);
    if (gridHeader.hasNodata == 1) {
        showReal(idNoDataValue, gridHeader.nodataValue);
    } else {
        setControlTextf(findControl(idNoDataValue), L"%ls", L"n/a");
    }
}

void setDefaultSettings() {
    setControlTextf(findControl(idXMinEdit), L"%d", 1);
    setControlTextf(findControl(idYMinEdit), L"%d", 1);
    setControlTextf(findControl(idXMaxEdit), L"%d", gridHeader.ncols);
    setControlTextf(findControl(idYMaxEdit), L"%d", gridHeader.nrows);
    SendMessageW(findControl(idPresetBox), CB_SETCURSEL, 0, 0);
    setControlTextf(findControl(idUnitScaleEdit), L"%.5g", appState.defaultUnitScale);
}

void setDefaultOutput(const GridNames& names) {
    appState.outputPath = names.outputPath;
    appState.objectNameNarrow = names.objectNameNarrow;
    SetWindowTextW(findControl(idOutputFolderValue), names.outputFolderText.c_str());
    SetWindowTextW(findControl(idOutputNameValue), names.outputNameText.c_str());
}

}  // namespace

void handleOpenResult(int result) {
    if (result == gridHeaderUnopenable) {
        MessageBoxW(appState.mainWindow, nothingToOpenText, nothingToOpenCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    if (result != gridHeaderOk) {
        MessageBoxW(appState.mainWindow, headerErrorText, headerErrorCaption, MB_OK | MB_ICONERROR);
        return;
    }
    resetWindowState();
    setInfoPanelEnabled(true);
    setSettingsEnabled(true);
    const GridNames names = deriveGridNames(appState.inputPath);
    appState.inputNameNarrow = names.inputNameNarrow;
    fillPanel(names);
    setDefaultSettings();
    setDefaultOutput(names);
    const DegreesSign degrees = gridInDegrees(gridHeader, appState.inputPath);
    if (degrees != DegreesSign::none) {
        SetWindowTextW(findControl(idStatusLine), degreesNoteText);
        // The tooltip of the status line gives the commands in full.
        const std::string advice = degreesWarningText(degrees, gridHeader, appState.inputPath);
        appState.degreesAdvice = names.fileNameText + L" " + wideFromUtf8(advice);
    }
}

void openGrid(const std::filesystem::path& path) {
    GridHeader header;
    const int result = readGridHeader(path, header);
    if (result == gridHeaderOk) {
        appState.inputPath = path;
        gridHeader = header;
    }
    // A grid saved as UTF-16 is not corrupted, only in the wrong encoding: say so.
    if (result == gridHeaderCorrupted && fileLooksLikeUtf16(path)) {
        const std::string_view message = utf16TextMessage;
        const std::wstring text = path.filename().wstring() + L" " + std::wstring(message.begin(), message.end());
        MessageBoxW(appState.mainWindow, text.c_str(), headerErrorCaption, MB_OK | MB_ICONERROR);
        return;
    }
    handleOpenResult(result);
}

}  // namespace morvale::ui
