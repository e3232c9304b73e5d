// USER32 subset: window classes, and the system's icon and cursor that a
// class may name. Classes are registered by this program only; there are no
// system classes and no class or window extra bytes.
#include "user_internal.h"

#include <vector>

namespace platform {
namespace {

std::vector<WindowClass>& classes() {
    static std::vector<WindowClass> list;
    return list;
}
ATOM nextAtom = 0xC000;

// The application icon and arrow cursor of the system: fixed objects.
struct SystemObject {
    int unused;
};
SystemObject applicationIcon{};
SystemObject arrowCursor{};

HINSTANCE moduleOrProgram(HINSTANCE instance) { return instance ? instance : GetModuleHandleA(nullptr); }

}  // namespace

std::string nameKey(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<std::uintptr_t>(name));
    std::string out;
    for (const char* p = name; *p; ++p) out += (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p - 'A' + 'a') : *p;
    return out;
}

const WindowClass* findClass(HINSTANCE instance, LPCSTR name) {
    if (!name) return nullptr;
    const std::string key = nameKey(name);
    const HINSTANCE module = moduleOrProgram(instance);
    for (const WindowClass& c : classes())
        if (c.instance == module && nameKey(c.name.c_str()) == key) return &c;
    return nullptr;
}

}  // namespace platform

// GetClassInfoA: classes registered by this program; a null instance means
// the program's own module. No system classes.
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA* info) {
    const platform::WindowClass* c = platform::findClass(instance, className);
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
    platform::record("RegisterClassExA", nullptr, info ? info->cbSize : 0);
    if (!info || info->cbSize != sizeof(WNDCLASSEXA) || !info->lpfnWndProc || !info->lpszClassName) {
        platform::trace("RegisterClassExA refused");
        return 0;
    }
    if (info->cbClsExtra || info->cbWndExtra) {
        platform::trace("RegisterClassExA: extra bytes are not supported");
        return 0;
    }
    if (platform::findClass(info->hInstance, info->lpszClassName)) return 0;
    platform::WindowClass c;
    c.style = info->style;
    c.proc = info->lpfnWndProc;
    c.instance = platform::moduleOrProgram(info->hInstance);
    c.icon = info->hIcon;
    c.cursor = info->hCursor;
    c.background = info->hbrBackground;
    c.name = IS_INTRESOURCE(info->lpszClassName) ? platform::nameKey(info->lpszClassName) : info->lpszClassName;
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
