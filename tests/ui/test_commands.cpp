// The commands of the main window's controls: the two file dialogs answered
// as a user would, the mode buttons, the crop box and reset, and the link.

#include <windows.h>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/conversion_job.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui/window_commands.h"
#include "ui_test.h"

using namespace morvale;
using namespace morvale::ui;
using namespace ui_test;

namespace {

bool isChecked(int id) { return SendMessageW(findControl(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

UI_TEST(commands, openDialogOpensTheChosenGridAndCancelChangesNothing) {
    TestWindow window;
    const std::filesystem::path pit = sharedGridPath("richdem_pit.asc");
    {
        FileDialogAnswer answer(window.handle(), pit.wstring());
        click(idOpenButton);
        CHECK(answer.answered());
    }
    CHECK(appState.inputPath == pit);
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"richdem_pit.asc"));
    CHECK_EQ(textOf(idXMaxEdit), std::wstring(L"10"));
    CHECK(isEnabled(idConvertButton));

    // The dialog starts at the open grid; cancelling it keeps that grid.
    {
        FileDialogAnswer answer(window.handle(), L"");
        click(idOpenButton);
        CHECK_EQ(answer.shownName(), std::wstring(L"richdem_pit.asc"));
    }
    CHECK(appState.inputPath == pit);
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"richdem_pit.asc"));

    // A name that does not exist is the open's to report, not the dialog's.
    {
        FileDialogAnswer answer(window.handle(), (pit.parent_path() / L"no_such_grid.asc").wstring());
        BoxCloser closer(window.handle());
        click(idOpenButton);
        CHECK(answer.answered());
        CHECK_EQ(closer.result().text, std::wstring(L"Nothing to open..."));
    }
    CHECK(appState.inputPath == pit);
}

UI_TEST(commands, saveDialogSetsTheOutputPathAndFields) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    const std::filesystem::path folder = scratchFolder();
    {
        FileDialogAnswer answer(window.handle(), (folder / L"terrain.obj").wstring());
        click(idSaveAsButton);
        CHECK(answer.answered());
    }
    CHECK(appState.outputPath == folder / L"terrain.obj");
    CHECK_EQ(textOf(idOutputFolderValue), folder.wstring() + L"\\");
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"terrain.obj"));
    CHECK_EQ(appState.objectNameNarrow, std::string("richdem_pit"));  // the object keeps the grid's name

    // A name typed without extension gets ".obj".
    {
        FileDialogAnswer answer(window.handle(), (folder / L"mesh").wstring());
        click(idSaveAsButton);
        CHECK(answer.answered());
    }
    CHECK(appState.outputPath == folder / L"mesh.obj");
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"mesh.obj"));

    {
        FileDialogAnswer answer(window.handle(), L"");
        click(idSaveAsButton);
        CHECK(answer.answered());
    }
    CHECK(appState.outputPath == folder / L"mesh.obj");
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"mesh.obj"));
}

UI_TEST(commands, longPathsOpenAndConvert) {
    TestWindow window;
    // Well past 260 characters: the dialog is given room for it (Wine's own
    // dialog then starts with an empty name) and its cancel changes nothing.
    std::filesystem::path folder = scratchFolder();
    for (const wchar_t* part : {L"first", L"second", L"third"}) folder /= std::wstring(90, L'x') + part;
    std::filesystem::create_directories(folder);
    const std::filesystem::path grid = folder / L"deep.asc";
    writeTextFile(grid, "ncols 2\r\nnrows 2\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n1 2\r\n3 4\r\n");
    CHECK(grid.wstring().size() > 300);
    dropFiles(window.handle(), {grid.wstring()});
    CHECK(appState.inputPath == grid);
    {
        FileDialogAnswer answer(window.handle(), L"");
        BoxCloser closer(window.handle(), 3000);
        click(idOpenButton);
        CHECK(answer.answered());
        CHECK(!closer.result().found);
    }
    CHECK(appState.inputPath == grid);

    // Wine's dialog crashes on a typed name this long, so the conversion to a
    // long output path is driven directly.
    appState.outputPath = folder / L"deep.obj";
    BoxCloser closer(window.handle());
    click(idConvertButton);
    CHECK(pumpUntil([] { return !conversionJobActive(); }));
    CHECK_EQ(closer.result().caption, std::wstring(L"Converting done..."));
    CHECK(std::filesystem::file_size(folder / L"deep.obj") > 100);
}

UI_TEST(commands, modeButtonsSwitchTheModeAndTheirCaptions) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    // After opening both captions are on until a mode is clicked.
    CHECK(isEnabled(idInterpolatedCaption) && isEnabled(idFloatingPlanesCaption));

    click(idFloatingPlanesButton);
    CHECK(conversionSettings.mode == TerrainMode::FloatingPlanes);
    CHECK(isChecked(idFloatingPlanesButton) && !isChecked(idInterpolatedButton));
    CHECK(isEnabled(idFloatingPlanesCaption) && !isEnabled(idInterpolatedCaption));

    click(idInterpolatedButton);
    CHECK(conversionSettings.mode == TerrainMode::Interpolated);
    CHECK(isChecked(idInterpolatedButton) && !isChecked(idFloatingPlanesButton));
    CHECK(isEnabled(idInterpolatedCaption) && !isEnabled(idFloatingPlanesCaption));

    // Clicking the chosen mode again keeps it chosen (the button would untick itself).
    click(idInterpolatedButton);
    CHECK(conversionSettings.mode == TerrainMode::Interpolated && isChecked(idInterpolatedButton));
}

UI_TEST(commands, cropBoxSwitchesItsGroupAndResetRestoresTheWholeGrid) {
    TestWindow window;
    openGrid(sharedGridPath("landlab_hugo_site.asc"));  // 76 x 55
    const int cropIds[] = {idCropCaption, idCropPreview, idCropResetButton, idXMinEdit, idYMaxEdit, idXMaxLabel};
    for (const int id : cropIds) CHECK(!isEnabled(id));

    click(idCropCheckBox);
    CHECK(isChecked(idCropCheckBox));
    for (const int id : cropIds) CHECK(isEnabled(id));
    // The whole window is to be repainted, the preview with it.
    RECT dirty{};
    CHECK(GetUpdateRect(window.handle(), &dirty, FALSE) && dirty.right - dirty.left >= 800);

    SetWindowTextW(findControl(idXMinEdit), L"7");
    SetWindowTextW(findControl(idYMinEdit), L"");
    SetWindowTextW(findControl(idXMaxEdit), L"9999");
    SetWindowTextW(findControl(idYMaxEdit), L"3");
    click(idCropResetButton);
    CHECK_EQ(textOf(idXMinEdit), std::wstring(L"1"));
    CHECK_EQ(textOf(idYMinEdit), std::wstring(L"1"));
    CHECK_EQ(textOf(idXMaxEdit), std::wstring(L"76"));
    CHECK_EQ(textOf(idYMaxEdit), std::wstring(L"55"));

    click(idCropCheckBox);
    CHECK(!isChecked(idCropCheckBox));
    for (const int id : cropIds) CHECK(!isEnabled(id));
    CHECK(isEnabled(idCropCheckBox) && isEnabled(idConvertButton));
}

UI_TEST(commands, linkOpensTheAuthorsPage) {
    CHECK_EQ(authorPageAddress(), std::wstring(L"https://morvale.example.org/index.php?m=3&p=5"));
}
