#include "ui/file_dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <array>
#include <filesystem>

#include "app/grid_names.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/info_panel.h"
#include "ui/layout.h"

namespace morvale::ui {
namespace {

// The dialogs' file-name room; a longer current path starts the dialog empty.
using DialogPath = std::array<wchar_t, MAX_PATH>;

DialogPath initialName(const std::filesystem::path& current) {
    DialogPath name{};
    const std::wstring& text = current.native();
    if (text.size() < name.size()) text.copy(name.data(), text.size());
    return name;
}

// Filters are pairs of zero-terminated texts ending with an empty one.
constexpr wchar_t gridFilter[] = L"Any text/ascii files (*.*)\0*.*\0";
constexpr wchar_t objFilter[] = L"OBJ files (*.obj)\0*.obj\0";

OPENFILENAMEW dialogRequest(DialogPath& name, const wchar_t* filter, const wchar_t* defaultExtension, DWORD flags) {
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = appState.mainWindow;
    request.lpstrFilter = filter;
    request.lpstrFile = name.data();
    request.nMaxFile = static_cast<DWORD>(name.size());
    request.lpstrDefExt = defaultExtension;
    request.Flags = flags;
    return request;
}

}  // namespace

void chooseGridFile() {
    DialogPath name = initialName(appState.inputPath);
    // A name typed without extension stays as typed (grids often have none),
    // and a missing file is reported by the open itself ("Nothing to open...").
    OPENFILENAMEW request =
        dialogRequest(name, gridFilter, nullptr, OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    if (!GetOpenFileNameW(&request)) return;
    openGrid(std::filesystem::path(name.data()));
}

void chooseOutputFile() {
    DialogPath name = initialName(appState.outputPath);
    // A new name must be accepted (the conversion creates the file); a name
    // typed without extension gets ".obj"; replacing a file is confirmed.
    OPENFILENAMEW request = dialogRequest(name, objFilter, L"obj",
                                          OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    if (!GetSaveFileNameW(&request)) return;
    appState.outputPath = std::filesystem::path(name.data());
    // The object name inside the file stays the one derived from the grid.
    const OutputPathTexts texts = splitOutputPath(appState.outputPath);
    SetWindowTextW(findControl(idOutputFolderValue), texts.folderText.c_str());
    SetWindowTextW(findControl(idOutputNameValue), texts.nameText.c_str());
}

}  // namespace morvale::ui
