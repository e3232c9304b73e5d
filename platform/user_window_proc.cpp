// USER32 subset: window procedures. Sending calls a window's procedure at
// once on this thread (with a limit on nesting), a window's procedure can be
// replaced, and the default procedure does what the window code relies on.
#include "user_internal.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Window procedures that send to each other without end would exhaust the
// stack; past this depth a sent message is dropped instead.
constexpr int kNestingLimit = 400;
int nesting = 0;

}  // namespace

LRESULT callWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->proc) return 0;
    if (nesting >= kNestingLimit) {
        trace("window procedures nested too deeply; message dropped", hwnd, message);
        return 0;
    }
    WNDPROC proc = w->proc;
    ++nesting;
    const LRESULT result = proc(hwnd, message, wParam, lParam);
    --nesting;
    return result;
}

}  // namespace platform

using platform::findWindow;
using platform::record;
using platform::WindowRecord;

// SendMessageA: the window's procedure, called at once on this thread.
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    record("SendMessageA", hwnd, message, wParam, static_cast<std::uintptr_t>(lParam));
    return platform::callWindow(hwnd, message, wParam, lParam);
}

// CallWindowProcA: calls that procedure.
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hwnd, message, wParam, lParam);
}

// SetWindowLongA: a 32-bit value cannot hold a window procedure on 64-bit
// systems, so GWL_WNDPROC is refused as there; nothing else is supported.
LONG SetWindowLongA(HWND hwnd, int index, LONG) {
    platform::trace("SetWindowLongA: not supported; use SetWindowLongPtrA", hwnd, static_cast<std::uintptr_t>(index));
    return 0;
}

// SetWindowLongPtrA: GWLP_WNDPROC only; returns the previous procedure.
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    record("SetWindowLongPtrA", hwnd, static_cast<std::uintptr_t>(index), static_cast<std::uintptr_t>(value));
    WindowRecord* w = findWindow(hwnd);
    if (!w || index != GWLP_WNDPROC || !value) return 0;
    const WNDPROC previous = w->proc;
    w->proc = reinterpret_cast<WNDPROC>(value);
    return reinterpret_cast<LONG_PTR>(previous);
}

// DefWindowProcA: what the logic relies on, and no more. WM_CLOSE destroys
// the window; WM_SYSCOMMAND closes, minimises and restores (sizing,
// moving and maximising are left to the window manager, or not offered).
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    record("DefWindowProcA", hwnd, message, wParam, static_cast<std::uintptr_t>(lParam));
    WindowRecord* w = findWindow(hwnd);
    if (!w) return 0;
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create && create->lpszName) {
            w->title = create->lpszName;
            if (w->native) platform::backend().setTitle(*w);
        }
        return TRUE;
    }
    case WM_SETTEXT: {
        w->title = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if (w->native) platform::backend().setTitle(*w);
        return TRUE;
    }
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        const std::size_t n = std::min<std::size_t>(w->title.size(), wParam - 1);
        std::memcpy(reinterpret_cast<char*>(lParam), w->title.data(), n);
        reinterpret_cast<char*>(lParam)[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case SC_MINIMIZE:
            ShowWindow(hwnd, SW_MINIMIZE);
            return 0;
        case SC_RESTORE:
            ShowWindow(hwnd, SW_RESTORE);
            return 0;
        default:
            platform::trace("DefWindowProcA: system command not supported", hwnd, wParam);
            return 0;
        }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        // Only a class brush would erase; none of ours has one that we draw.
        if (!w->background) return 0;
        platform::trace("DefWindowProcA: background brushes are not drawn", hwnd);
        return 0;
    case WM_SETICON: {
        HICON& slot = wParam == ICON_SMALL ? w->smallIcon : w->bigIcon;
        HICON previous = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    default:
        return 0;
    }
}
