// The output format and the mesh options in the window: the save dialog's
// types, the options dialog's rules (what disables what, the converter's
// messages), the Step 04 line, and their reset when a grid opens.

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "resource_ids.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui_test.h"

using namespace morvale;
using namespace morvale::ui;
using namespace ui_test;

namespace {

constexpr int fileNameBoxId = 0x47c;
constexpr int fileTypeBoxId = 0x470;
constexpr int messageBoxTextId = 0xFFFF;

// Answers the save dialog from a helper thread while this thread runs it from
// Save as: reads its types, picks one (-1 keeps it), types the name, presses OK.
struct SaveDialogSeen {
    bool found = false;
    std::vector<std::wstring> types;
    int typeShown = -1;
};
SaveDialogSeen answerSaveDialog(const std::wstring& name, int type) {
    SaveDialogSeen seen;
    std::thread helper([&] {
        for (int waited = 0; waited < 10000; waited += 20, Sleep(20)) {
            const HWND dialog = findOwnedDialog(appState.mainWindow, fileNameBoxId);
            if (dialog == nullptr) continue;
            seen.found = true;
            const HWND types = GetDlgItem(dialog, fileTypeBoxId);
            const int count = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                wchar_t text[128] = {};
                if (SendMessageW(types, CB_GETLBTEXTLEN, i, 0) < 128)
                    SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                seen.types.emplace_back(text);
            }
            seen.typeShown = static_cast<int>(SendMessageW(types, CB_GETCURSEL, 0, 0));
            if (type >= 0) {
                SendMessageW(types, CB_SETCURSEL, type, 0);
                for (const WORD code : {CBN_SELCHANGE, CBN_SELENDOK})
                    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(fileTypeBoxId, code), reinterpret_cast<LPARAM>(types));
            }
            SetDlgItemTextW(dialog, fileNameBoxId, name.c_str());
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return;
        }
    });
    click(idSaveAsButton);
    helper.join();
    return seen;
}

// Runs `use` on a helper thread with the options dialog once it shows, while
// this thread runs the dialog from its button; `use` must end the dialog.
bool withOptionsDialog(const std::function<void(HWND)>& use) {
    bool found = false;
    std::thread helper([&] {
        for (int waited = 0; waited < 10000; waited += 20, Sleep(20)) {
            if (const HWND dialog = findOwnedDialog(appState.mainWindow, IDC_FULL_MESH)) {
                found = true;
                use(dialog);
                return;
            }
        }
    });
    click(idMeshOptionsButton);
    helper.join();
    return found;
}

