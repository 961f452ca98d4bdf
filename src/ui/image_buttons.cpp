#include "ui/image_buttons.h"

#include <commctrl.h>

#include <array>

#include "resource_ids.h"
#include "ui/app_state.h"
#include "ui/control_ids.h"
#include "ui/layout.h"
#include "ui/owned_handles.h"

namespace morvale::ui {
namespace {

// Pictures by look, in the order pressed, hot, normal, disabled; 0 draws nothing.
using LookPictures = std::array<int, 4>;

constexpr LookPictures openPictures{IDI_OPEN_PRESSED, IDI_OPEN_HOT, IDI_OPEN_NORMAL, IDI_OPEN_DISABLED};
constexpr LookPictures linkPictures{IDI_LINK_PRESSED, IDI_LINK_HOT, IDI_LINK_NORMAL, 0};
constexpr LookPictures resetPictures{IDI_RESET_PRESSED, IDI_RESET_HOT, IDI_RESET_NORMAL, IDI_RESET_DISABLED};
constexpr LookPictures saveAsPictures{IDI_SAVEAS_PRESSED, IDI_SAVEAS_HOT, IDI_SAVEAS_NORMAL, IDI_SAVEAS_DISABLED};
constexpr LookPictures optionsPictures{IDI_OPTIONS_PRESSED, IDI_OPTIONS_HOT, IDI_OPTIONS_NORMAL, IDI_OPTIONS_DISABLED};
constexpr LookPictures convertPictures{IDI_CONVERT_PRESSED, IDI_CONVERT_HOT, IDI_CONVERT_NORMAL, IDI_CONVERT_DISABLED};
// While a job runs the convert button cancels; it is never disabled then.
constexpr LookPictures cancelPictures{IDI_CANCEL_PRESSED, IDI_CANCEL_HOT, IDI_CANCEL_NORMAL, IDI_CONVERT_DISABLED};

// A mode button shows its selected picture when pressed or hot, and in the
// normal look only while its mode is the chosen one.
int modePicture(ButtonLook look, bool modeChosen, int selected, int unselected) {
    switch (look) {
    case ButtonLook::pressed:
    case ButtonLook::hot: return selected;
    case ButtonLook::normal: return modeChosen ? selected : unselected;
    case ButtonLook::disabled: return unselected;
    }
    return unselected;
}

int pick(const LookPictures& pictures, ButtonLook look) { return pictures[static_cast<std::size_t>(look)]; }

void drawPicture(HDC dc, int resourceId) {
    const HICON picture = windowPicture(resourceId);
    if (dc != nullptr && picture != nullptr) DrawIconEx(dc, 0, 0, picture, 0, 0, 0, nullptr, DI_NORMAL | DI_COMPAT);
}

// Focus shows as the usual dotted rectangle, inside the picture's own edge.
constexpr int pictureFocusInset = 4;

void drawFocus(HDC dc, RECT box, int inset) {
    InflateRect(&box, -inset, -inset);
    DrawFocusRect(dc, &box);
}

bool isCheckBox(int id) { return id == idCropCheckBox || id == idOffsetsCheckBox || id == idCenterZCheckBox; }

// The check boxes have no text of their own (their captions are labels
// beside them), so the platform shows no focus: ring the whole box.
LRESULT drawCheckBoxFocus(const NMCUSTOMDRAW& draw) {
    if (draw.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
    if (draw.dwDrawStage == CDDS_POSTPAINT && (draw.uItemState & CDIS_FOCUS)) drawFocus(draw.hdc, draw.rc, 0);
    return CDRF_DODEFAULT;
}

}  // namespace

ButtonLook buttonLook(UINT customDrawItemState, bool enabled) {
    if (customDrawItemState & CDIS_SELECTED) return ButtonLook::pressed;
    if (customDrawItemState & CDIS_HOT) return ButtonLook::hot;
    return enabled ? ButtonLook::normal : ButtonLook::disabled;
}

int buttonPicture(int controlId, ButtonLook look, TerrainMode mode, bool running) {
    switch (controlId) {
    case idOpenButton: return pick(openPictures, look);
    case idLinkButton: return pick(linkPictures, look);
    case idInterpolatedButton:
        return modePicture(look, mode == TerrainMode::Interpolated, IDI_INTERPOLATED_SELECTED,
                           IDI_INTERPOLATED_UNSELECTED);
    case idFloatingPlanesButton:
        return modePicture(look, mode == TerrainMode::FloatingPlanes, IDI_PLATES_SELECTED, IDI_PLATES_UNSELECTED);
    case idCropResetButton: return pick(resetPictures, look);
    case idSaveAsButton: return pick(saveAsPictures, look);
    case idMeshOptionsButton: return pick(optionsPictures, look);
    case idConvertButton: return pick(running ? cancelPictures : convertPictures, look);
    default: return 0;
    }
}

int cropPreviewPicture(bool cropTicked, bool previewEnabled) {
    return cropTicked && previewEnabled ? IDI_CROP_ON : IDI_CROP_OFF;
}

LRESULT drawImageButton(const NMHDR* notification) {
    if (notification == nullptr || notification->code != NM_CUSTOMDRAW) return CDRF_DODEFAULT;
    const auto* draw = reinterpret_cast<const NMCUSTOMDRAW*>(notification);
    const int id = static_cast<int>(notification->idFrom);
    if (isCheckBox(id)) return drawCheckBoxFocus(*draw);
    const bool enabled = IsWindowEnabled(notification->hwndFrom) != FALSE;
    // The mode and the running flag are read now: the picture follows them at every repaint.
    const int picture =
        buttonPicture(id, buttonLook(draw->uItemState, enabled), conversionSettings.mode, appState.running.load());
    if (picture == 0) return CDRF_DODEFAULT;
    drawPicture(draw->hdc, picture);
    if (draw->dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
    if (draw->uItemState & CDIS_FOCUS) drawFocus(draw->hdc, draw->rc, pictureFocusInset);
    // The button's text is for screen readers: the picture alone is shown.
    return CDRF_SKIPDEFAULT;
}

void paintCropPreview() {
    const HWND preview = findControl(idCropPreview);
    if (preview == nullptr) return;
    const bool ticked = IsDlgButtonChecked(appState.mainWindow, idCropCheckBox) == BST_CHECKED;
    const WindowDc dc(preview);
    drawPicture(dc.get(), cropPreviewPicture(ticked, IsWindowEnabled(preview) != FALSE));
}

}  // namespace morvale::ui
