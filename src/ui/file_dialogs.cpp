#include "ui/file_dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "app/grid_names.h"
#include "convert/output_format.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/info_panel.h"
#include "ui/layout.h"
#include "ui/mesh_options_dialog.h"

namespace morvale::ui {
namespace {

// Room for the longest path the platform has (32 767 characters and the
// terminator), so that a long chosen path is never taken for a cancel.
constexpr std::size_t dialogPathRoom = 32768;
using DialogPath = std::vector<wchar_t>;

DialogPath initialName(const std::filesystem::path& current) {
    DialogPath name(dialogPathRoom, L'\0');
    const std::wstring& text = current.native();
    if (text.size() < name.size()) text.copy(name.data(), text.size());
    return name;
}

// Filters are pairs of zero-terminated texts ending with an empty one.
constexpr wchar_t gridFilter[] = L"Any text/ascii files (*.*)\0*.*\0";

std::wstring widened(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The output formats the window offers (the writers' table), "OBJ files
// (*.obj)" and "*.obj" each, OBJ first; the first is the extension of a name
// typed without one while the first type is chosen (the dialog takes the
// chosen type's own otherwise).
struct OutputTypes {
    std::wstring filter;  // its final empty text is the terminator of c_str()
    std::wstring defaultExtension;
    std::vector<OutputFormat> formats;  // by type, the dialog's index less one
};

OutputTypes windowOutputTypes() {
    OutputTypes types;
    for (const OutputWriter& writer : outputWriters()) {
        if (!writer.inWindow) continue;
        const std::wstring extension = widened(writer.extension);
        types.filter += widened(writer.windowType) + L" (*" + extension + L")";
        types.filter += L'\0';
        types.filter += L"*" + extension;
        types.filter += L'\0';
        if (types.defaultExtension.empty()) types.defaultExtension = extension.substr(1);
        types.formats.push_back(writer.format);
    }
    return types;
}

// The extension typed decides; a name with none of the formats' (".txt") takes the chosen type.
OutputFormat chosenFormat(const OutputTypes& types, DWORD typeIndex, const std::filesystem::path& path) {
    OutputFormat format = OutputFormat::obj;
    if (knownFormatOfPath(path, format)) return format;
    return typeIndex >= 1 && typeIndex <= types.formats.size() ? types.formats[typeIndex - 1] : OutputFormat::obj;
}

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

// A dialog that returned without a name was cancelled, or failed: a failure
// is said, a cancel changes nothing.
void reportDialogFailure() {
    const DWORD error = CommDlgExtendedError();
    if (error == 0) return;
    wchar_t text[128];
    std::swprintf(text, std::size(text), dialogFailureFormat, static_cast<unsigned>(error));
    MessageBoxW(appState.mainWindow, text, L"Error...", MB_OK | MB_ICONERROR);
}

}  // namespace

void chooseGridFile() {
    DialogPath name = initialName(appState.inputPath);
    // A name typed without extension stays as typed (grids often have none),
    // and a missing file is reported by the open itself ("Nothing to open...").
    OPENFILENAMEW request =
        dialogRequest(name, gridFilter, nullptr, OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    if (!GetOpenFileNameW(&request)) {
        reportDialogFailure();
        return;
    }
    openGrid(std::filesystem::path(name.data()));
}

void chooseOutputFile() {
    DialogPath name = initialName(appState.outputPath);
    // A new name must be accepted (the conversion creates the file); a name
    // typed without extension gets the first type's; replacing a file is confirmed.
    const OutputTypes types = windowOutputTypes();
    OPENFILENAMEW request = dialogRequest(name, types.filter.c_str(), types.defaultExtension.c_str(),
                                          OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    // The dialog opens on the type of the current format.
    const auto current = std::find(types.formats.begin(), types.formats.end(), appState.meshOptions.format);
    request.nFilterIndex = current == types.formats.end() ? 1 : static_cast<DWORD>(current - types.formats.begin() + 1);
    if (!GetSaveFileNameW(&request)) {
        reportDialogFailure();
        return;
    }
    appState.outputPath = std::filesystem::path(name.data());
    appState.meshOptions.format = chosenFormat(types, request.nFilterIndex, appState.outputPath);
    showMeshOptionsLine();
    // The object name inside the file stays the one derived from the grid.
    const OutputPathTexts texts = splitOutputPath(appState.outputPath);
    SetWindowTextW(findControl(idOutputFolderValue), texts.folderText.c_str());
    SetWindowTextW(findControl(idOutputNameValue), texts.nameText.c_str());
}

}  // namespace morvale::ui
