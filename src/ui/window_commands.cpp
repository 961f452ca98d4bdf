#include "ui/window_commands.h"

#include <shellapi.h>

#include "obj/obj_writer.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_states.h"
#include "ui/control_text.h"
#include "ui/conversion_job.h"
#include "ui/file_dialogs.h"
#include "ui/layout.h"
#include "ui/mesh_options_dialog.h"
#include "ui/presets.h"

namespace morvale::ui {
namespace {

void onCropBoxClicked() {
    setCropControlsEnabled(IsDlgButtonChecked(appState.mainWindow, idCropCheckBox) == BST_CHECKED);
    // The preview is painted by the main window: repaint all of it.
    RedrawWindow(appState.mainWindow, nullptr, nullptr, RDW_INVALIDATE);
}

void resetCropWindow() {
    setControlTextf(findControl(idXMinEdit), L"%d", 1);
    setControlTextf(findControl(idYMinEdit), L"%d", 1);
    setControlTextf(findControl(idXMaxEdit), L"%d", gridHeader.ncols);
    setControlTextf(findControl(idYMaxEdit), L"%d", gridHeader.nrows);
}

void openAuthorPage() {
    ShellExecuteW(appState.mainWindow, L"", authorPageAddress().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

std::wstring authorPageAddress() {
    std::wstring address;
    for (const char c : authorSiteAddress) address.push_back(static_cast<wchar_t>(c));
    for (const char c : authorPagePath) address.push_back(static_cast<wchar_t>(c));
    return address;
}

void selectMode(TerrainMode mode) {
    const bool interpolated = mode == TerrainMode::Interpolated;
    conversionSettings.mode = mode;
    CheckDlgButton(appState.mainWindow, interpolated ? idFloatingPlanesButton : idInterpolatedButton, BST_UNCHECKED);
    CheckDlgButton(appState.mainWindow, interpolated ? idInterpolatedButton : idFloatingPlanesButton, BST_CHECKED);
    EnableWindow(findControl(idInterpolatedCaption), interpolated);
    EnableWindow(findControl(idFloatingPlanesCaption), !interpolated);
}

void handleCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    // During a job only the link and the cancel act: the rest would change
    // what the worker is reading (their controls are disabled anyway).
    if (conversionJobActive() && id != idLinkButton && id != idConvertButton) return;
    if (code == CBN_SELCHANGE && id == idPresetBox) onPresetSelected();
    switch (id) {
    case idOpenButton: chooseGridFile(); break;
    case idLinkButton: openAuthorPage(); break;
    case idInterpolatedButton: selectMode(TerrainMode::Interpolated); break;
    case idFloatingPlanesButton: selectMode(TerrainMode::FloatingPlanes); break;
    case idCropCheckBox: onCropBoxClicked(); break;
    case idCropResetButton: resetCropWindow(); break;
    case idSaveAsButton: chooseOutputFile(); break;
    case idMeshOptionsButton: showMeshOptionsDialog(); break;
    case idConvertButton: startOrCancelConversion(); break;
    default: break;
    }
}

}  // namespace morvale::ui
