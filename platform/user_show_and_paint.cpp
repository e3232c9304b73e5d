// USER32 subset: showing, hiding, minimising and restoring a window, the
// part of its client area that needs painting, and painting it. A window
// paints on a surface of its own, which the display then shows.
#include "user_internal.h"

#include <algorithm>

namespace platform {
namespace {

void unionInto(RECT& into, const RECT& add, bool wasEmpty) {
    if (wasEmpty) {
        into = add;
        return;
    }
    into.left = std::min(into.left, add.left);
    into.top = std::min(into.top, add.top);
    into.right = std::max(into.right, add.right);
    into.bottom = std::max(into.bottom, add.bottom);
}

}  // namespace

void invalidateWhole(WindowRecord& w) {
    w.invalid = true;
    w.erasePending = true;
    w.updateRect = RECT{0, 0, w.clientWidth, w.clientHeight};
}

void deliverExpose(HWND hwnd, const RECT& area) {
    InvalidateRect(hwnd, &area, FALSE);
}

void deliverMapped(HWND hwnd, bool mapped) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->visible) return;
    if (!mapped && !w->minimized) {
        // The window manager minimised it.
        w->minimized = true;
    } else if (mapped && w->minimized) {
        w->minimized = false;
        invalidateWhole(*w);
    }
}

}  // namespace platform

using platform::findWindow;
using platform::record;
using platform::WindowRecord;

// ShowWindow: show, hide, minimise and restore. Returns whether the window
// was visible before. Showing makes the whole client area invalid.
BOOL ShowWindow(HWND hwnd, int command) {
    record("ShowWindow", hwnd, static_cast<std::uintptr_t>(command));
    WindowRecord* w = findWindow(hwnd);
    if (!w) return FALSE;
    const bool wasVisible = w->visible;
    int backendCommand = SW_SHOW;
    switch (command) {
    case SW_HIDE:
        if (!wasVisible) return FALSE;
        SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
        if (!(w = findWindow(hwnd))) return TRUE;
        w->visible = false;
        w->minimized = false;
        w->invalid = false;
        backendCommand = SW_HIDE;
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        if (!wasVisible) {
            SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
            if (!(w = findWindow(hwnd))) return FALSE;
        }
        w->visible = true;
        w->minimized = true;
        w->style |= WS_MINIMIZE;
        backendCommand = SW_MINIMIZE;
        break;
    case SW_SHOW:
    case SW_SHOWNORMAL:
    case SW_RESTORE:
        if (wasVisible && !w->minimized) return TRUE;
        if (!wasVisible) {
            SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
            if (!(w = findWindow(hwnd))) return FALSE;
        }
        backendCommand = w->minimized ? SW_RESTORE : SW_SHOW;
        w->visible = true;
        w->minimized = false;
        w->style &= ~static_cast<DWORD>(WS_MINIMIZE);
        platform::invalidateWhole(*w);
        break;
    default:
        platform::trace("ShowWindow: command not supported", hwnd, static_cast<std::uintptr_t>(command));
        return wasVisible ? TRUE : FALSE;
    }
    if (w->visible) w->style |= WS_VISIBLE;
    else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    platform::backend().show(*w, backendCommand);
    return wasVisible ? TRUE : FALSE;
}

// UpdateWindow: sends WM_PAINT at once when a shown window needs painting.
BOOL UpdateWindow(HWND hwnd) {
    record("UpdateWindow", hwnd);
    WindowRecord* w = findWindow(hwnd);
    if (!w) return FALSE;
    if (w->visible && !w->minimized && w->invalid) SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

// InvalidateRect: null means the whole client area. Hidden and minimised
// windows are repainted in full once shown, so nothing is kept for them.
// What needs painting is kept as one rectangle, around everything invalidated.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    WindowRecord* w = findWindow(hwnd);
    if (!w) return FALSE;
    if (!w->visible) return TRUE;
    RECT area = rect ? *rect : RECT{0, 0, w->clientWidth, w->clientHeight};
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    area.right = std::min<LONG>(area.right, w->clientWidth);
    area.bottom = std::min<LONG>(area.bottom, w->clientHeight);
    if (area.right <= area.left || area.bottom <= area.top) return TRUE;
    platform::unionInto(w->updateRect, area, !w->invalid);
    w->invalid = true;
    if (erase) w->erasePending = true;
    return TRUE;
}

// BeginPaint: erases through WM_ERASEBKGND when asked, validates the whole
// window, and gives a device context on the window's client surface.
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    record("BeginPaint", hwnd);
    if (paint) *paint = PAINTSTRUCT{};
    WindowRecord* w = findWindow(hwnd);
    if (!w || !paint) return nullptr;
    const RECT area = w->invalid ? w->updateRect : RECT{0, 0, 0, 0};
    const bool erase = w->erasePending;
    w->invalid = false;
    w->erasePending = false;
    w->updateRect = RECT{};
    if (w->paintDC) platform::deleteSurfaceDC(w->paintDC);
    w->paintDC = platform::createSurfaceDC(hwnd, &w->surface);
    const HDC dc = w->paintDC;
    paint->hdc = dc;
    paint->rcPaint = area;
    paint->fErase = FALSE;
    if (erase) {
        const LRESULT erased = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        paint->fErase = erased ? FALSE : TRUE;
    }
    return dc;
}

// EndPaint: frees the paint device context and shows what was drawn.
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    record("EndPaint", hwnd);
    WindowRecord* w = findWindow(hwnd);
    if (!w || !paint) return FALSE;
    if (w->paintDC && w->paintDC == paint->hdc) {
        platform::deleteSurfaceDC(w->paintDC);
        w->paintDC = nullptr;
    }
    platform::backend().present(*w, paint->rcPaint);
    return TRUE;
}
