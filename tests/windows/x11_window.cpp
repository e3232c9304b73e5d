#include "x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>

namespace xprobe {

namespace {

// Windows come and go under our feet: a request about a window that has just
// gone must fail quietly instead of ending the process.
int lastError = 0;
int recordError(Display*, XErrorEvent* event) {
    lastError = event->error_code;
    return 0;
}

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p) XFree(p);
    }
};

std::optional<long> cardinalProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) != Success)
        return std::nullopt;
    std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (type != XA_CARDINAL || format != 32 || count != 1) return std::nullopt;
    return *reinterpret_cast<long*>(data);
}

}  // namespace

Connection::Connection() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(recordError); }

Connection::~Connection() {
    if (display_) XCloseDisplay(display_);
}

std::optional<WindowId> Connection::viewableWindowOf(pid_t pid) {
    const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return std::nullopt;
    std::unique_ptr<Window, XFreeDeleter> owned(children);
    std::optional<WindowId> best;
    long bestArea = -1;
    for (unsigned int i = 0; i < count; ++i) {
        lastError = 0;
        const auto owner = cardinalProperty(display_, children[i], pidAtom);
        if (!owner || *owner != pid) continue;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, children[i], &attributes) || lastError) continue;
        if (attributes.map_state != IsViewable) continue;
        const long area = static_cast<long>(attributes.width) * attributes.height;
        if (area > bestArea) {
            bestArea = area;
            best = children[i];
        }
    }
    return best;
}

std::optional<Geometry> Connection::geometry(WindowId window) {
    lastError = 0;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes) || lastError) return std::nullopt;
    Geometry g;
    Window child = 0;
    if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &g.x, &g.y, &child)) {
        return std::nullopt;
    }
    g.width = attributes.width;
    g.height = attributes.height;
    return g;
}

std::string Connection::title(WindowId window) {
    const Atom name = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    lastError = 0;
    if (XGetWindowProperty(display_, window, name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) !=
            Success ||
        lastError)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> owned(data);
    if (type != utf8 || format != 8 || !data) return {};
    return std::string(reinterpret_cast<const char*>(data), count);
}

}  // namespace xprobe
