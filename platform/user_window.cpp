// USER32 subset: window classes, windows, properties, the system menu,
// default processing, showing and painting. Top-level windows only (owned
// windows are allowed, child windows are refused); one thread.
#include "user_internal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace platform {
namespace {

struct ClassRecord {
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string name;
    ATOM atom = 0;
};

// Handles are never reused, so a stale one finds nothing.
std::uintptr_t nextWindowHandle = 0x10010;
std::uintptr_t nextMenuHandle = 0x20010;
ATOM nextAtom = 0xC000;

std::mutex tableMutex;  // guards the window table for lookups from other threads
std::map<HWND, std::unique_ptr<WindowRecord>>& windows() {
    static std::map<HWND, std::unique_ptr<WindowRecord>> table;
    return table;
}
std::vector<ClassRecord>& classes() {
    static std::vector<ClassRecord> list;
    return list;
}
std::map<HMENU, Menu>& menus() {
    static std::map<HMENU, Menu> table;
    return table;
}

// The application icon and arrow cursor of the system: fixed objects.
struct SystemObject {
    int unused;
};
SystemObject applicationIcon{};
SystemObject arrowCursor{};

// Frame metrics of the styles we support, in pixels. AdjustWindowRectEx and
// CreateWindowExA both use them, so a rectangle enlarged by the one gives
// back exactly the client area in the other.
constexpr LONG captionHeight = 23;
constexpr LONG menuBarHeight = 20;
constexpr LONG thickFrame = 8;
constexpr LONG fixedFrame = 3;
constexpr LONG thinBorder = 1;
constexpr int nestingLimit = 400;
int nesting = 0;

RECT frameOf(DWORD style, bool hasMenu, DWORD exStyle) {
    LONG frame = 0;
    if (style & WS_THICKFRAME)
        frame = thickFrame;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = fixedFrame;
    else if (style & WS_BORDER)
        frame = thinBorder;
    LONG top = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) top += captionHeight;
    if (hasMenu) top += menuBarHeight;
    return RECT{frame, top, frame, frame};
}

std::string lowered(LPCSTR text) {
    std::string out;
    if (IS_INTRESOURCE(text)) {
        out = "#" + std::to_string(reinterpret_cast<std::uintptr_t>(text));
        return out;
    }
    for (const char* p = text; *p; ++p) out += (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p - 'A' + 'a') : *p;
    return out;
}

HINSTANCE moduleOrProgram(HINSTANCE instance) { return instance ? instance : GetModuleHandleA(nullptr); }

ClassRecord* findClass(HINSTANCE instance, LPCSTR name) {
    if (!name) return nullptr;
    const std::string key = lowered(name);
    const HINSTANCE module = moduleOrProgram(instance);
    for (ClassRecord& c : classes())
        if (c.instance == module && lowered(c.name.c_str()) == key) return &c;
    return nullptr;
}

void standardSystemMenu(Menu& menu) {
    menu.items = {{SC_RESTORE, false}, {SC_MOVE, false},     {SC_SIZE, false}, {SC_MINIMIZE, false},
                  {SC_MAXIMIZE, false}, {0, true}, {SC_CLOSE, false}};
}

void invalidateWhole(WindowRecord& w) {
    w.invalid = true;
    w.erasePending = true;
    w.updateRect = RECT{0, 0, w.clientWidth, w.clientHeight};
}

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

// Removes the record; no message is sent any more.
void forget(HWND hwnd) {
    std::unique_ptr<WindowRecord> gone;
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        auto it = windows().find(hwnd);
        if (it == windows().end()) return;
        gone = std::move(it->second);
        windows().erase(it);
    }
    if (gone->native) backend().destroyWindow(*gone);
    if (gone->paintDC) deleteSurfaceDC(gone->paintDC);
    if (gone->systemMenu) menus().erase(gone->systemMenu);
}

}  // namespace

WindowRecord* findWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    std::lock_guard<std::mutex> lock(tableMutex);
    auto it = windows().find(hwnd);
    return it == windows().end() ? nullptr : it->second.get();
}

std::vector<HWND> liveWindowHandles() {
    std::lock_guard<std::mutex> lock(tableMutex);
    std::vector<HWND> out;
    for (auto& entry : windows()) out.push_back(entry.first);
    return out;
}

