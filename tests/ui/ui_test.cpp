#include "ui_test.h"

#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <utility>

#include "test_support.h"
#include "ui/app_state.h"
#include "ui/control_text.h"
#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace ui_test {
namespace {

struct TestCase {
    const char* group;
    const char* name;
    TestFunction function;
};

std::vector<TestCase>& registry() {
    static std::vector<TestCase> tests;
    return tests;
}

int failuresInTest = 0;

struct DialogSearch {
    HWND owner;
    int childId;  // a control the dialog must have
    HWND found;
};

BOOL CALLBACK findOwnedDialogWindow(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<DialogSearch*>(search);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wcscmp(className, L"#32770") != 0 || GetWindow(window, GW_OWNER) != wanted->owner ||
        !IsWindowVisible(window) || GetDlgItem(window, wanted->childId) == nullptr) {
        return TRUE;
    }
    wanted->found = window;
    return FALSE;
}

}  // namespace

HWND findOwnedDialog(HWND owner, int childId) {
    DialogSearch search{owner, childId, nullptr};
    EnumWindows(findOwnedDialogWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {

// A message box's text is the static 0xFFFF; a file dialog's name box is the
// combo box 0x47c of the explorer style.
constexpr int messageBoxTextId = 0xFFFF;
constexpr int fileNameBoxId = 0x47c;

}  // namespace

Registrar::Registrar(const char* group, const char* name, TestFunction function) {
    registry().push_back({group, name, function});
}

void reportFailure(const char* file, int line, const std::string& message) {
    ++failuresInTest;
    const char* base = std::strrchr(file, '/');
    std::printf("  %s:%d: %s\n", base != nullptr ? base + 1 : file, line, message.c_str());
}

std::string show(const std::wstring& text) {
    std::string out = "\"";
    for (const wchar_t c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        out += c >= 32 && c < 127 ? std::string(1, static_cast<char>(c)) : std::string(escaped);
    }
    return out + "\"";
}

TestWindow::TestWindow() {
    using namespace morvale::ui;
    // The program starts with zeroed records.
    appState.inputPath.clear();
    appState.outputPath.clear();
    appState.inputNameNarrow.clear();
    appState.objectNameNarrow.clear();
    appState.running = false;
    appState.cancelRequested = false;
    appState.focusedControl = 0;
    gridHeader = {};
    conversionSettings = {};
    // The pointer waits off the window: a tooltip would cover what the tests read from the screen.
    SetCursorPos(0, 0);
    if (!startMainWindow(GetModuleHandleW(nullptr), SW_SHOWNORMAL)) {
        reportFailure(__FILE__, __LINE__, "the main window did not start");
    }
    pumpMessages();
}

TestWindow::~TestWindow() {
    DestroyWindow(handle());
    pumpMessages();  // also takes the quit message the window posted
    UnregisterClassW(morvale::ui::mainWindowTitle, GetModuleHandleW(nullptr));
}

HWND TestWindow::handle() const { return morvale::ui::appState.mainWindow; }

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (morvale::ui::handleWindowKey(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (morvale::ui::handleWindowKey(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
    return true;
}

void click(int controlId) { SendMessageW(morvale::ui::findControl(controlId), BM_CLICK, 0, 0); }

BoxCloser::BoxCloser(HWND owner, int timeoutMs, std::function<void()> whileShown, int answer) {
    helper_ = std::thread([this, owner, timeoutMs, whileShown, answer] {
        const HWND statusLine = morvale::ui::findControl(268);
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            if (const HWND box = findOwnedDialog(owner, messageBoxTextId)) {
                seen_.found = true;
                // Read without a message: the window thread may be busy.
                wchar_t status[128] = {};
                InternalGetWindowText(statusLine, status, 128);
                seen_.statusLine = status;
                seen_.caption = morvale::ui::controlText(box);
                wchar_t text[2048] = {};
                GetDlgItemTextW(box, messageBoxTextId, text, 2048);
                seen_.text = text;
                // The icon's static has a different identifier on each platform.
                for (const int id : {0x14, 0x440}) {
                    if (const HWND icon = GetDlgItem(box, id)) {
                        seen_.icon = reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0));
                    }
                }
                if (whileShown) whileShown();
                PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
                return;
            }
            Sleep(20);
        }
    });
}

SeenBox BoxCloser::result() {
    if (helper_.joinable()) helper_.join();
    return seen_;
}

FileDialogAnswer::FileDialogAnswer(HWND owner, std::wstring path) {
    helper_ = std::thread([this, owner, path] {
        for (int waited = 0; waited < 10000; waited += 20) {
            if (const HWND dialog = findOwnedDialog(owner, fileNameBoxId)) {
                found_ = true;
                wchar_t shown[1024] = {};
                GetDlgItemTextW(dialog, fileNameBoxId, shown, 1024);
                shownName_ = shown;
                if (path.empty()) {
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                    return;
                }
                SetDlgItemTextW(dialog, fileNameBoxId, path.c_str());
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(20);
        }
    });
}

bool FileDialogAnswer::answered() {
    if (helper_.joinable()) helper_.join();
    return found_;
}

std::wstring FileDialogAnswer::shownName() {
    answered();
    return shownName_;
}

void dropFiles(HWND window, const std::vector<std::wstring>& paths) {
    std::size_t characters = 1;  // the list ends with an empty name
    for (const std::wstring& path : paths) characters += path.size() + 1;
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    wchar_t* name = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths) name = std::wmemcpy(name, path.c_str(), path.size()) + path.size() + 1;
    GlobalUnlock(memory);
    // The window releases the drop, as it does with one from the shell.
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

void pressKey(WPARAM key, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    // Only the key's own messages are handled, as the message loop does:
    // whatever they start (a job) is not run on by handling its messages too.
    const HWND target = GetFocus() != nullptr ? GetFocus() : morvale::ui::appState.mainWindow;
    for (const auto& [message, flags] : {std::pair<UINT, LPARAM>{WM_KEYDOWN, 1}, {WM_KEYUP, 0xC0000001}}) {
        const MSG pressed{target, message, key, flags, 0, {}};
        if (morvale::ui::handleWindowKey(pressed)) continue;
        TranslateMessage(&pressed);
        DispatchMessageW(&pressed);
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

std::wstring textOf(int controlId) { return morvale::ui::controlText(morvale::ui::findControl(controlId)); }

bool isEnabled(int controlId) { return IsWindowEnabled(morvale::ui::findControl(controlId)) != FALSE; }

std::filesystem::path sharedGridPath(const char* name) { return testing_support::sharedGrid(name).make_preferred(); }

std::filesystem::path scratchFolder() {
    static testing_support::ScratchDir scratch;
    static int next = 0;
    const std::filesystem::path folder = scratch / ("case" + std::to_string(next++));
    std::filesystem::create_directories(folder);
    return folder;
}

void writeTextFile(const std::filesystem::path& path, const std::string& bytes) {
    testing_support::writeFile(path, bytes);
}

}  // namespace ui_test

// Runs the tests of the groups named on the command line, or all of them.
int main(int argc, char** argv) {
    int passed = 0;
    int failed = 0;
    for (const auto& test : ui_test::registry()) {
        bool wanted = argc < 2;
        for (int index = 1; index < argc; ++index) wanted = wanted || std::strcmp(argv[index], test.group) == 0;
        if (!wanted) continue;
        ui_test::failuresInTest = 0;
        const auto start = std::chrono::steady_clock::now();
        test.function();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        std::printf("[%s] %s.%s (%lld ms)\n", ui_test::failuresInTest == 0 ? " OK " : "FAIL", test.group, test.name,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
        std::fflush(stdout);
        ++(ui_test::failuresInTest == 0 ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
