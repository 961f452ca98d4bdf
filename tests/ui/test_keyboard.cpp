// The window driven from the keyboard: Tab order, the mode pair's arrows,
// Space, Enter and Escape.

#include <windows.h>

#include <vector>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/conversion_job.h"
#include "ui/info_panel.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui_test.h"

using namespace morvale;
using namespace morvale::ui;
using namespace ui_test;

namespace {

// The controls Tab (or Shift+Tab) visits from the one that has the focus,
// until it comes back round.
std::vector<int> tabRound(int fromId, bool backwards) {
    SetFocus(findControl(fromId));
    std::vector<int> visited;
    for (int presses = 0; presses < 20; ++presses) {
        pressKey(VK_TAB, backwards);
        visited.push_back(focusedControlId());
        if (visited.back() == fromId) break;
    }
    return visited;
}

bool isChecked(int id) { return SendMessageW(findControl(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

UI_TEST(keyboard, tabVisitsTheEnabledControlsInStepOrder) {
    TestWindow window;
    // No file: only the open and link buttons take the keyboard.
    CHECK(tabRound(idOpenButton, false) == (std::vector<int>{idLinkButton, idOpenButton}));

    openGrid(sharedGridPath("richdem_pit.asc"));
    const std::vector<int> uncropped{idInterpolatedButton, idCropCheckBox,  idPresetBox,    idOffsetsCheckBox,
                                     idCenterZCheckBox,    idUnitScaleEdit, idSaveAsButton, idMeshOptionsButton,
                                     idConvertButton,      idLinkButton,    idOpenButton};
    CHECK(tabRound(idOpenButton, false) == uncropped);

    // Ticked crop box: its edits and reset button join, in their places; the
    // mode pair is one stop, at its chosen button.
    click(idCropCheckBox);
    click(idFloatingPlanesButton);
    const std::vector<int> forwards{
        idFloatingPlanesButton, idCropCheckBox,  idXMinEdit,        idYMinEdit,        idXMaxEdit,      idYMaxEdit,
        idCropResetButton,      idPresetBox,     idOffsetsCheckBox, idCenterZCheckBox, idUnitScaleEdit, idSaveAsButton,
        idMeshOptionsButton,    idConvertButton, idLinkButton,      idOpenButton};
    CHECK(tabRound(idOpenButton, false) == forwards);
    const std::vector<int> backwards{
        idLinkButton,      idConvertButton, idMeshOptionsButton,    idSaveAsButton, idUnitScaleEdit, idCenterZCheckBox,
        idOffsetsCheckBox, idPresetBox,     idCropResetButton,      idYMaxEdit,     idXMaxEdit,      idYMinEdit,
        idXMinEdit,        idCropCheckBox,  idFloatingPlanesButton, idOpenButton};
    CHECK(tabRound(idOpenButton, true) == backwards);

    // A field reached with Tab has its text selected, so typing replaces it.
    SetFocus(findControl(idCropCheckBox));
    pressKey(VK_TAB);
    const LRESULT selection = SendMessageW(findControl(idXMinEdit), EM_GETSEL, 0, 0);
    CHECK(LOWORD(selection) == 0 && HIWORD(selection) == textOf(idXMinEdit).size());
}

UI_TEST(keyboard, arrowsChooseWithinTheModePairAndSpacePresses) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    SetFocus(findControl(idInterpolatedButton));
    pressKey(VK_RIGHT);
    CHECK(conversionSettings.mode == TerrainMode::FloatingPlanes);
    CHECK(isChecked(idFloatingPlanesButton) && !isChecked(idInterpolatedButton));
    CHECK_EQ(focusedControlId(), static_cast<int>(idFloatingPlanesButton));
    pressKey(VK_UP);
    CHECK(conversionSettings.mode == TerrainMode::Interpolated && isChecked(idInterpolatedButton));
    CHECK_EQ(focusedControlId(), static_cast<int>(idInterpolatedButton));

    // Arrows elsewhere are the control's own: they do not change the mode.
    SetFocus(findControl(idUnitScaleEdit));
    pressKey(VK_RIGHT);
    CHECK(conversionSettings.mode == TerrainMode::Interpolated);

    // Space presses the focused button.
    SetFocus(findControl(idCropCheckBox));
    pressKey(VK_SPACE);
    CHECK(isChecked(idCropCheckBox) && isEnabled(idXMinEdit));
}

UI_TEST(keyboard, enterConvertsAndEscapeCancels) {
    TestWindow window;
    // Convert is disabled without a grid: Enter on the open button opens, and
    // a cancelled dialog leaves nothing started.
    {
        FileDialogAnswer cancel(window.handle(), L"");
        pressKey(VK_RETURN);
        CHECK(cancel.answered());
    }
    CHECK(!conversionJobActive());

    openGrid(sharedGridPath("landlab_hugo_site.asc"));
    appState.outputPath = scratchFolder() / L"enter.obj";
    SetFocus(findControl(idUnitScaleEdit));
    {
        BoxCloser closer(window.handle());
        pressKey(VK_RETURN);
        CHECK(conversionJobActive());
        // The edit was disabled with the settings: the keyboard moved to the
        // button that cancels, and Enter does not cancel.
        CHECK_EQ(focusedControlId(), static_cast<int>(idConvertButton));
        pressKey(VK_RETURN);
        CHECK(!appState.cancelRequested);
        CHECK(pumpUntil([] { return !conversionJobActive(); }));
        CHECK_EQ(closer.result().caption, std::wstring(L"Converting done..."));
    }

    // Escape cancels a running job at once, also right after its start.
    std::string big = "ncols 1000\r\nnrows 600\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n";
    for (int row = 0; row < 600; ++row) {
        for (int column = 0; column < 1000; ++column) big += column + 1 < 1000 ? "7 " : "7\r\n";
    }
    const std::filesystem::path folder = scratchFolder();
    writeTextFile(folder / L"flat.asc", big);
    openGrid(folder / L"flat.asc");
    appState.outputPath = folder / L"flat.obj";
    {
        BoxCloser closer(window.handle(), 60000);
        pressKey(VK_RETURN);
        pressKey(VK_ESCAPE);
        CHECK(appState.cancelRequested);
        CHECK(pumpUntil([] { return !conversionJobActive(); }));
        CHECK_EQ(closer.result().caption, std::wstring(L"Converting cancelled..."));
    }
    // Escape with no job changes nothing.
    pressKey(VK_ESCAPE);
    CHECK(!appState.cancelRequested && !conversionJobActive());
}

UI_TEST(keyboard, enterPressesTheFocusedPushButton) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    const std::filesystem::path output = scratchFolder() / L"entered.obj";
    SetFocus(findControl(idSaveAsButton));
    {
        FileDialogAnswer answer(window.handle(), output.wstring());
        pressKey(VK_RETURN);
        CHECK(answer.answered());
    }
    CHECK(appState.outputPath == output);
    CHECK(!conversionJobActive() && !std::filesystem::exists(output));

    click(idCropCheckBox);
    SetWindowTextW(findControl(idXMinEdit), L"5");
    SetFocus(findControl(idCropResetButton));
    pressKey(VK_RETURN);
    CHECK_EQ(textOf(idXMinEdit), std::wstring(L"1"));
    CHECK(!conversionJobActive());
}