LRESULT callWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->proc) return 0;
    if (nesting >= nestingLimit) {
        trace("window procedures nested too deeply; message dropped", hwnd, message);
        return 0;
    }
    WNDPROC proc = w->proc;
    ++nesting;
    const LRESULT result = proc(hwnd, message, wParam, lParam);
    --nesting;
    return result;
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
using platform::record;
using platform::WindowRecord;

// GetClassInfoA: classes registered by this program; a null instance means
// the program's own module. No system classes.
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* info) {
    const platform::ClassRecord* c = platform::findClass(instance, className);
    if (!c) return FALSE;
    if (info) {
        *info = WNDCLASSA{};
        info->style = c->style;
        info->lpfnWndProc = c->proc;
        info->hInstance = c->instance;
        info->hIcon = c->icon;
        info->hCursor = c->cursor;
        info->hbrBackground = c->background;
        info->lpszClassName = className;
    }
    return TRUE;
}

// RegisterClassExA: cbSize must be the structure's size; no class or window
// extra bytes; a null hInstance registers the class for the program's module.
ATOM RegisterClassExA(const WNDCLASSEXA* info) {
    record("RegisterClassExA", nullptr, info ? info->cbSize : 0);
    if (!info || info->cbSize != sizeof(WNDCLASSEXA) || !info->lpfnWndProc || !info->lpszClassName) {
        platform::trace("RegisterClassExA refused");
        return 0;
    }
    if (info->cbClsExtra || info->cbWndExtra) {
        platform::trace("RegisterClassExA: extra bytes are not supported");
        return 0;
    }
    if (platform::findClass(info->hInstance, info->lpszClassName)) return 0;
    platform::ClassRecord c;
    c.style = info->style;
    c.proc = info->lpfnWndProc;
    c.instance = platform::moduleOrProgram(info->hInstance);
    c.icon = info->hIcon;
    c.cursor = info->hCursor;
    c.background = info->hbrBackground;
    c.name = IS_INTRESOURCE(info->lpszClassName) ? platform::lowered(info->lpszClassName) : info->lpszClassName;
    c.atom = platform::nextAtom++;
    platform::classes().push_back(c);
    return c.atom;
}

// LoadCursorA: the system's arrow only.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance || name != IDC_ARROW) return nullptr;
    return reinterpret_cast<HCURSOR>(&platform::arrowCursor);
}

// LoadIconA: the program carries no resources; the system's application icon.
HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    if (instance || name != IDI_APPLICATION) return nullptr;
    return reinterpret_cast<HICON>(&platform::applicationIcon);
}

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
    const platform::ClassRecord* c = platform::findClass(instance, className);
    if (!c) {
        platform::trace("CreateWindowExA: no such class");
        return nullptr;
    }
    if (style & WS_CHILD) {
        platform::trace("CreateWindowExA: child windows are not supported");
        return nullptr;
    }
    if (parent && !findWindow(parent)) return nullptr;

    auto record = std::make_unique<WindowRecord>();
    WindowRecord& w = *record;
    w.handle = reinterpret_cast<HWND>(platform::nextWindowHandle);
    platform::nextWindowHandle += 4;
    w.className = c->name;
    w.classStyle = c->style;
    w.background = c->background;
    w.proc = c->proc;
    w.style = style & ~static_cast<DWORD>(WS_VISIBLE);
    w.exStyle = exStyle;
    w.owner = parent;
    w.menu = menu;
    w.instance = instance;

    static int cascade = 0;
    w.defaultPosition = x == CW_USEDEFAULT;
    if (w.defaultPosition) {
        x = 32 * (cascade % 8);
        y = x;
        ++cascade;
    }
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }
    w.windowRect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    const RECT frame = platform::frameOf(style, menu != nullptr, exStyle);
    w.clientWidth = std::max(0, width - frame.left - frame.right);
    w.clientHeight = std::max(0, height - frame.top - frame.bottom);
    w.surface.resize(w.clientWidth, w.clientHeight);
    if (style & WS_SYSMENU) {
        w.systemMenu = reinterpret_cast<HMENU>(platform::nextMenuHandle);
        platform::nextMenuHandle += 4;
        platform::Menu& m = platform::menus()[w.systemMenu];
        m.owner = w.handle;
        platform::standardSystemMenu(m);
    }

    const HWND hwnd = w.handle;
    if (!platform::backend().createWindow(w)) {
        if (w.systemMenu) platform::menus().erase(w.systemMenu);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(platform::tableMutex);
        platform::windows()[hwnd] = std::move(record);
    }

    MINMAXINFO limits{};
    limits.ptMaxSize = POINT{32767, 32767};
    limits.ptMaxTrackSize = POINT{32767, 32767};
    SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    if (!findWindow(hwnd)) return nullptr;

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cy = height;
    create.cx = width;
    create.y = y;
    create.x = x;
    create.style = static_cast<LONG>(style);
    create.lpszName = title;
    create.lpszClass = className;
    create.dwExStyle = exStyle;

    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        // Refused before creation: only WM_NCDESTROY follows.
        if (WindowRecord* refused = findWindow(hwnd)) {
            refused->destroying = true;
            SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
            platform::forget(hwnd);
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
    record("DestroyWindow", hwnd);
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
    platform::forget(hwnd);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return findWindow(hwnd) ? TRUE : FALSE; }

