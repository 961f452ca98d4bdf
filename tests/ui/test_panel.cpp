// The information panel, the default output and the two open-result boxes,
// on the shared grids and on generated headers.

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui_test.h"

using namespace morvale::ui;
using namespace ui_test;

namespace {

std::filesystem::path writeHeader(const std::wstring& name, const std::string& header) {
    const std::filesystem::path path = ui_test::scratchFolder() / name;
    ui_test::writeTextFile(path, header + "1 2 3\r\n");
    return path;
}

std::wstring folderText(const std::filesystem::path& file) { return file.parent_path().wstring() + L"\\"; }

}  // namespace

UI_TEST(panel, openResultBoxesShowTheirTextsAndChangeNothing) {
    TestWindow window;
    {
        ui_test::BoxCloser closer(window.handle());
        handleOpenResult(-1);
        const ui_test::SeenBox box = closer.result();
        CHECK(box.found);
        CHECK_EQ(box.caption, std::wstring(L"Information..."));
        CHECK_EQ(box.text, std::wstring(L"Nothing to open..."));
        CHECK(box.icon == LoadIconW(nullptr, IDI_WARNING));
    }
    {
        ui_test::BoxCloser closer(window.handle());
        handleOpenResult(0);
        const ui_test::SeenBox box = closer.result();
        CHECK(box.found);
        CHECK_EQ(box.caption, std::wstring(L"Error..."));
        CHECK_EQ(box.text,
                 std::wstring(L"Error while reading the file header. It seems corrupted in some way.\n\nTry open your "
                              L"file in simple text editor, the first 6 lines of the header should like this (without "
                              L"brakets):\n\nncols [number]\nnrows [number]\nxllcenter or xllcorner [number]\n"
                              L"yllcenter or yllcorner [number]\ncellsize [number]\nnodata_value [number]  <-- this "
                              L"last line is optional."));
        CHECK(box.icon == LoadIconW(nullptr, IDI_ERROR));
    }
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"---"));
    CHECK(!isEnabled(idInfoFrame));
}

UI_TEST(panel, aUtf16GridIsToldToBeSavedAgain) {
    TestWindow window;
    std::string utf16("\xff\xfe", 2);
    for (const char c : std::string("ncols 3\r\nnrows 1\r\n")) utf16 += {c, '\0'};
    const std::filesystem::path path = ui_test::scratchFolder() / L"unicode.asc";
    ui_test::writeTextFile(path, utf16);
    ui_test::BoxCloser closer(window.handle());
    openGrid(path);
    const ui_test::SeenBox box = closer.result();
    CHECK(box.found);
    CHECK_EQ(box.caption, std::wstring(L"Error..."));
    CHECK_EQ(box.text, std::wstring(L"unicode.asc looks like UTF-16 text: save the grid as ASCII or UTF-8"));
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"---"));
}

UI_TEST(panel, realGridsFillThePanelAndTheDefaultOutput) {
    TestWindow window;
    const std::filesystem::path slide = sharedGridPath("ava_slideTopo.asc");
    openGrid(slide);
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"ava_slideTopo.asc"));
    CHECK_EQ(textOf(idColumnsValue), std::wstring(L" 419"));  // three digits start with a space
    CHECK_EQ(textOf(idRowsValue), std::wstring(L" 201"));
    CHECK_EQ(textOf(idRecordsValue), std::wstring(L"84 219"));
    CHECK_EQ(textOf(idXllLabel), std::wstring(L"xll center:"));
    CHECK_EQ(textOf(idXllValue), std::wstring(L"3.5"));
    CHECK_EQ(textOf(idYllLabel), std::wstring(L"yll center:"));
    CHECK_EQ(textOf(idCellSizeValue), std::wstring(L"5"));
    CHECK_EQ(textOf(idNoDataValue), std::wstring(L"-9999"));
    CHECK_EQ(textOf(idXMaxEdit), std::wstring(L"419"));
    CHECK_EQ(textOf(idOutputFolderValue), folderText(slide));
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"ava_slideTopo.obj"));
    CHECK(appState.outputPath == slide.parent_path() / L"ava_slideTopo.obj");
    CHECK(appState.inputPath == slide);
    CHECK_EQ(appState.inputNameNarrow, std::string("ava_slideTopo.asc"));
    CHECK_EQ(appState.objectNameNarrow, std::string("ava_slideTopo"));

    openGrid(sharedGridPath("landlab_west_bijou_escarpment_snippet.asc"));
    CHECK_EQ(textOf(idColumnsValue), std::wstring(L" 129"));
    CHECK_EQ(textOf(idRecordsValue), std::wstring(L"8 643"));
    CHECK_EQ(textOf(idXllLabel), std::wstring(L"xll corner:"));
    CHECK_EQ(textOf(idXllValue), std::wstring(L"-104.3418056"));
    CHECK_EQ(textOf(idYllValue), std::wstring(L"39.50597222"));
    CHECK_EQ(textOf(idCellSizeValue), std::wstring(L"0.000277777778"));
    CHECK_EQ(textOf(idNoDataValue), std::wstring(L"-32768"));

    openGrid(sharedGridPath("landlab_4_x_3_no_nodata_value.asc"));
    CHECK_EQ(textOf(idNoDataValue), std::wstring(L"n/a"));
    CHECK_EQ(textOf(idRecordsValue), std::wstring(L"12"));
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"landlab_4_x_3_no_nodata_value.obj"));

    // A failed open leaves the last good grid in the panel, the output and the state.
    const std::filesystem::path empty = ui_test::scratchFolder() / L"empty.asc";
    ui_test::writeTextFile(empty, "");
    {
        ui_test::BoxCloser closer(window.handle());
        openGrid(empty);
        CHECK_EQ(closer.result().caption, std::wstring(L"Error..."));
    }
    CHECK_EQ(textOf(idNoDataValue), std::wstring(L"n/a"));
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"landlab_4_x_3_no_nodata_value.obj"));
    CHECK(appState.inputPath == sharedGridPath("landlab_4_x_3_no_nodata_value.asc"));
    CHECK_EQ(gridHeader.ncols, 3);
}

