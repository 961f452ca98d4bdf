// Files dropped on the main window.

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/conversion_job.h"
#include "ui_test.h"

using namespace morvale::ui;
using namespace ui_test;

UI_TEST(drop, oneDroppedGridOpensLikeTheOpenCommand) {
    TestWindow window;
    const std::filesystem::path grid = sharedGridPath("richdem_pit.asc");
    ui_test::dropFiles(window.handle(), {grid.wstring()});
    CHECK(appState.inputPath == grid);
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"richdem_pit.asc"));
    CHECK_EQ(textOf(idColumnsValue), std::wstring(L"10"));
    CHECK_EQ(textOf(idRowsValue), std::wstring(L"6"));
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"richdem_pit.obj"));
    CHECK(isEnabled(idConvertButton) && isEnabled(idInfoFrame));
}

UI_TEST(drop, severalFilesOrADropDuringAJobAreIgnored) {
    TestWindow window;
    const std::wstring pit = sharedGridPath("richdem_pit.asc").wstring();
    const std::wstring hugo = sharedGridPath("landlab_hugo_site.asc").wstring();
    ui_test::dropFiles(window.handle(), {pit, hugo});
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"---"));
    CHECK(appState.inputPath.empty());

    // A job is over for the worker but not for the window while its summary
    // box is up: a grid dropped then must not open.
    ui_test::dropFiles(window.handle(), {pit});
    appState.outputPath = ui_test::scratchFolder() / L"pit.obj";
    {
        ui_test::BoxCloser closer(window.handle(), 10000, [&] { ui_test::dropFiles(window.handle(), {hugo}); });
        ui_test::click(idConvertButton);
        ui_test::dropFiles(window.handle(), {hugo});  // and while it runs
        CHECK(ui_test::pumpUntil([] { return !conversionJobActive(); }));
        CHECK_EQ(closer.result().caption, std::wstring(L"Converting done..."));
    }
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"richdem_pit.asc"));
    CHECK(appState.inputPath == sharedGridPath("richdem_pit.asc"));
    // Once the box is closed drops work again.
    ui_test::dropFiles(window.handle(), {hugo});
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"landlab_hugo_site.asc"));
}

UI_TEST(drop, aDroppedFolderOrEmptyFileShowsItsBox) {
    TestWindow window;
    const std::filesystem::path folder = ui_test::scratchFolder();
    {
        ui_test::BoxCloser closer(window.handle());
        ui_test::dropFiles(window.handle(), {folder.wstring()});
        const ui_test::SeenBox box = closer.result();
        CHECK_EQ(box.text, std::wstring(L"Nothing to open..."));
        CHECK_EQ(box.caption, std::wstring(L"Information..."));
    }
    const std::filesystem::path empty = folder / L"empty.asc";
    ui_test::writeTextFile(empty, "");
    {
        ui_test::BoxCloser closer(window.handle());
        ui_test::dropFiles(window.handle(), {empty.wstring()});
        CHECK_EQ(closer.result().caption, std::wstring(L"Error..."));
    }
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"---"));
    CHECK(!isEnabled(idConvertButton));
}
