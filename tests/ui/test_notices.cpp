// What the window tells before and after it acts: the question before a
// correction that throws away what was typed, the note on a grid in degrees,
// the whole text of a cut name field and every control's tooltip.

#include <windows.h>

#include <filesystem>
#include <string>

#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/conversion_job.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui/tooltips.h"
#include "ui_test.h"

using namespace morvale;
using namespace morvale::ui;
using namespace ui_test;

namespace {

void typeCrop(const wchar_t* xMin, const wchar_t* yMin, const wchar_t* xMax, const wchar_t* yMax) {
    SetWindowTextW(findControl(idXMinEdit), xMin);
    SetWindowTextW(findControl(idYMinEdit), yMin);
    SetWindowTextW(findControl(idXMaxEdit), xMax);
    SetWindowTextW(findControl(idYMaxEdit), yMax);
}

// Presses convert and answers the first box; a job that starts runs to its end.
SeenBox convertAnswering(int answer) {
    BoxCloser closer(appState.mainWindow, 10000, {}, answer);
    click(idConvertButton);
    CHECK(pumpUntil([] { return !conversionJobActive(); }));
    return closer.result();
}

}  // namespace

UI_TEST(notices, correctionsThatDiscardWhatWasTypedAreAskedAbout) {
    TestWindow window;
    openGrid(sharedGridPath("ava_slideTopo.asc"));  // 419 x 201
    const std::filesystem::path output = scratchFolder() / L"asked.obj";
    appState.outputPath = output;
    click(idCropCheckBox);

    // No: nothing converts, the corrected values stay in the fields.
    typeCrop(L"400", L"1", L"300", L"201");
    CHECK_EQ(convertAnswering(IDNO).text,
             std::wstring(L"The crop was corrected to x 1..300, y 1..201: convert with these values?"));
    CHECK(!std::filesystem::exists(output) && textOf(idStatusLine) == L"Ready...");
    CHECK(textOf(idXMinEdit) == L"1" && textOf(idXMaxEdit) == L"300");

    // Each kind of discarding correction asks: a crop text that is no number,
    // a scale that is none, a scale longer than the field reads.
    typeCrop(L"12abc", L"1", L"300", L"201");
    CHECK_EQ(convertAnswering(IDNO).caption, std::wstring(L"Corrected values..."));
    CHECK_EQ(textOf(idXMinEdit), std::wstring(L"12"));
    for (const auto& [typed, shown] :
         {std::pair{L"abc", L"1"}, std::pair{L"12345678901234567890123456789012", L"12345678901234"}}) {
        SetWindowTextW(findControl(idUnitScaleEdit), typed);
        CHECK_EQ(convertAnswering(IDNO).text,
                 std::wstring(L"The unit scale was corrected to ") + shown + L": convert with this value?");
        CHECK_EQ(textOf(idUnitScaleEdit), std::wstring(shown));
    }
    CHECK(!std::filesystem::exists(output));

    // A plain clamp to the grid converts without a word.
    SetWindowTextW(findControl(idUnitScaleEdit), L"1");
    typeCrop(L"0", L"-3", L"9999", L"200");
    CHECK_EQ(convertAnswering(IDOK).caption, std::wstring(L"Converting done..."));
    CHECK(textOf(idXMinEdit) == L"1" && textOf(idXMaxEdit) == L"419");
    std::filesystem::remove(output);

    // Yes converts with the corrected values.
    typeCrop(L"1", L"150", L"419", L"100");
    {
        BoxCloser question(window.handle(), 10000, {}, IDYES);
        click(idConvertButton);
        CHECK(question.result().found && conversionJobActive());
    }
    {
        BoxCloser summary(window.handle(), 30000);
        CHECK(pumpUntil([] { return !conversionJobActive(); }));
        CHECK_EQ(summary.result().caption, std::wstring(L"Converting done..."));
    }
    CHECK(conversionSettings.cropYMin == 1 && conversionSettings.cropYMax == 100);
    CHECK(std::filesystem::exists(output));
}

