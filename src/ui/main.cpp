// The desktop program: start the window and run it until it is closed.

#include <windows.h>

#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    if (!morvale::ui::startMainWindow(instance, showCommand)) return 0;
    return morvale::ui::runMessageLoop();
}
