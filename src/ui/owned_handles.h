#pragma once
// Owners for the platform objects the window creates: each frees its object
// exactly once, when it goes out of scope or is given another one.

#include <windows.h>

#include <utility>

namespace morvale::ui {

template <typename Handle, void (*release)(Handle)>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset(Handle handle = nullptr) {
        if (handle_ != nullptr) release(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

inline void releaseFont(HFONT font) { DeleteObject(font); }
inline void releaseIcon(HICON icon) { DestroyIcon(icon); }
inline void releaseHandle(HANDLE handle) { CloseHandle(handle); }

using OwnedFont = Owned<HFONT, releaseFont>;
using OwnedIcon = Owned<HICON, releaseIcon>;
using OwnedHandle = Owned<HANDLE, releaseHandle>;

// A control's device context from GetDC, given back on scope exit.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint and EndPaint around one WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { BeginPaint(window, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { EndPaint(window_, &paint_); }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

}  // namespace morvale::ui
