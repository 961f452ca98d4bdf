#include "ui/presets.h"

#include <windows.h>

#include "app/correction_question.h"
#include "app/settings_correction.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/layout.h"

namespace morvale::ui {
namespace {

// Whole: the rules read the first 14 characters, and the rest tells whether they read all of it.
std::wstring readEdit(int id) { return controlText(findControl(id)); }

bool isChecked(int id) { return SendMessageW(findControl(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

int presetSelection() { return static_cast<int>(SendMessageW(findControl(idPresetBox), CB_GETCURSEL, 0, 0)); }

}  // namespace

void fillPresetList() {
    const HWND box = findControl(idPresetBox);
    for (const ExportPreset& preset : exportPresets) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset.displayName));
    }
}

void onPresetSelected() {
    const int row = presetSelection();
    if (row < 0 || row >= static_cast<int>(exportPresets.size())) return;
    setControlTextf(findControl(idUnitScaleEdit), L"%d", exportPresets[row].defaultUnitScale);
}

std::wstring gatherConversionSettings() {
    SettingsControls controls;
    controls.cropEnabled = isChecked(idCropCheckBox);
    if (controls.cropEnabled) {
        controls.cropXMinText = readEdit(idXMinEdit);
        controls.cropYMinText = readEdit(idYMinEdit);
        controls.cropXMaxText = readEdit(idXMaxEdit);
        controls.cropYMaxText = readEdit(idYMaxEdit);
    }
    controls.presetSelection = presetSelection();
    controls.presetText = controlText(findControl(idPresetBox));
    controls.useXllYllOffsets = isChecked(idOffsetsCheckBox);
    controls.centerZ = isChecked(idCenterZCheckBox);
    controls.unitScaleText = readEdit(idUnitScaleEdit);

    const CorrectedSettings corrected = correctSettings(controls, gridHeader.ncols, gridHeader.nrows);
    const TerrainMode mode = conversionSettings.mode;  // set by the mode buttons, not gathered
    conversionSettings = corrected.settings;
    conversionSettings.mode = mode;

    if (corrected.rewriteCrop) {
        SetWindowTextW(findControl(idXMinEdit), corrected.cropXMinText.c_str());
        SetWindowTextW(findControl(idYMinEdit), corrected.cropYMinText.c_str());
        SetWindowTextW(findControl(idXMaxEdit), corrected.cropXMaxText.c_str());
        SetWindowTextW(findControl(idYMaxEdit), corrected.cropYMaxText.c_str());
    }
    SendMessageW(findControl(idPresetBox), CB_SETCURSEL, static_cast<WPARAM>(corrected.presetSelection), 0);
    // The user's text stays as typed unless it was not used whole: rewriting
    // "123456" as "%.5g" would make the next run use 123460.
    const DiscardingCorrections discarded = findDiscardingCorrections(controls, corrected);
    if (discarded.unitScale) SetWindowTextW(findControl(idUnitScaleEdit), discarded.unitScaleText.c_str());
    return correctionQuestion(discarded, corrected);
}

}  // namespace morvale::ui
