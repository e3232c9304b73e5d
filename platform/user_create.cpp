// USER32 subset: making and destroying windows, and the frame arithmetic
// that links a window's size to its client area. Top-level windows only
// (owned windows are allowed, child windows are refused); one thread.
#include "user_internal.h"

#include <algorithm>

namespace platform {
namespace {

// Handles are never reused, so a stale one finds nothing.
std::uintptr_t nextWindowHandle = 0x10010;

// Frame metrics of the styles we support, in pixels. AdjustWindowRectEx and
// CreateWindowExA both use them, so a rectangle enlarged by the one gives
// back exactly the client area in the other.
constexpr LONG kCaptionHeight = 23;
constexpr LONG kMenuBarHeight = 20;
constexpr LONG kThickFrame = 8;
constexpr LONG kFixedFrame = 3;
constexpr LONG kThinBorder = 1;

// Where and how large a window is when its creator leaves it to us.
constexpr int kCascadeStep = 32;
constexpr int kCascadePlaces = 8;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
// No window is sized or tracked beyond this, here as on Windows.
constexpr LONG kLargestSide = 32767;

RECT frameOf(DWORD style, bool hasMenu, DWORD exStyle) {
    LONG frame = 0;
    if (style & WS_THICKFRAME)
        frame = kThickFrame;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = kThinBorder;
    LONG top = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) top += kCaptionHeight;
    if (hasMenu) top += kMenuBarHeight;
    return RECT{frame, top, frame, frame};
}

// The record of a new window of class `c`, as `create` describes it. Where
// `create` asks for the default position or size (CW_USEDEFAULT), it is
// given the position and size that the window gets. The window has its own
// system menu when its style asks for one; nobody knows of it yet.
std::unique_ptr<WindowRecord> newRecord(const WindowClass& c, CREATESTRUCTA& create) {
    auto record = std::make_unique<WindowRecord>();
    WindowRecord& w = *record;
    w.handle = reinterpret_cast<HWND>(nextWindowHandle);
    nextWindowHandle += 4;
    w.className = c.name;
    w.classStyle = c.style;
    w.background = c.background;
    w.proc = c.proc;
    const auto style = static_cast<DWORD>(create.style);
    w.style = style & ~static_cast<DWORD>(WS_VISIBLE);
    w.exStyle = create.dwExStyle;
    w.owner = create.hwndParent;
    w.menu = create.hMenu;
    w.instance = create.hInstance;

    static int cascade = 0;
    w.defaultPosition = create.x == CW_USEDEFAULT;
    if (w.defaultPosition) {
        create.x = kCascadeStep * (cascade % kCascadePlaces);
        create.y = create.x;
        ++cascade;
    }
    if (create.cx == CW_USEDEFAULT) {
        create.cx = kDefaultWidth;
        create.cy = kDefaultHeight;
    }
    w.windowRect = RECT{create.x, create.y, create.x + std::max(create.cx, 0), create.y + std::max(create.cy, 0)};
    const RECT frame = frameOf(style, create.hMenu != nullptr, create.dwExStyle);
    w.clientWidth = std::max(0, create.cx - frame.left - frame.right);
    w.clientHeight = std::max(0, create.cy - frame.top - frame.bottom);
    w.clientOrigin = POINT{w.windowRect.left + frame.left, w.windowRect.top + frame.top};
    w.surface.resize(w.clientWidth, w.clientHeight);
    if (style & WS_SYSMENU) w.systemMenu = newSystemMenu(w.handle);
    return record;
}

// Gives a new window its native window and enters it in the table; null
// when the display refuses it.
HWND openWindow(std::unique_ptr<WindowRecord> record) {
    if (!backend().createWindow(*record)) {
        if (record->systemMenu) dropMenu(record->systemMenu);
        return nullptr;
    }
    const HWND hwnd = record->handle;
    enterWindow(std::move(record));
    return hwnd;
}

}  // namespace

void deliverNativeGone(HWND hwnd) {
    WindowRecord* w = findWindow(hwnd);
    if (!w) return;
    w->native = 0;
    DestroyWindow(hwnd);
}

void deliverDisplayLost() {
    for (HWND hwnd : liveWindowHandles()) {
        WindowRecord* w = findWindow(hwnd);
        if (!w || !w->native) continue;
        w->native = 0;
        DestroyWindow(hwnd);
    }
}

}  // namespace platform

using platform::findWindow;
using platform::WindowRecord;

// AdjustWindowRectEx: enlarges a client rectangle to the window rectangle
// for the frame, caption and menu bar of the style.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) return FALSE;
    const RECT frame = platform::frameOf(style, menu != FALSE, exStyle);
    rect->left -= frame.left;
    rect->top -= frame.top;
    rect->right += frame.right;
    rect->bottom += frame.bottom;
    return TRUE;
}

// CreateWindowExA: top-level (optionally owned) windows of a registered
// class. WM_GETMINMAXINFO, WM_NCCREATE and WM_CREATE reach the window's
// procedure before it returns. WM_NCCREATE returning FALSE, or WM_CREATE
// returning -1, fails the call and the window is destroyed.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    const platform::WindowClass* c = platform::findClass(instance, className);
    if (!c) {
        platform::trace("CreateWindowExA: no such class");
        return nullptr;
    }
    if (style & WS_CHILD) {
        platform::trace("CreateWindowExA: child windows are not supported");
        return nullptr;
    }
    if (parent && !findWindow(parent)) return nullptr;

    CREATESTRUCTA create{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                         title, className, exStyle};
    const HWND hwnd = platform::openWindow(platform::newRecord(*c, create));
    if (!hwnd) return nullptr;

    // Each message may destroy the window; creation then fails.
    MINMAXINFO limits{};
    limits.ptMaxSize = POINT{platform::kLargestSide, platform::kLargestSide};
    limits.ptMaxTrackSize = POINT{platform::kLargestSide, platform::kLargestSide};
    SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    if (!findWindow(hwnd)) return nullptr;

    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        // Refused before creation: only WM_NCDESTROY follows.
        if (WindowRecord* refused = findWindow(hwnd)) {
            refused->destroying = true;
            SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
            platform::forgetWindow(hwnd);
        }
        return nullptr;
    }
    if (!findWindow(hwnd)) return nullptr;
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!findWindow(hwnd)) return nullptr;
    if (style & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return findWindow(hwnd) ? hwnd : nullptr;
}

// DestroyWindow: owned windows first; then WM_DESTROY and WM_NCDESTROY reach
// the procedure before it returns. A window already being destroyed is refused.
BOOL DestroyWindow(HWND hwnd) {
    platform::record("DestroyWindow", hwnd);
    WindowRecord* w = findWindow(hwnd);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    for (HWND other : platform::liveWindowHandles()) {
        WindowRecord* owned = findWindow(other);
        if (owned && owned->owner == hwnd) DestroyWindow(other);
    }
    if ((w = findWindow(hwnd)) != nullptr && w->visible) {
        w->visible = false;
        w->invalid = false;
        if (w->native) platform::backend().show(*w, SW_HIDE);
    }
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    platform::forgetWindow(hwnd);
    return TRUE;
}