void press(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
bool on(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
std::wstring reasons(HWND dialog) { return controlText(GetDlgItem(dialog, IDC_REASONS)); }
bool says(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

// OK with the values shown; the text of the error box it brings, if any (the
// dialog then stays), else empty (the dialog closed).
std::wstring pressOk(HWND dialog) {
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int waited = 0; waited < 5000; waited += 20, Sleep(20)) {
        if (const HWND box = findOwnedDialog(dialog, messageBoxTextId)) {
            wchar_t text[512] = {};
            GetDlgItemTextW(box, messageBoxTextId, text, 512);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            for (int closing = 0; closing < 2000 && IsWindowVisible(box); closing += 20) Sleep(20);
            return text;
        }
        if (!IsWindow(dialog)) return {};
    }
    return L"(the dialog neither closed nor complained)";
}

}  // namespace

UI_TEST(options, saveTypesAndTypedExtensionsSetTheFormatAndANewGridResetsIt) {
    TestWindow window;
    const std::filesystem::path grid = sharedGridPath("richdem_pit.asc");
    const std::filesystem::path folder = scratchFolder();
    openGrid(grid);
    CHECK(isEnabled(idMeshOptionsButton));
    CHECK_EQ(textOf(idMeshOptionsLine), std::wstring());

    // OBJ first and chosen; a typed extension decides whatever the type.
    SaveDialogSeen seen = answerSaveDialog((folder / L"typed.glb").wstring(), -1);
    CHECK(seen.found);
    CHECK(seen.types == (std::vector<std::wstring>{L"OBJ files (*.obj)", L"Binary glTF (*.glb)", L"STL (*.stl)"}));
    CHECK_EQ(seen.typeShown, 0);
    CHECK(appState.meshOptions.format == OutputFormat::glb);
    CHECK_EQ(textOf(idOutputNameValue), std::wstring(L"typed.glb"));
    CHECK_EQ(textOf(idMeshOptionsLine), std::wstring(L"GLB"));

    // A name without extension takes the chosen type's; the dialog reopens on the format's type.
    seen = answerSaveDialog((folder / L"chosen").wstring(), 2);
    CHECK_EQ(seen.typeShown, 1);
    CHECK(appState.meshOptions.format == OutputFormat::stl);
    CHECK_EQ(appState.outputPath.filename().wstring(), std::wstring(L"chosen.stl"));
    CHECK_EQ(textOf(idMeshOptionsLine), std::wstring(L"STL"));

    // An extension of no format's keeps the chosen type.
    answerSaveDialog((folder / L"mesh.txt").wstring(), 1);
    CHECK(appState.meshOptions.format == OutputFormat::glb);

    appState.meshOptions.maxError = 0.5;
    openGrid(grid);
    CHECK(appState.meshOptions.format == OutputFormat::obj && !appState.meshOptions.maxError);
    CHECK_EQ(textOf(idMeshOptionsLine), std::wstring());
    CHECK_EQ(appState.outputPath.extension().wstring(), std::wstring(L".obj"));
}

UI_TEST(options, theDialogOffersWhatTheConverterAcceptsAndSaysWhyNot) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    click(idFloatingPlanesButton);
    CHECK(withOptionsDialog([](HWND dialog) {
        // Floating planes: no triangle budget, no solid; an error bound merges planes.
        CHECK(!on(dialog, IDC_MAX_TRIANGLES) && !on(dialog, IDC_SOLID) && on(dialog, IDC_MAX_ERROR));
        CHECK(says(reasons(dialog), L"--max-triangles applies to the interpolated mode only"));
        CHECK(says(reasons(dialog), L"--solid closes the interpolated surface only"));
        CHECK(!on(dialog, IDC_MAX_ERROR_VALUE) && !on(dialog, IDC_UV_GRID) && !on(dialog, IDC_BASE_VALUE));
        press(dialog, IDC_MAX_ERROR);
        CHECK(on(dialog, IDC_MAX_ERROR_VALUE));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
    CHECK(!appState.meshOptions.maxError);  // cancelled: nothing taken

    click(idInterpolatedButton);
    click(idCenterZCheckBox);
    CHECK(withOptionsDialog([](HWND dialog) {
        CHECK_EQ(reasons(dialog), std::wstring());
        // Normals and a solid exclude each other, whichever comes first.
        press(dialog, IDC_NORMALS);
        CHECK(!on(dialog, IDC_SOLID) && says(reasons(dialog), L"--normals cannot be used with --solid"));
        press(dialog, IDC_NORMALS);
        press(dialog, IDC_SOLID);
        CHECK(!on(dialog, IDC_NORMALS) && on(dialog, IDC_BASE_AUTO));
        // A given base is an elevation that centring moves.
        CHECK(!on(dialog, IDC_BASE_GIVEN) && says(reasons(dialog), L"--solid BASE cannot be used with --center-z"));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }));

    // STL holds neither coordinates, normals nor an image.
    appState.meshOptions.format = OutputFormat::stl;
    CHECK(withOptionsDialog([](HWND dialog) {
        CHECK(!on(dialog, IDC_UV) && !on(dialog, IDC_NORMALS) && !on(dialog, IDC_TEXTURE_PATH) &&
              !on(dialog, IDC_TEXTURE_BROWSE) && on(dialog, IDC_SOLID));
        CHECK_EQ(reasons(dialog), std::wstring(L"--uv, --normals and --texture do not apply to STL, which holds only "
                                               L"triangles and facet normals"));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
}

UI_TEST(options, okReadsTheValuesAsTheConverterDoesAndTheLineSaysWhatIsOn) {
    TestWindow window;
    openGrid(sharedGridPath("richdem_pit.asc"));
    CHECK(withOptionsDialog([](HWND dialog) {
        press(dialog, IDC_MAX_ERROR);
        SetDlgItemTextW(dialog, IDC_MAX_ERROR_VALUE, L"-1");
        CHECK_EQ(pressOk(dialog), std::wstring(L"--max-error: '-1' is negative: the error bound is 0 or more, in the "
                                               L"grid's elevation units"));
        CHECK(IsWindowVisible(dialog));
        SetDlgItemTextW(dialog, IDC_MAX_ERROR_VALUE, L"0.5");
        press(dialog, IDC_SOLID);
        press(dialog, IDC_BASE_GIVEN);
        SetDlgItemTextW(dialog, IDC_BASE_VALUE, L"1O");
        CHECK_EQ(pressOk(dialog), std::wstring(L"--solid: '1O' is not a number"));
        SetDlgItemTextW(dialog, IDC_BASE_VALUE, L"-20");
        press(dialog, IDC_UV);
        press(dialog, IDC_UV_WINDOW);
        SetDlgItemTextW(dialog, IDC_Z_SCALE, L"0");
        CHECK_EQ(pressOk(dialog), std::wstring(L"--z-scale: '0' is not above 0; elevations are multiplied by it"));
        SetDlgItemTextW(dialog, IDC_Z_SCALE, L"2.5");
        CHECK_EQ(pressOk(dialog), std::wstring());
    }));
    const MeshOptions& taken = appState.meshOptions;
    CHECK(taken.maxError == 0.5 && taken.solid && taken.solidBase == -20.0 && taken.attributes.uv &&
          taken.attributes.uvExtent == UvExtentMode::window && taken.zScale == 2.5);
    CHECK_EQ(
        textOf(idMeshOptionsLine),
        std::wstring(L"OBJ, max error 0.5, texture coordinates, over the crop, solid on a base at -20, heights x 2.5"));

    // The dialog opens on the options taken; a budget replaces the bound.
    CHECK(withOptionsDialog([](HWND dialog) {
        CHECK(IsDlgButtonChecked(dialog, IDC_MAX_ERROR) == BST_CHECKED);
        CHECK_EQ(controlText(GetDlgItem(dialog, IDC_BASE_VALUE)), std::wstring(L"-20"));
        press(dialog, IDC_MAX_TRIANGLES);
        SetDlgItemTextW(dialog, IDC_MAX_TRIANGLES_VALUE, L"1");
        CHECK_EQ(pressOk(dialog), std::wstring(L"--max-triangles: '1' is below 2: a mesh needs at least 2 triangles"));
        SetDlgItemTextW(dialog, IDC_MAX_TRIANGLES_VALUE, L"5000");
        CHECK_EQ(pressOk(dialog), std::wstring());
    }));
    CHECK(!taken.maxError && taken.maxTriangles == 5000);
}
