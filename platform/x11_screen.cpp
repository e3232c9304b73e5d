#include "x11_screen.h"

#include "display_backend.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <memory>

namespace platform {
namespace {

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p) XFree(p);
    }
};

const char* className(int visualClass) {
    switch (visualClass) {
    case StaticGray: return "StaticGray";
    case GrayScale: return "GrayScale";
    case StaticColor: return "StaticColor";
    case PseudoColor: return "PseudoColor";
    case TrueColor: return "TrueColor";
    case DirectColor: return "DirectColor";
    default: return "unknown";
    }
}

constexpr int kLeastDepth = 15;

// One CARDINAL property of the root window as longs; empty when absent.
std::unique_ptr<unsigned char, XFreeDeleter> cardinals(Display* display, Window root, const char* name,
                                                       unsigned long& count) {
    Atom type = None;
    int format = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    count = 0;
    const Atom property = XInternAtom(display, name, True);
    if (property == None ||
        XGetWindowProperty(display, root, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) != Success)
        return nullptr;
    std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (type != XA_CARDINAL || format != 32) count = 0;
    return owned;
}

}  // namespace

bool chooseVisual(Display* display, int screen, DrawableVisual& chosen, std::string& why) {
    Visual* standard = DefaultVisual(display, screen);
    const int standardDepth = DefaultDepth(display, screen);
    if (standard->c_class == TrueColor && standardDepth >= kLeastDepth) {
        chosen = DrawableVisual{standard, standardDepth, true};
        return true;
    }
    for (const int depth : {24, 32, 30, 16, 15}) {
        XVisualInfo info{};
        if (XMatchVisualInfo(display, screen, depth, TrueColor, &info)) {
            chosen = DrawableVisual{info.visual, depth, false};
            return true;
        }
    }
    why = "its screen shows " + std::to_string(standardDepth) + "-bit " + className(standard->c_class) +
          " and has no TrueColor visual of " + std::to_string(kLeastDepth) +
          " bits or more, so the picture cannot be shown as it is";
    return false;
}

RECT workAreaOf(Display* display, int screen) {
    const Window root = RootWindow(display, screen);
    unsigned long count = 0, desktops = 0;
    const auto areas = cardinals(display, root, "_NET_WORKAREA", count);
    const auto current = cardinals(display, root, "_NET_CURRENT_DESKTOP", desktops);
    const unsigned long desktop = desktops >= 1 ? reinterpret_cast<const long*>(current.get())[0] : 0;
    if (areas && count >= 4 * (desktop + 1)) {
        const long* a = reinterpret_cast<const long*>(areas.get()) + 4 * desktop;
        if (a[2] > 0 && a[3] > 0)
            return RECT{static_cast<LONG>(a[0]), static_cast<LONG>(a[1]), static_cast<LONG>(a[0] + a[2]),
                        static_cast<LONG>(a[1] + a[3])};
    }
    return RECT{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

int virtualKeyOf(KeySym keysym, bool& extended) {
    extended = false;
    if (keysym >= XK_a && keysym <= XK_z) return static_cast<int>('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z) return static_cast<int>('A' + (keysym - XK_A));
    if (keysym >= XK_0 && keysym <= XK_9) return static_cast<int>('0' + (keysym - XK_0));
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<int>(0x60 + (keysym - XK_KP_0));
    if (keysym >= XK_F1 && keysym <= XK_F12) return static_cast<int>(0x70 + (keysym - XK_F1));
    switch (keysym) {
    case XK_Left: extended = true; return VK_LEFT;
    case XK_Up: extended = true; return VK_UP;
    case XK_Right: extended = true; return VK_RIGHT;
    case XK_Down: extended = true; return VK_DOWN;
    case XK_Prior: extended = true; return VK_PRIOR;
    case XK_Next: extended = true; return VK_NEXT;
    case XK_Home: extended = true; return VK_HOME;
    case XK_End: extended = true; return VK_END;
    case XK_KP_Left: return VK_LEFT;
    case XK_KP_Up: return VK_UP;
    case XK_KP_Right: return VK_RIGHT;
    case XK_KP_Down: return VK_DOWN;
    case XK_KP_Prior: return VK_PRIOR;
    case XK_KP_Next: return VK_NEXT;
    case XK_KP_Home: return VK_HOME;
    case XK_KP_End: return VK_END;
    case XK_KP_Add: return VK_ADD;
    case XK_KP_Subtract: return VK_SUBTRACT;
    case XK_space: return VK_SPACE;
    case XK_Escape: return VK_ESCAPE;
    case XK_Return: case XK_KP_Enter: return 0x0D;
    case XK_BackSpace: return 0x08;
    case XK_Tab: return 0x09;
    case XK_Shift_L: case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L: case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L: case XK_Alt_R: case XK_Meta_L: case XK_Meta_R: return VK_MENU;
    case XK_plus: case XK_equal: return VK_OEM_PLUS;
    case XK_minus: return VK_OEM_MINUS;
    default: return 0;
    }
}

unsigned modifiersOf(unsigned state) {
    unsigned held = 0;
    if (state & ShiftMask) held |= kShiftHeld;
    if (state & ControlMask) held |= kControlHeld;
    if (state & Mod1Mask) held |= kAltHeld;
    return held;
}

}  // namespace platform
