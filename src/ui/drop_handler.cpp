#include <windows.h>

#include "ui/drop_handler.h"

#include <string>

#include "ui/conversion_job.h"
#include "ui/info_panel.h"

namespace morvale::ui {

void handleDroppedFiles(HDROP drop) {
    // The commands' guard: no grid opens from the press that starts a job until
    // its summary box is closed.
    if (!conversionJobActive() && DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        // Sized by the path itself, so long paths arrive whole.
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
        path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
        openGrid(path);
    }
    DragFinish(drop);
}

}  // namespace morvale::ui