UI_TEST(notices, aGridInDegreesIsToldInTheStatusLine) {
    TestWindow window;
    const std::filesystem::path folder = scratchFolder();
    const std::string body = "1 2\r\n3 4\r\n";
    writeTextFile(folder / L"alps.asc",
                  "ncols 2\r\nnrows 2\r\nxllcorner 7.5\r\nyllcorner 46\r\ncellsize 0.000833\r\n" + body);
    writeTextFile(folder / L"utm.asc", "ncols 2\r\nnrows 2\r\nxllcorner 7.5\r\nyllcorner 46\r\ncellsize 30\r\n" + body);
    writeTextFile(folder / L"wgs.asc", "ncols 2\r\nnrows 2\r\nxllcorner 7.5\r\nyllcorner 46\r\ncellsize 30\r\n" + body);
    writeTextFile(folder / L"wgs.prj", "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\"]]");
    const std::wstring note = L"X and Y are degrees, elevations are not: reproject with gdalwarp for metres";
    for (const auto& [name, shown] : {std::pair{L"alps.asc", note}, std::pair{L"utm.asc", std::wstring(L"Ready...")},
                                      std::pair{L"wgs.asc", note}, std::pair{L"utm.asc", std::wstring(L"Ready...")}}) {
        openGrid(folder / name);
        CHECK(appState.inputPath == folder / name);  // opened all the same
        CHECK_EQ(textOf(idStatusLine), shown);
        // The status line's tooltip gives the commands in full.
        CHECK_EQ(tooltipText(idStatusLine).find(L"gdalwarp ") != std::wstring::npos, shown == note);
    }
}

UI_TEST(notices, everyControlHasATooltipAndCutNamesShowWhole) {
    TestWindow window;
    for (const ControlSpec& entry : controlTable()) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window.handle();
        tool.uId = reinterpret_cast<UINT_PTR>(findControl(entry.id));
        CHECK(SendMessageW(tooltipWindow(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)) != 0);
        if (tooltipText(entry.id).empty()) reportFailure(__FILE__, __LINE__, "no tooltip for " + show(entry.id));
    }
    // The presets in plain words, a line each.
    const std::wstring presets = tooltipText(idPresetBox);
    CHECK(presets.find(L"\nBlender: Y up") != std::wstring::npos);
    CHECK(presets.find(L"Blender's default import Z up, east -X, north -Y; unit scale 2: twice the size") !=
          std::wstring::npos);
    CHECK(presets.find(L"\nMaya: Y up, east +X, north -Z; unit scale 100: 100 times the size") != std::wstring::npos);

    // A name longer than its field ends with an ellipsis there, and its tooltip
    // (asked as the tooltip asks) shows it whole.
    const std::wstring name = L"gdalw_jacksboro_large_12345678_with_a_tail_that_goes_on_and_on_and_on.asc";
    const std::filesystem::path grid = scratchFolder() / name;
    writeTextFile(grid, "ncols 2\r\nnrows 1\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 5\r\n1 2\r\n");
    openGrid(grid);
    for (const auto& [id, whole] :
         {std::pair{static_cast<int>(idFileNameValue), name},
          std::pair{static_cast<int>(idOutputNameValue),
                    std::wstring(L"gdalw_jacksboro_large_12345678_with_a_tail_that_goes_on_and_on_and_on.obj")}}) {
        const HWND field = findControl(id);
        CHECK((GetWindowLongPtrW(field, GWL_STYLE) & SS_ENDELLIPSIS) != 0);
        const HDC dc = GetDC(field);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(field, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32W(dc, whole.c_str(), static_cast<int>(whole.size()), &extent);
        ReleaseDC(field, dc);
        RECT box{};
        GetClientRect(field, &box);
        CHECK(extent.cx > box.right);  // it is cut
        NMTTDISPINFOW request{};
        request.hdr = {tooltipWindow(), reinterpret_cast<UINT_PTR>(field), TTN_GETDISPINFOW};
        SendMessageW(window.handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
        CHECK_EQ(std::wstring(request.lpszText), whole);
    }
    CHECK_EQ(tooltipText(idOutputFolderValue), textOf(idOutputFolderValue));

    // The texts take the mouse for their tooltips, and a frame lies over its
    // step's controls: still every control a person uses gets the mouse itself.
    click(idCropCheckBox);  // all enabled: the mouse passes over disabled ones
    for (const ControlSpec& entry : controlTable()) {
        const ControlKind kind = entry.kind;
        if (kind == ControlKind::frame || kind == ControlKind::preview || kind == ControlKind::label ||
            kind == ControlKind::value || kind == ControlKind::name || kind == ControlKind::progressBar)
            continue;
        const HWND control = findControl(entry.id);
        RECT box{};
        GetWindowRect(control, &box);
        const HWND hit = WindowFromPoint({(box.left + box.right) / 2, (box.top + box.bottom) / 2});
        if (hit != control && GetParent(hit) != control)
            reportFailure(__FILE__, __LINE__, "the mouse misses control " + show(entry.id));
    }
}
