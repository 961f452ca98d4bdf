#include "ui/control_states.h"

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/layout.h"
#include "ui/mesh_options_dialog.h"

namespace morvale::ui {
namespace {

void enableControls(std::initializer_list<int> ids, bool enable) {
    for (const int id : ids) EnableWindow(findControl(id), enable);
}

void enableRange(int firstId, int lastId, bool enable) {
    for (int id = firstId; id <= lastId; ++id) EnableWindow(findControl(id), enable);
}

}  // namespace

void resetWindowState() {
    appState.running = false;
    for (const int id : {idFileNameValue, idColumnsValue, idRowsValue, idRecordsValue, idXllValue, idYllValue,
                         idCellSizeValue, idNoDataValue, idOutputFolderValue, idOutputNameValue}) {
        setControlTextf(findControl(id), L"---");
    }
    SetWindowTextW(findControl(idStatusLine), L"Ready...");
    SendMessageW(findControl(idProgressBar), PBM_SETPOS, 0, 0);
    appState.defaultUnitScale = 1.0;
    appState.degreesAdvice.clear();
    conversionSettings.mode = TerrainMode::Interpolated;
    appState.cancelRequested = false;
    CheckDlgButton(appState.mainWindow, idInterpolatedButton, BST_CHECKED);
    CheckDlgButton(appState.mainWindow, idFloatingPlanesButton, BST_UNCHECKED);
    resetMeshOptions();
    setCropControlsEnabled(false);
    setInfoPanelEnabled(false);
    setSettingsEnabled(false);
}

void setInfoPanelEnabled(bool enable) { enableRange(idInfoFrame, idNoDataValue, enable); }

void setCropControlsEnabled(bool enable) {
    enableControls({idCropCaption, idCropPreview, idCropResetButton}, enable);
    enableRange(idXMinEdit, idYMaxEdit, enable);
    enableRange(idXMinLabel, idYMaxLabel, enable);
}

void setSettingsEnabled(bool enable) {
    enableControls({idModeFrame, idModeCaption, idInterpolatedButton, idFloatingPlanesButton, idInterpolatedCaption,
                    idFloatingPlanesCaption, idCropCheckBox},
                   enable);
    // An unticked crop box already disabled its group; leave it so.
    if (IsDlgButtonChecked(appState.mainWindow, idCropCheckBox) == BST_CHECKED) setCropControlsEnabled(enable);
    enableControls({idExportFrame, idExportCaption, idOffsetsCheckBox, idOffsetsLabel, idCenterZCheckBox,
                    idCenterZLabel, idPresetBox, idPresetLabel, idUnitScaleEdit, idUnitScaleLabel},
                   enable);
    enableRange(idOutputCaption, idOutputNameValue, enable);
    enableControls({idMeshOptionsButton, idMeshOptionsLine}, enable);
    enableControls({idConvertFrame, idConvertCaption, idConvertButton, idStatusLabel, idStatusLine},
                   appState.running || enable);
}

}  // namespace morvale::ui
