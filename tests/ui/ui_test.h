#pragma once
// A small in-process harness for the window tests: named tests in groups,
// checks that record failures and go on, and helpers that drive the real
// main window (start and tear down, message boxes, drops).

#include <windows.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace ui_test {

using TestFunction = void (*)();
struct Registrar {
    Registrar(const char* group, const char* name, TestFunction function);
};

void reportFailure(const char* file, int line, const std::string& message);

std::string show(const std::wstring& text);
template <typename T>
std::string show(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// The real main window, started as the program starts it and destroyed at the
// end of the scope, so that every test begins from a freshly started program.
struct TestWindow {
    TestWindow();
    ~TestWindow();
    HWND handle() const;
};

// Handles everything queued for this thread.
void pumpMessages();
// Handles messages until done() holds (checked after each one) or the time is up;
// returns done(). A conversion worker runs on by itself; its reports reach the
// controls only as this thread handles them.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 60000);

// A button click as the user makes it (the button notifies its parent).
void click(int controlId);

// Reads and closes, from a helper thread, the next message box owned by the
// main window (the thread that shows a box waits inside it). whileShown runs
// on the helper before the box is closed; answer is the button that closes it.
struct SeenBox {
    bool found = false;
    std::wstring caption, text;
    HICON icon = nullptr;
    std::wstring statusLine;  // the status line while the box was shown
};
class BoxCloser {
public:
    explicit BoxCloser(HWND owner, int timeoutMs = 10000, std::function<void()> whileShown = {}, int answer = IDOK);
    ~BoxCloser() { result(); }
    SeenBox result();  // waits for the helper (at most a few seconds)

private:
    SeenBox seen_;
    std::thread helper_;
};

// Answers, from a helper thread, the next file dialog owned by the main window:
// types the path into its file-name box and presses OK, or cancels it when the
// path is empty.
class FileDialogAnswer {
public:
    FileDialogAnswer(HWND owner, std::wstring path);
    ~FileDialogAnswer() { answered(); }
    bool answered();           // whether a dialog was found (waits for the helper)
    std::wstring shownName();  // the name the dialog started with (waits for the helper)

private:
    bool found_ = false;
    std::wstring shownName_;
    std::thread helper_;
};

// A visible dialog owned by the given window that has the given control, or null.
HWND findOwnedDialog(HWND owner, int childId);

// Sends the main window a WM_DROPFILES with the given wide paths.
void dropFiles(HWND window, const std::vector<std::wstring>& paths);

// A key pressed on the control that has the focus (Shift held for Shift+Tab),
// handled as the message loop handles it.
void pressKey(WPARAM key, bool shift = false);

// Sets the system's double-click time for one scope.
class DoubleClickTime {
public:
    explicit DoubleClickTime(UINT ms) : saved_(GetDoubleClickTime()) { SetDoubleClickTime(ms); }
    ~DoubleClickTime() { SetDoubleClickTime(saved_); }

private:
    UINT saved_;
};

std::wstring textOf(int controlId);
bool isEnabled(int controlId);

// A grid of the shared collection, read in place.
std::filesystem::path sharedGridPath(const char* name);
// A fresh folder for generated files, removed at exit.
std::filesystem::path scratchFolder();
void writeTextFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace ui_test

#define UI_TEST(group, name)                                                                                  \
    static void uiTest_##group##_##name();                                                                    \
    static const ui_test::Registrar uiTestRegistrar_##group##_##name(#group, #name, uiTest_##group##_##name); \
    static void uiTest_##group##_##name()

#define CHECK(condition)                                                          \
    do {                                                                          \
        if (!(condition)) ui_test::reportFailure(__FILE__, __LINE__, #condition); \
    } while (false)

#define CHECK_EQ(actual, expected)                                                                              \
    do {                                                                                                        \
        const auto& actual_ = (actual);                                                                         \
        const auto& expected_ = (expected);                                                                     \
        if (!(actual_ == expected_)) {                                                                          \
            ui_test::reportFailure(__FILE__, __LINE__,                                                          \
                                   #actual " == " #expected "; got " + ui_test::show(actual_) + ", expected " + \
                                       ui_test::show(expected_));                                               \
        }                                                                                                       \
    } while (false)
