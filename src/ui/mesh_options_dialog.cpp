#include "ui/mesh_options_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "app/mesh_options.h"
#include "app/simplify_options.h"
#include "convert/texture_check.h"
#include "resource_ids.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/control_text.h"
#include "ui/layout.h"

namespace morvale::ui {
namespace {

bool ticked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); }

std::wstring itemText(HWND dialog, int id) { return controlText(GetDlgItem(dialog, id)); }

// Numbers are ASCII; anything else cannot be one and stays as '?' for the message.
std::string narrowed(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

void showNumber(HWND dialog, int id, double value) { setControlTextf(GetDlgItem(dialog, id), L"%.10g", value); }

// The choices as the controls show them, numbers aside (the rules do not look at them).
MeshOptions choicesShown(HWND dialog) {
    MeshOptions options;
    options.format = appState.meshOptions.format;
    if (ticked(dialog, IDC_MAX_ERROR)) options.maxError = 0.0;
    if (ticked(dialog, IDC_MAX_TRIANGLES)) options.maxTriangles = 2;
    options.attributes.uv = ticked(dialog, IDC_UV);
    options.attributes.normals = ticked(dialog, IDC_NORMALS);
    options.attributes.texture = itemText(dialog, IDC_TEXTURE_PATH);
    // The extent counts only when coordinates are written.
    if (options.attributes.writesUv() && ticked(dialog, IDC_UV_WINDOW))
        options.attributes.uvExtent = UvExtentMode::window;
    options.solid = ticked(dialog, IDC_SOLID);
    if (ticked(dialog, IDC_BASE_GIVEN)) options.solidBase = 0.0;
    return options;
}

// The settings of the main window that the rules read.
ConversionSettings windowSettings() {
    ConversionSettings settings = conversionSettings;
    settings.centerZ = IsDlgButtonChecked(appState.mainWindow, idCenterZCheckBox) == BST_CHECKED;
    return settings;
}

// Each choice with the control that turns it on and whether it is on.
struct ChoiceControl {
    MeshChoice choice;
    int id;
};
constexpr ChoiceControl choiceControls[] = {
    {MeshChoice::maxError, IDC_MAX_ERROR},
    {MeshChoice::maxTriangles, IDC_MAX_TRIANGLES},
    {MeshChoice::uv, IDC_UV},
    {MeshChoice::normals, IDC_NORMALS},
    {MeshChoice::texture, IDC_TEXTURE_PATH},
    {MeshChoice::solid, IDC_SOLID},
    {MeshChoice::solidBase, IDC_BASE_GIVEN},
};

bool choiceOn(HWND dialog, const ChoiceControl& control) {
    return control.id == IDC_TEXTURE_PATH ? !itemText(dialog, IDC_TEXTURE_PATH).empty() : ticked(dialog, control.id);
}

// A choice the rules refuse is disabled, unless it is on (it can then be
// turned off); the reasons, each once, go under the groups.
void updateStates(HWND dialog) {
    const MeshOptions shown = choicesShown(dialog);
    const ConversionSettings settings = windowSettings();
    std::vector<std::string> reasons;
    for (const ChoiceControl& control : choiceControls) {
        const char* conflict = meshChoiceConflict(control.choice, shown, settings);
        const bool on = choiceOn(dialog, control);
        enable(dialog, control.id, conflict == nullptr || on);
        if (control.id == IDC_TEXTURE_PATH) enable(dialog, IDC_TEXTURE_BROWSE, conflict == nullptr || on);
        if (control.id == IDC_TEXTURE_PATH) enable(dialog, IDC_TEXTURE_LABEL, conflict == nullptr || on);
        // A base is chosen only for a solid: before, its reason would only crowd the line.
        if (control.id == IDC_BASE_GIVEN && !shown.solid) {
            enable(dialog, IDC_BASE_GIVEN, false);
            continue;
        }
        if (conflict != nullptr && std::find(reasons.begin(), reasons.end(), conflict) == reasons.end())
            reasons.emplace_back(conflict);
    }
    enable(dialog, IDC_MAX_ERROR_VALUE, shown.maxError.has_value());
    enable(dialog, IDC_MAX_TRIANGLES_VALUE, shown.maxTriangles > 0);
    const bool uvWritten = shown.attributes.writesUv();
    enable(dialog, IDC_UV_GRID, uvWritten);
    enable(dialog, IDC_UV_WINDOW, uvWritten);
    enable(dialog, IDC_BASE_AUTO, shown.solid);
    enable(dialog, IDC_BASE_VALUE, shown.solid && shown.solidBase.has_value());
    std::wstring text;
    for (const std::string& reason : reasons)
        text.append(text.empty() ? L"" : L"\n").append(reason.begin(), reason.end());
    SetDlgItemTextW(dialog, IDC_REASONS, text.c_str());
}

void fillDialog(HWND dialog, const MeshOptions& options) {
    const int simplify = options.maxError           ? IDC_MAX_ERROR
                         : options.maxTriangles > 0 ? IDC_MAX_TRIANGLES
                                                    : IDC_FULL_MESH;
    CheckRadioButton(dialog, IDC_FULL_MESH, IDC_MAX_TRIANGLES, simplify);
    if (options.maxError) showNumber(dialog, IDC_MAX_ERROR_VALUE, *options.maxError);
    if (options.maxTriangles > 0)
        SetDlgItemTextW(dialog, IDC_MAX_TRIANGLES_VALUE, std::to_wstring(options.maxTriangles).c_str());
    const AttributeSettings& a = options.attributes;
    CheckDlgButton(dialog, IDC_UV, a.uv ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_UV_GRID, IDC_UV_WINDOW,
                     a.uvExtent == UvExtentMode::window ? IDC_UV_WINDOW : IDC_UV_GRID);
    CheckDlgButton(dialog, IDC_NORMALS, a.normals ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(dialog, IDC_TEXTURE_PATH, a.texture.c_str());
    CheckDlgButton(dialog, IDC_SOLID, options.solid ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_BASE_AUTO, IDC_BASE_GIVEN, options.solidBase ? IDC_BASE_GIVEN : IDC_BASE_AUTO);
    if (options.solidBase) showNumber(dialog, IDC_BASE_VALUE, *options.solidBase);
    showNumber(dialog, IDC_Z_SCALE, options.zScale);
    updateStates(dialog);
}

// A bad value: the converter's message, and the field to mend it in.
bool refuse(HWND dialog, int fieldId, const char* message) {
    const std::string text = message;
    MessageBoxW(dialog, std::wstring(text.begin(), text.end()).c_str(), L"Error...", MB_OK | MB_ICONERROR);
    const HWND field = GetDlgItem(dialog, fieldId);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    return false;
}

// Reads the values as the converter reads its options; false (the message
// shown) when one is bad.
bool readDialog(HWND dialog, MeshOptions& options) {
    options = choicesShown(dialog);
    char message[256];
    if (options.maxError) {
        const std::string text = narrowed(itemText(dialog, IDC_MAX_ERROR_VALUE));
        double error = 0.0;
        if (const SimplifyOptionStatus status = parseMaxError(text, error); status != SimplifyOptionStatus::ok)
            return refuse(dialog, IDC_MAX_ERROR_VALUE,
                          simplifyOptionMessage(status, "--max-error", text, message, sizeof message));
        options.maxError = error;
    }
    if (options.maxTriangles > 0) {
        const std::string text = narrowed(itemText(dialog, IDC_MAX_TRIANGLES_VALUE));
        std::int64_t budget = 0;
        if (const SimplifyOptionStatus status = parseMaxTriangles(text, budget); status != SimplifyOptionStatus::ok)
            return refuse(dialog, IDC_MAX_TRIANGLES_VALUE,
                          simplifyOptionMessage(status, "--max-triangles", text, message, sizeof message));
        options.maxTriangles = budget;
    }
    if (options.solid && options.solidBase) {
        double base = 0.0;
        if (!readSolidBase(narrowed(itemText(dialog, IDC_BASE_VALUE)), base, message, sizeof message))
            return refuse(dialog, IDC_BASE_VALUE, message);
        options.solidBase = base;
    }
    if (!readZScale(narrowed(itemText(dialog, IDC_Z_SCALE)), options.zScale, message, sizeof message))
        return refuse(dialog, IDC_Z_SCALE, message);
    // An image the format cannot embed is refused now, as the converter refuses it.
    const TextureNote texture = checkTextureFor(options.attributes.texture, options.format);
    if (texture.verdict == TextureVerdict::refused) return refuse(dialog, IDC_TEXTURE_PATH, texture.text.c_str());
    return true;
}

void browseForImage(HWND dialog) {
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring current = itemText(dialog, IDC_TEXTURE_PATH);
    if (current.size() < name.size()) current.copy(name.data(), current.size());
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = dialog;
    request.lpstrFilter = L"PNG and JPEG images (*.png, *.jpg)\0*.png;*.jpg;*.jpeg\0Any file (*.*)\0*.*\0";
    request.lpstrFile = name.data();
    request.nMaxFile = static_cast<DWORD>(name.size());
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&request)) SetDlgItemTextW(dialog, IDC_TEXTURE_PATH, name.data());
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: fillDialog(dialog, appState.meshOptions); return TRUE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDOK) {
            MeshOptions options;
            if (readDialog(dialog, options)) {
                appState.meshOptions = options;
                EndDialog(dialog, IDOK);
            }
        } else if (id == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        } else if (id == IDC_TEXTURE_BROWSE) {
            browseForImage(dialog);
        } else if (HIWORD(wParam) == BN_CLICKED || (id == IDC_TEXTURE_PATH && HIWORD(wParam) == EN_CHANGE)) {
            updateStates(dialog);
        }
        return TRUE;
    }
    default: return FALSE;
    }
}

}  // namespace

bool showMeshOptionsDialog() {
    const bool taken = DialogBoxParamW(appState.instance, MAKEINTRESOURCEW(IDD_MESH_OPTIONS), appState.mainWindow,
                                       dialogProcedure, 0) == IDOK;
    if (taken) showMeshOptionsLine();
    return taken;
}

void showMeshOptionsLine() {
    SetWindowTextW(findControl(idMeshOptionsLine), meshOptionsWords(appState.meshOptions).c_str());
}

void resetMeshOptions() {
    appState.meshOptions = MeshOptions{};
    showMeshOptionsLine();
}

}  // namespace morvale::ui
