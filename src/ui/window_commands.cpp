#include "ui/window_commands.h"

#include "ui/control_ids.h"
#include "ui/presets.h"

namespace morvale::ui {

void handleCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == CBN_SELCHANGE && id == idPresetBox) onPresetSelected();
}

}  // namespace morvale::ui
