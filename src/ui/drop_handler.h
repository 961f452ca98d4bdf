#pragma once
// Files dropped on the main window.

#include <shellapi.h>

namespace morvale::ui {

// Opens the dropped file like the open command; ignores drops of several
// files and any drop while a job is active (summary box included). Releases the drop.
void handleDroppedFiles(HDROP drop);

}  // namespace morvale::ui
