// Whole conversion jobs in the window: the summary and failure boxes, the OBJ
// file against the command-line converter's, cancelling with the convert
// button, and closing the window during a job.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/conversion_job.h"
#include "ui/image_buttons.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui_test.h"

using namespace morvale;
using namespace morvale::ui;
using namespace ui_test;

namespace {

bool waitForJobEnd() {
    return pumpUntil([] { return !conversionJobActive(); });
}

// Presses convert and reads the box that ends the job.
SeenBox convertAndReadBox(HWND window) {
    BoxCloser closer(window);
    click(idConvertButton);
    CHECK(waitForJobEnd());
    return closer.result();
}

int barPosition() { return static_cast<int>(SendMessageW(findControl(idProgressBar), PBM_GETPOS, 0, 0)); }

void choosePreset(HWND window, int row) {
    const HWND box = findControl(idPresetBox);
    SendMessageW(box, CB_SETCURSEL, row, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(idPresetBox, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

// The summary after its first line, which holds the run's time.
std::wstring afterTimeLine(const std::wstring& text, const std::wstring& firstLineStart) {
    const std::size_t lineEnd = text.find(L" seconds.\n");
    if (text.rfind(firstLineStart, 0) != 0 || lineEnd == std::wstring::npos) return L"(no time line) " + text;
    return text.substr(lineEnd + 10);
}

// The job ended: the window is back to a file open and idle.
void expectIdleAfterJob(int line) {
    if (textOf(idStatusLine) != L"Ready..." || barPosition() != 0 || appState.running || appState.cancelRequested ||
        !isEnabled(idOpenButton) || !isEnabled(idConvertButton) || !isEnabled(idInterpolatedButton) ||
        !isEnabled(idPresetBox) || !isEnabled(idSaveAsButton)) {
        reportFailure(__FILE__, line, "the window is not idle after the job");
    }
}

// The OBJ file's lines without line 4, the start time.
std::vector<std::string> linesWithoutTime(const std::filesystem::path& obj) {
    const std::string text = testing_support::readFile(obj);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    if (lines.size() > 3) lines.erase(lines.begin() + 3);
    return lines;
}

bool endsWithQuads(const std::filesystem::path& obj) {
    const std::string text = testing_support::readFile(obj);
    return text.size() > 6 && text.compare(text.size() - 6, 6, " quads") == 0;
}

// Runs the Windows command-line converter of this build; its exit status.
int runConverter(const std::wstring& arguments) {
    std::wstring command = L"\"" + std::filesystem::path(MORVALE_CONVERT_PROGRAM).make_preferred().wstring() + L"\" " +
                           arguments + L" --quiet";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
        return -1;
    }
    DWORD status = 0;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.hProcess, &status)) {
        TerminateProcess(process.hProcess, 99);
        status = static_cast<DWORD>(-2);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

std::wstring quoted(const std::filesystem::path& path) { return L"\"" + path.wstring() + L"\""; }

// A grid big enough that a job can be stopped in its middle: rows x columns
// of small whole numbers, one row per line.
std::filesystem::path writeBigGrid(int columns, int rows) {
    std::string text = "ncols " + std::to_string(columns) + "\r\nnrows " + std::to_string(rows) +
                       "\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 2\r\nNODATA_value -9999\r\n";
    text.reserve(text.size() + static_cast<std::size_t>(columns) * rows * 4);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            text += std::to_string((row * 7 + column * 13) % 500);
            text += column + 1 < columns ? " " : "\r\n";
        }
    }
    const std::filesystem::path path = scratchFolder() / L"big.asc";
    writeTextFile(path, text);
    return path;
}

}  // namespace

