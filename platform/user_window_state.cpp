// USER32 subset: what a window's record answers: whether it is a window,
// whose it is, whether it takes input, and the size of its client area.
#include "user_internal.h"

using platform::findWindow;
using platform::WindowRecord;

BOOL IsWindow(HWND hwnd) { return findWindow(hwnd) ? TRUE : FALSE; }

// GetWindow: GW_OWNER only.
HWND GetWindow(HWND hwnd, UINT command) {
    WindowRecord* w = findWindow(hwnd);
    if (!w) return nullptr;
    if (command == GW_OWNER) return w->owner;
    platform::trace("GetWindow: command not supported", hwnd, command);
    return nullptr;
}

// GetParent: no child windows here, so only the owner of a WS_POPUP window.
HWND GetParent(HWND hwnd) {
    WindowRecord* w = findWindow(hwnd);
    if (!w) return nullptr;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

// EnableWindow: a disabled window takes no mouse input. The result tells
// whether it was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable) {
    platform::record("EnableWindow", hwnd, static_cast<std::uintptr_t>(enable));
    WindowRecord* w = findWindow(hwnd);
    if (!w) return FALSE;
    const bool wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
    if (w->enabled) w->style &= ~static_cast<DWORD>(WS_DISABLED);
    else w->style |= WS_DISABLED;
    return wasDisabled ? TRUE : FALSE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->clientWidth, w->clientHeight};
    return TRUE;
}
