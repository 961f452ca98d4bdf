#pragma once
// The seven picture buttons, drawn by state through custom draw, and the crop
// preview picture.

#include <windows.h>

#include <cstdint>

#include "convert/conversion_settings.h"

namespace morvale::ui {

enum class ButtonLook : std::uint8_t { pressed, hot, normal, disabled };

// Pressed before hot before normal; a disabled button is drawn as disabled.
ButtonLook buttonLook(UINT customDrawItemState, bool enabled);

// The picture resource of a button in a look, or 0 when nothing is drawn
// (the disabled link button, any control that is not a picture button).
int buttonPicture(int controlId, ButtonLook look, TerrainMode mode, bool running);

// The crop preview shows the "on" picture only while cropping is ticked and
// the preview is enabled.
int cropPreviewPicture(bool cropTicked, bool previewEnabled);

// WM_NOTIFY of the main window: draws the picture of a picture button on each
// of its custom-draw notifications, and its focus rectangle when it has the
// keyboard; the button's own drawing (its text) is skipped. The check boxes
// get a focus rectangle around them. Other notifications: CDRF_DODEFAULT (0).
LRESULT drawImageButton(const NMHDR* notification);

// Draws the crop preview; called after the main window has painted.
void paintCropPreview();

}  // namespace morvale::ui