UI_TEST(job, interpolatedJobShowsItsSummaryAndWritesTheConvertersFile) {
    TestWindow window;
    const std::filesystem::path grid = sharedGridPath("ava_slideTopo.asc");  // 419 x 201
    const std::filesystem::path folder = scratchFolder();
    openGrid(grid);
    appState.outputPath = folder / L"window.obj";
    click(idCropCheckBox);
    SetWindowTextW(findControl(idXMinEdit), L"11");
    SetWindowTextW(findControl(idYMinEdit), L"21");
    SetWindowTextW(findControl(idXMaxEdit), L"300");
    SetWindowTextW(findControl(idYMaxEdit), L"180");
    choosePreset(window.handle(), 1);  // Blender writes its scale, 2
    CHECK_EQ(textOf(idUnitScaleEdit), std::wstring(L"2"));
    click(idOffsetsCheckBox);
    click(idCenterZCheckBox);

    const SeenBox box = convertAndReadBox(window.handle());
    CHECK(box.found);
    CHECK_EQ(box.caption, std::wstring(L"Converting done..."));
    CHECK(box.icon == LoadIconW(nullptr, IDI_INFORMATION));
    CHECK_EQ(box.statusLine, std::wstring(L"Ready..."));
    CHECK_EQ(afterTimeLine(box.text, L"Conversion time:  "),
             std::wstring(L"\nVertices:  46 851\nTriangles:  92 800\nQuads  46 400\n\nNo data value:  0\n\n"
                          L"Rows status:   160 /  160  (OK)\nRecords status:  46 400 / 46 400  (OK)"));
    expectIdleAfterJob(__LINE__);
    CHECK(conversionSettings.cropXMin == 11 && conversionSettings.cropYMax == 180 &&
          conversionSettings.presetIndex == 1);

    CHECK_EQ(runConverter(quoted(grid) + L" -o " + quoted(folder / L"converter.obj") +
                          L" --crop 11,21,300,180 --preset blender --offsets --center-z"),
             0);
    const std::vector<std::string> fromWindow = linesWithoutTime(folder / L"window.obj");
    CHECK(fromWindow.size() > 90000);
    CHECK(fromWindow == linesWithoutTime(folder / L"converter.obj"));
}