UI_TEST(panel, largeCountsAndLongNumbersAreShownWhole) {
    TestWindow window;
    openGrid(writeHeader(L"thousand.asc",
                         "ncols 1000\r\nnrows 1000\r\nxllcorner -1.234567891e+300\r\n"
                         "yllcorner 0.1\r\ncellsize 0.25\r\nnodata_value -1.5e-10\r\n"));
    CHECK_EQ(textOf(idColumnsValue), std::wstring(L"1 000"));
    CHECK_EQ(textOf(idRecordsValue), std::wstring(L"1 000 000"));
    CHECK_EQ(textOf(idXllValue), std::wstring(L"-1.234567891e+300"));  // 17 characters
    CHECK_EQ(textOf(idNoDataValue), std::wstring(L"-1.5e-10"));
    CHECK_EQ(textOf(idXMaxEdit), std::wstring(L"1000"));

    // The record count passes the 32-bit range.
    openGrid(writeHeader(L"huge.asc", "ncols 100000\r\nnrows 100000\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n"));
    CHECK_EQ(textOf(idRecordsValue), std::wstring(L"10 000 000 000"));
}

UI_TEST(panel, unusualNamesGiveWholeNamesAndUtf8Copies) {
    TestWindow window;
    const std::string header = "ncols 3\r\nnrows 1\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n";

    const std::filesystem::path dotted = writeHeader(L"a.b.asc", header);
    openGrid(dotted);
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"a.b.obj"));
    CHECK_EQ(appState.objectNameNarrow, std::string("a.b"));

    openGrid(writeHeader(L"plain", header));
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"plain"));
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"plain.obj"));

    const std::filesystem::path foreign = writeHeader(L"h\u00f6he_\u03a9.asc", header);
    openGrid(foreign);
    CHECK_EQ(textOf(idFileNameValue), std::wstring(L"h\u00f6he_\u03a9.asc"));
    CHECK_EQ(appState.inputNameNarrow, std::string("h\xc3\xb6he_\xce\xa9.asc"));
    CHECK_EQ(appState.objectNameNarrow, std::string("h\xc3\xb6he_\xce\xa9"));
    CHECK_EQ(textOf(idOutputFolderValue), folderText(foreign));

    // Base names and extensions longer than a classic path split allows.
    const std::wstring longBase(120, L'n');
    const std::filesystem::path longName = writeHeader(longBase + L".ascii_grid", header);
    openGrid(longName);
    CHECK_EQ(textOf(idFileNameValue), longBase + L".ascii_grid");
    CHECK_EQ(textOf(idOutputNameValue), longBase + L".obj");
    CHECK_EQ(textOf(idOutputFolderValue), folderText(longName));
    CHECK(appState.outputPath == longName.parent_path() / (longBase + L".obj"));
    CHECK_EQ(appState.objectNameNarrow, std::string(120, 'n'));
}
