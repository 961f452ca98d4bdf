#include "ui/presets.h"

#include <windows.h>

#include <cwchar>

#include "app/settings_correction.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/layout.h"

namespace morvale::ui {
namespace {

// Only the first 14 characters of an edit take part, as the settings rules expect.
std::wstring readEdit(int id) {
    wchar_t text[16] = {};
    GetWindowTextW(findControl(id), text, 15);
    return text;
}

bool isChecked(int id) { return SendMessageW(findControl(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

int presetSelection() { return static_cast<int>(SendMessageW(findControl(idPresetBox), CB_GETCURSEL, 0, 0)); }

}  // namespace

bool unitScaleWasReplaced(const std::wstring& text, double correctedScale) {
    // The rules put exactly 1 in place of a scale near zero or not finite; a
    // text that itself reads 1 was kept.
    return correctedScale == 1.0 && std::wcstod(text.c_str(), nullptr) != 1.0;
}

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

void gatherConversionSettings() {
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
    // The user's text stays as typed unless the rules replaced its value:
    // rewriting "123456" as "%.5g" would make the next run use 123460.
    if (unitScaleWasReplaced(controls.unitScaleText, corrected.settings.unitScale)) {
        SetWindowTextW(findControl(idUnitScaleEdit), corrected.unitScaleText.c_str());
    }
}

}  // namespace morvale::ui