UI_TEST(job, floatingPlanesJobShowsItsSummaryAndWritesTheConvertersFile) {
    TestWindow window;
    const std::filesystem::path grid = sharedGridPath("landlab_hugo_site.asc");  // 76 x 55, with no-data cells
    const std::filesystem::path folder = scratchFolder();
    openGrid(grid);
    appState.outputPath = folder / L"window.obj";
    click(idFloatingPlanesButton);
    // A preset typed into the box, not picked: it is found and selected.
    SendMessageW(findControl(idPresetBox), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(findControl(idPresetBox), L" maya ");
    SetWindowTextW(findControl(idUnitScaleEdit), L"0.5");

    const SeenBox box = convertAndReadBox(window.handle());
    CHECK_EQ(box.caption, std::wstring(L"Converting done..."));
    CHECK(box.icon == LoadIconW(nullptr, IDI_INFORMATION));
    CHECK_EQ(afterTimeLine(box.text, L"Conversion time:  "),
             std::wstring(L"\nVertices:  8 608\nTriangles:  4 304\nQuads  2 152\n\nNo data value:  2 028\n\n"
                          L"Rows status:  55 / 55  (OK)\nRecords status:  4 180 / 4 180  (OK)"));
    CHECK_EQ(SendMessageW(findControl(idPresetBox), CB_GETCURSEL, 0, 0), 3);
    CHECK_EQ(textOf(idPresetBox), std::wstring(L"Maya"));
    expectIdleAfterJob(__LINE__);
    CHECK(conversionSettings.mode == TerrainMode::FloatingPlanes);

    CHECK_EQ(runConverter(quoted(grid) + L" -o " + quoted(folder / L"converter.obj") +
                          L" --mode floating-planes --preset maya --scale 0.5"),
             0);
    const std::vector<std::string> fromWindow = linesWithoutTime(folder / L"window.obj");
    CHECK(fromWindow.size() > 8608 + 2152);
    CHECK(fromWindow == linesWithoutTime(folder / L"converter.obj"));
}

UI_TEST(job, failuresAndFailedChecksShowTheirBoxes) {
    TestWindow window;
    const std::filesystem::path grid = sharedGridPath("richdem_pit.asc");
    openGrid(grid);
    const auto expectFailure = [&](const wchar_t* text, int line) {
        const SeenBox box = convertAndReadBox(window.handle());
        if (box.caption != L"Error..." || box.text != text || box.icon != LoadIconW(nullptr, IDI_ERROR) ||
            box.statusLine != L"Error...") {
            reportFailure(__FILE__, line, "failure box " + show(box.caption) + " " + show(box.text));
        }
        expectIdleAfterJob(line);
    };
    appState.outputPath = scratchFolder() / L"missing" / L"out.obj";
    expectFailure(L"Can't create output file...", __LINE__);
    appState.outputPath = grid;
    expectFailure(L"Output file is the same as the input file...", __LINE__);

    // A body shorter than its header: the file is written, the checks fail.
    const std::filesystem::path folder = scratchFolder();
    writeTextFile(folder / L"short.asc",
                  "ncols 3\r\nnrows 3\r\nxllcorner 0\r\nyllcorner 0\r\ncellsize 1\r\n1 2 3\r\n4 5\r\n");
    openGrid(folder / L"short.asc");
    click(idFloatingPlanesButton);
    const SeenBox box = convertAndReadBox(window.handle());
    CHECK_EQ(box.caption, std::wstring(L"Converting done, but some ERRORS occured!"));
    CHECK(box.icon == LoadIconW(nullptr, IDI_ERROR));
    CHECK_EQ(box.statusLine, std::wstring(L"Error..."));
    CHECK_EQ(afterTimeLine(box.text, L"Conversion time:  "),
             std::wstring(L"\nVertices:  20\nTriangles:  10\nQuads  5\n\nNo data value:  0\n\n"
                          L"Rows status:  3 / 1  (ERROR)\nRecords status:  9 / 5  (ERROR)"));
    CHECK(endsWithQuads(folder / L"short.obj"));
    expectIdleAfterJob(__LINE__);
}

UI_TEST(job, theConvertButtonCancelsARunningJob) {
    TestWindow window;
    openGrid(writeBigGrid(1000, 600));
    appState.outputPath = scratchFolder() / L"big.obj";
    const DoubleClickTime quickPresses(1);  // the second press is no double-click
    BoxCloser closer(window.handle(), 60000);
    click(idConvertButton);

    // The job holds the window: settings and open button off, the convert
    // button on and showing its cancel picture and text, other commands ignored.
    CHECK(appState.running && conversionJobActive());
    CHECK(!isEnabled(idOpenButton) && !isEnabled(idInterpolatedButton) && !isEnabled(idSaveAsButton));
    CHECK(isEnabled(idConvertButton) && isEnabled(idStatusLine) && isEnabled(idLinkButton));
    CHECK_EQ(buttonPicture(idConvertButton, buttonLook(0, isEnabled(idConvertButton)), conversionSettings.mode,
                           appState.running),
             135);
    CHECK_EQ(textOf(idConvertButton), std::wstring(L"Cancel conversion"));
    SendMessageW(window.handle(), WM_COMMAND, idFloatingPlanesButton, 0);
    CHECK(conversionSettings.mode == TerrainMode::Interpolated);

    Sleep(5);
    click(idConvertButton);
    CHECK(appState.cancelRequested && appState.running);
    CHECK(isEnabled(idConvertButton) && !isEnabled(idOpenButton));
    click(idConvertButton);  // pressing again changes nothing more

    CHECK(waitForJobEnd());
    const SeenBox box = closer.result();
    CHECK_EQ(box.caption, std::wstring(L"Converting cancelled..."));
    CHECK(box.icon == LoadIconW(nullptr, IDI_WARNING));
    CHECK_EQ(box.statusLine, std::wstring(L"Cancelled..."));
    CHECK(box.text.rfind(L"---CANCELLED---\nConversion time:  ", 0) == 0);
    CHECK(box.text.size() > 16 && box.text.substr(box.text.size() - 17) == L"\n\n---CANCELLED---");
    CHECK(box.text.find(L"\nRows status:   600 / ") != std::wstring::npos);
    CHECK(box.text.find(L"  (ERROR)\nRecords status:   600 000 / ") != std::wstring::npos);
    CHECK(conversionStats.status == -1 && conversionStats.rowsRead < 600);
    CHECK(endsWithQuads(appState.outputPath));
    expectIdleAfterJob(__LINE__);
    CHECK_EQ(buttonPicture(idConvertButton, ButtonLook::normal, conversionSettings.mode, appState.running), 131);
    CHECK_EQ(textOf(idConvertButton), std::wstring(L"Convert"));

    // The next job runs to its end.
    const SeenBox next = convertAndReadBox(window.handle());
    CHECK_EQ(next.caption, std::wstring(L"Converting done..."));
}

UI_TEST(job, aDoubleClickOnConvertConvertsOnce) {
    TestWindow window;
    openGrid(writeBigGrid(1000, 600));
    appState.outputPath = scratchFolder() / L"double.obj";
    const DoubleClickTime slowPresses(5000);
    BoxCloser closer(window.handle(), 60000);
    // A double-click: press, then the second press that the button reports.
    click(idConvertButton);
    click(idConvertButton);
    CHECK(appState.running && !appState.cancelRequested);
    CHECK(waitForJobEnd());
    CHECK_EQ(closer.result().caption, std::wstring(L"Converting done..."));
    CHECK_EQ(conversionStats.rowsRead, 600);
}

UI_TEST(job, progressReachesTheWindowOnlyThroughItsMessages) {
    TestWindow window;
    openGrid(sharedGridPath("landlab_hugo_site.asc"));
    appState.outputPath = scratchFolder() / L"posted.obj";
    BoxCloser closer(window.handle());
    click(idConvertButton);
    // Nothing is handled here: however far the worker gets, the status line
    // and the bar wait for the window thread.
    Sleep(300);
    CHECK_EQ(textOf(idStatusLine), std::wstring(L"Ready..."));
    CHECK_EQ(barPosition(), 0);
    CHECK(waitForJobEnd());
    CHECK_EQ(closer.result().caption, std::wstring(L"Converting done..."));
}

UI_TEST(job, closingTheWindowDuringAJobFinishesTheFileWithoutABox) {
    const std::filesystem::path output = scratchFolder() / L"closed.obj";
    {
        TestWindow window;
        openGrid(writeBigGrid(1000, 600));
        appState.outputPath = output;
        click(idFloatingPlanesButton);
        BoxCloser closer(window.handle(), 1500);
        click(idConvertButton);
        // The window's close box: the job is cancelled and its file completed
        // before the window is gone, and no message is handled meanwhile.
        SendMessageW(window.handle(), WM_CLOSE, 0, 0);
        CHECK(!IsWindow(window.handle()));
        CHECK(!conversionJobActive() && !appState.running);
        CHECK(endsWithQuads(output));
        CHECK(!closer.result().found);
    }
    CHECK(conversionStats.status == -1 && conversionStats.rowsRead < 600);
    CHECK(testing_support::readFile(output).find("\r\ng big\r\n") != std::string::npos);
}

UI_TEST(job, meshOptionsRunTheConvertersRequestAndTheSummaryNamesTheFormat) {
    TestWindow window;
    const std::filesystem::path grid = sharedGridPath("ava_slideTopo.asc");
    const std::filesystem::path folder = scratchFolder();
    openGrid(grid);
    appState.outputPath = folder / L"window.glb";
    appState.meshOptions.format = OutputFormat::glb;
    appState.meshOptions.maxError = 1.0;
    appState.meshOptions.attributes.uv = true;
    appState.meshOptions.attributes.normals = true;
    const SeenBox box = convertAndReadBox(window.handle());
    CHECK_EQ(box.caption, std::wstring(L"Converting done..."));
    const std::size_t format = box.text.find(L"\n\nFormat:  GLB\nError reached:  ");
    CHECK(format != std::wstring::npos && box.text.find(L"Quads  0\n") != std::wstring::npos);
    CHECK_EQ(runConverter(quoted(grid) + L" -o " + quoted(folder / L"converter.glb") +
                          L" --format glb --max-error 1 --uv --normals"),
             0);
    const std::string written = testing_support::readFile(folder / L"window.glb");
    CHECK(written.size() > 1000 && written == testing_support::readFile(folder / L"converter.glb"));

    // A request the converter refuses starts nothing: its message, nothing written.
    appState.meshOptions = MeshOptions{};
    appState.meshOptions.solid = true;
    click(idFloatingPlanesButton);
    appState.outputPath = folder / L"refused.obj";
    BoxCloser closer(window.handle());
    click(idConvertButton);
    const SeenBox refused = closer.result();
    CHECK_EQ(refused.text, std::wstring(L"--solid closes the interpolated surface only: floating planes share no "
                                        L"edges to close into a solid; nothing written"));
    CHECK(!conversionJobActive() && !std::filesystem::exists(folder / L"refused.obj"));
}
