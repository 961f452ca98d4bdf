// Which controls are enabled in each window state, the preset list, and the
// settings read back from the controls.

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <tuple>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_states.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui/presets.h"
#include "ui_test.h"

using namespace morvale;
using namespace morvale::ui;
using namespace ui_test;

namespace {

using Ids = std::set<int>;

Ids range(int first, int last) {
    Ids ids;
    for (int id = first; id <= last; ++id) ids.insert(id);
    return ids;
}

Ids operator+(Ids left, const Ids& right) {
    left.insert(right.begin(), right.end());
    return left;
}

// Never switched off: open and link buttons, memory group, progress bar and the
// frames of Steps 02 and 04.
const Ids alwaysOn = Ids{201, 226, 233, 256, 265} + range(219, 225);
const Ids infoGroup = range(202, 218);
const Ids cropGroup = Ids{234, 236, 245} + range(237, 244);
const Ids settingsGroups = range(227, 232) + Ids{235} + range(246, 255) + range(257, 262);
const Ids step05 = Ids{263, 264, 266, 267, 268};

void expectEnabledExactly(const Ids& enabled, int line) {
    for (int id = firstControlId; id <= lastControlId; ++id) {
        if (isEnabled(id) != (enabled.count(id) == 1)) {
            ui_test::reportFailure(
                __FILE__, line,
                "control " + std::to_string(id) + " should be " + (enabled.count(id) == 1 ? "enabled" : "disabled"));
        }
    }
}

void check(int id, bool ticked) { SendMessageW(findControl(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0); }
bool isChecked(int id) { return SendMessageW(findControl(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
int presetRow() { return static_cast<int>(SendMessageW(findControl(idPresetBox), CB_GETCURSEL, 0, 0)); }

}  // namespace

UI_TEST(states, startUpIsTheNoFileState) {
    TestWindow window;
    expectEnabledExactly(alwaysOn, __LINE__);
    CHECK_EQ(textOf(idStatusLine), std::wstring(L"Ready..."));
    for (const int id : {204, 206, 208, 210, 212, 214, 216, 218, 260, 262}) CHECK_EQ(textOf(id), std::wstring(L"---"));
    CHECK_EQ(textOf(idXllLabel), std::wstring(L"xll:"));
    CHECK_EQ(textOf(idYllLabel), std::wstring(L"yll:"));
    CHECK(isChecked(idInterpolatedButton) && !isChecked(idFloatingPlanesButton));
    CHECK(!isChecked(idCropCheckBox) && !isChecked(idOffsetsCheckBox) && !isChecked(idCenterZCheckBox));
    CHECK(conversionSettings.mode == TerrainMode::Interpolated);
    CHECK_EQ(SendMessageW(findControl(idProgressBar), PBM_GETPOS, 0, 0), 0);

    const HWND presets = findControl(idPresetBox);
    CHECK_EQ(SendMessageW(presets, CB_GETCOUNT, 0, 0), 6);
    const wchar_t* names[] = {L"3ds max", L"Blender", L"Cinema 4D", L"Maya", L"Unreal", L"ZBrush"};
    for (int row = 0; row < 6; ++row) {
        wchar_t name[32] = {};
        SendMessageW(presets, CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(name));
        CHECK_EQ(std::wstring(name), std::wstring(names[row]));
    }
    CHECK_EQ(presetRow(), -1);
}

UI_TEST(states, openingAGridEnablesAllButAnUntickedCropGroup) {
    TestWindow window;
    openGrid(sharedGridPath("ava_slideTopo.asc"));
    expectEnabledExactly(alwaysOn + infoGroup + settingsGroups + step05, __LINE__);
    CHECK_EQ(presetRow(), 0);
    CHECK_EQ(textOf(idPresetBox), std::wstring(L"3ds max"));

    // Unticked box: enabling the settings leaves the crop group off.
    setSettingsEnabled(true);
    CHECK(!isEnabled(idXMinEdit) && !isEnabled(idCropResetButton));
    check(idCropCheckBox, true);
    setSettingsEnabled(true);
    expectEnabledExactly(alwaysOn + infoGroup + settingsGroups + step05 + cropGroup, __LINE__);

    // A job runs: Step 05 stays on so that the convert button can cancel.
    appState.running = true;
    setSettingsEnabled(false);
    expectEnabledExactly(alwaysOn + infoGroup + step05, __LINE__);
    appState.running = false;
    setSettingsEnabled(false);
    expectEnabledExactly(alwaysOn + infoGroup, __LINE__);
    setSettingsEnabled(true);
    expectEnabledExactly(alwaysOn + infoGroup + settingsGroups + step05 + cropGroup, __LINE__);

    setInfoPanelEnabled(false);
    setCropControlsEnabled(false);
    expectEnabledExactly(alwaysOn + settingsGroups + step05, __LINE__);
}

UI_TEST(states, aNewGridResetsTheSettingsButKeepsTheCheckBoxes) {
    TestWindow window;
    openGrid(sharedGridPath("ava_slideTopo.asc"));
    for (const int id : {idCropCheckBox, idOffsetsCheckBox, idCenterZCheckBox}) check(id, true);
    SetWindowTextW(findControl(idXMinEdit), L"9");
    SetWindowTextW(findControl(idYMaxEdit), L"12");
    SendMessageW(findControl(idPresetBox), CB_SETCURSEL, 4, 0);
    SetWindowTextW(findControl(idUnitScaleEdit), L"42");
    click(idFloatingPlanesButton);
    appState.cancelRequested = true;

    openGrid(sharedGridPath("landlab_hugo_site.asc"));
    CHECK(isChecked(idCropCheckBox) && isChecked(idOffsetsCheckBox) && isChecked(idCenterZCheckBox));
    CHECK_EQ(textOf(idXMinEdit), std::wstring(L"1"));
    CHECK_EQ(textOf(idYMinEdit), std::wstring(L"1"));
    CHECK_EQ(textOf(idXMaxEdit), std::wstring(L"76"));
    CHECK_EQ(textOf(idYMaxEdit), std::wstring(L"55"));
    CHECK_EQ(presetRow(), 0);
    CHECK_EQ(textOf(idUnitScaleEdit), std::wstring(L"1"));
    CHECK(conversionSettings.mode == TerrainMode::Interpolated && isChecked(idInterpolatedButton));
    CHECK(!isChecked(idFloatingPlanesButton));  // not both modes at once
    CHECK(!appState.cancelRequested);
    // The ticked crop box brings its group back on with the settings.
    expectEnabledExactly(alwaysOn + infoGroup + settingsGroups + step05 + cropGroup, __LINE__);
}

UI_TEST(states, choosingAPresetShowsItsUnitScale) {
    TestWindow window;
    openGrid(sharedGridPath("ava_slideTopo.asc"));
    const HWND presets = findControl(idPresetBox);
    const auto choose = [&](int row) {
        SendMessageW(presets, CB_SETCURSEL, row, 0);
        SendMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(idPresetBox, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(presets));
        return textOf(idUnitScaleEdit);
    };
    CHECK_EQ(choose(3), std::wstring(L"100"));  // Maya
    CHECK_EQ(choose(1), std::wstring(L"2"));    // Blender
    CHECK_EQ(choose(5), std::wstring(L"1"));    // ZBrush
    // Other notifications of the box leave the scale alone.
    SetWindowTextW(findControl(idUnitScaleEdit), L"7");
    SendMessageW(window.handle(), WM_COMMAND, MAKEWPARAM(idPresetBox, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(presets));
    CHECK_EQ(textOf(idUnitScaleEdit), std::wstring(L"7"));
}

UI_TEST(states, gatheringReadsCorrectsAndWritesBack) {
    TestWindow window;
    openGrid(sharedGridPath("ava_slideTopo.asc"));  // 419 x 201

    // Cropping off: the whole grid, and the edits keep what they show.
    SetWindowTextW(findControl(idXMinEdit), L"50");
    SetWindowTextW(findControl(idXMaxEdit), L"20");
    SetWindowTextW(findControl(idYMinEdit), L"");
    SetWindowTextW(findControl(idYMaxEdit), L"999");
    SendMessageW(findControl(idPresetBox), CB_SETCURSEL, 3, 0);
    SetWindowTextW(findControl(idUnitScaleEdit), L"0.123456");
    check(idOffsetsCheckBox, true);
    conversionSettings.mode = TerrainMode::FloatingPlanes;
    gatherConversionSettings();
    const ConversionSettings& settings = conversionSettings;
    CHECK(settings.cropXMin == 1 && settings.cropYMin == 1 && settings.cropXMax == 419 && settings.cropYMax == 201);
    CHECK_EQ(textOf(idXMinEdit), std::wstring(L"50"));
    CHECK_EQ(textOf(idYMaxEdit), std::wstring(L"999"));
    CHECK_EQ(settings.presetIndex, 3);
    CHECK(settings.useXllYllOffsets && !settings.centerZ);
    CHECK_EQ(settings.unitScale, 0.123456);
    CHECK_EQ(textOf(idUnitScaleEdit), std::wstring(L"0.123456"));  // kept as typed
    CHECK(settings.mode == TerrainMode::FloatingPlanes);           // set by the mode buttons only

    // Cropping on: a minimum above its maximum falls back to 1, the rest is clamped.
    check(idCropCheckBox, true);
    SetWindowTextW(findControl(idUnitScaleEdit), L"0,5");
    gatherConversionSettings();
    CHECK(settings.cropXMin == 1 && settings.cropXMax == 20 && settings.cropYMin == 1 && settings.cropYMax == 201);
    CHECK(textOf(idXMinEdit) == L"1" && textOf(idXMaxEdit) == L"20");
    CHECK(textOf(idYMinEdit) == L"1" && textOf(idYMaxEdit) == L"201");
    CHECK(settings.unitScale == 1.0 && textOf(idUnitScaleEdit) == L"1");

    // Only a scale the rules replaced is written back: "%.5g" would make the
    // next run use 123460.
    for (const auto& [typed, shown, used] :
         {std::tuple{L"123456", L"123456", 123456.0}, std::tuple{L"1.0", L"1.0", 1.0},
          std::tuple{L"0.00000001", L"1", 1.0}, std::tuple{L"1e999", L"1", 1.0}, std::tuple{L"abc", L"1", 1.0}}) {
        SetWindowTextW(findControl(idUnitScaleEdit), typed);
        gatherConversionSettings();
        CHECK_EQ(textOf(idUnitScaleEdit), std::wstring(shown));
        CHECK_EQ(settings.unitScale, used);
    }

    // A preset typed into the box counts and is selected in the list.
    SendMessageW(findControl(idPresetBox), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(findControl(idPresetBox), L" unreal ");
    gatherConversionSettings();
    CHECK(settings.presetIndex == 4 && presetRow() == 4);

    // Only the first 14 characters of an edit count: these saturate and are clamped.
    SetWindowTextW(findControl(idXMaxEdit), L"12345678901234567890");
    gatherConversionSettings();
    CHECK(settings.cropXMax == 419 && textOf(idXMaxEdit) == L"419");
}