// Window properties: names compare without regard to case, like atoms.
BOOL SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
    record("SetPropA", hwnd, reinterpret_cast<std::uintptr_t>(data));
    WindowRecord* w = findWindow(hwnd);
    if (!w || !name) return FALSE;
    const std::string key = platform::lowered(name);
    for (auto& entry : w->props)
        if (entry.first == key) {
            entry.second = data;
            return TRUE;
        }
    w->props.emplace_back(key, data);
    return TRUE;
}

HANDLE GetPropA(HWND hwnd, LPCSTR name) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !name) return nullptr;
    const std::string key = platform::lowered(name);
    for (auto& entry : w->props)
        if (entry.first == key) return entry.second;
    return nullptr;
}

HANDLE RemovePropA(HWND hwnd, LPCSTR name) {
    record("RemovePropA", hwnd);
    WindowRecord* w = findWindow(hwnd);
    if (!w || !name) return nullptr;
    const std::string key = platform::lowered(name);
    for (auto it = w->props.begin(); it != w->props.end(); ++it)
        if (it->first == key) {
            HANDLE data = it->second;
            w->props.erase(it);
            return data;
        }
    return nullptr;
}

// GetSystemMenu: the window's own copy of the standard system menu
// (Restore, Move, Size, Minimize, Maximize, Close), for WS_SYSMENU windows.
// revert TRUE puts the standard items back and returns null.
HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->systemMenu) return nullptr;
    if (revert) {
        platform::standardSystemMenu(platform::menus()[w->systemMenu]);
        return nullptr;
    }
    return w->systemMenu;
}

// RemoveMenu: by command or by position; no submenus.
BOOL RemoveMenu(HMENU handle, UINT position, UINT flags) {
    record("RemoveMenu", nullptr, reinterpret_cast<std::uintptr_t>(handle), position, flags);
    auto it = platform::menus().find(handle);
    if (it == platform::menus().end()) return FALSE;
    auto& items = it->second.items;
    if (flags & MF_BYPOSITION) {
        if (position >= items.size()) return FALSE;
        items.erase(items.begin() + position);
        return TRUE;
    }
    for (auto item = items.begin(); item != items.end(); ++item)
        if (!item->separator && item->command == position) {
            items.erase(item);
            return TRUE;
        }
    return FALSE;
}

// SendMessageA: the window's procedure, called at once on this thread.
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    record("SendMessageA", hwnd, message, wParam, static_cast<std::uintptr_t>(lParam));
    return platform::callWindow(hwnd, message, wParam, lParam);
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

// CallWindowProcA: calls that procedure.
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hwnd, message, wParam, lParam);
}

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
    record("EnableWindow", hwnd, static_cast<std::uintptr_t>(enable));
    WindowRecord* w = findWindow(hwnd);
    if (!w) return FALSE;
    const bool wasDisabled = !w->enabled;
    w->enabled = enable != FALSE;
    if (w->enabled) w->style &= ~static_cast<DWORD>(WS_DISABLED);
    else w->style |= WS_DISABLED;
    return wasDisabled ? TRUE : FALSE;
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

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->clientWidth, w->clientHeight};
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

namespace platform {
namespace test {
std::vector<UINT> menuCommands(HMENU handle) {
    std::vector<UINT> out;
    auto it = menus().find(handle);
    if (it == menus().end()) return out;
    for (const MenuItem& item : it->second.items) out.push_back(item.separator ? 0 : item.command);
    return out;
}
}  // namespace test
}  // namespace platform
