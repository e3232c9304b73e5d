#include "x_client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <vector>

namespace testsupport {

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
template <typename T>
using XOwned = std::unique_ptr<T, XFreeDeleter>;

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    XOwned<unsigned char> data;
};

// Up to `longs` 32-bit units of the property, of any type.
Property property(Display* display, Window window, Atom name, long longs) {
    Property p;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    lastError = 0;
    if (XGetWindowProperty(display, window, name, 0, longs, False, AnyPropertyType, &p.type, &p.format, &p.count,
                           &after, &data) != Success ||
        lastError) {
        if (data) XFree(data);
        return {};
    }
    p.data.reset(data);
    return p;
}

std::string text(const Property& p) {
    if (p.format != 8 || !p.data) return {};
    return std::string(reinterpret_cast<const char*>(p.data.get()), p.count);
}

bool attributesOf(Display* display, Window window, XWindowAttributes& attributes) {
    lastError = 0;
    return XGetWindowAttributes(display, window, &attributes) && !lastError;
}

std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    lastError = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count) || lastError) return {};
    XOwned<Window> owned(children);
    return std::vector<Window>(children, children + count);
}

// A channel of a TrueColor pixel, made 8 bits.
unsigned channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    int bits = 0;
    while ((mask >> (shift + bits)) & 1) ++bits;
    const unsigned long value = (pixel & mask) >> shift;
    return bits >= 8 ? static_cast<unsigned>(value >> (bits - 8)) : static_cast<unsigned>(value << (8 - bits));
}

// The message that ends a watch, sent to the root window so that it reaches
// every client watching it, after every event the server sent before it.
Atom endOfWatch(Display* display) { return XInternAtom(display, "CR_END_OF_WINDOW_WATCH", False); }

}  // namespace

XClient::XClient() : display_(XOpenDisplay(nullptr)) { XSetErrorHandler(recordError); }

XClient::~XClient() {
    if (display_) XCloseDisplay(display_);
}

// Depth first, each window before its children, as the tree lists them.
std::optional<XWindowId> XClient::windowTitled(const std::string& wanted) {
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    const auto titled = [&](Window window) {
        if (title(window) == wanted) return true;
        const Property plain = property(display_, window, XA_WM_NAME, 1024);
        return (plain.type == XA_STRING || plain.type == utf8) && text(plain) == wanted;
    };
    std::vector<Window> pending{DefaultRootWindow(display_)};
    while (!pending.empty()) {
        const Window window = pending.back();
        pending.pop_back();
        XWindowAttributes attributes;
        if (attributesOf(display_, window, attributes) && attributes.map_state == IsViewable && titled(window))
            return window;
        const std::vector<Window> children = childrenOf(display_, window);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return std::nullopt;
}

std::optional<XWindowId> XClient::viewableWindowOf(pid_t pid) {
    const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
    std::optional<XWindowId> best;
    long bestArea = -1;
    for (const Window window : childrenOf(display_, DefaultRootWindow(display_))) {
        const Property owner = property(display_, window, pidAtom, 1);
        if (owner.type != XA_CARDINAL || owner.format != 32 || owner.count != 1 ||
            *reinterpret_cast<const long*>(owner.data.get()) != pid)
            continue;
        XWindowAttributes attributes;
        if (!attributesOf(display_, window, attributes) || attributes.map_state != IsViewable) continue;
        const long area = static_cast<long>(attributes.width) * attributes.height;
        if (area > bestArea) {
            bestArea = area;
            best = window;
        }
    }
    return best;
}

std::optional<XGeometry> XClient::geometry(XWindowId window) {
    XWindowAttributes attributes;
    if (!attributesOf(display_, window, attributes)) return std::nullopt;
    XGeometry g;
    Window child = 0;
    if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &g.x, &g.y, &child) || lastError)
        return std::nullopt;
    g.width = attributes.width;
    g.height = attributes.height;
    return g;
}

std::string XClient::title(XWindowId window) {
    const Property name = property(display_, window, XInternAtom(display_, "_NET_WM_NAME", False), 1024);
    return name.type == XInternAtom(display_, "UTF8_STRING", False) ? text(name) : std::string();
}

XTextProperty XClient::wmName(XWindowId window) {
    const Property name = property(display_, window, XA_WM_NAME, 1024);
    XTextProperty out{"none", text(name)};
    if (name.type != None) {
        const XOwned<char> typeName(XGetAtomName(display_, name.type));
        if (typeName) out.type = typeName.get();
    }
    return out;
}

XManagerHints XClient::managerHints(XWindowId window) {
    XManagerHints out;
    XSizeHints hints{};
    long supplied = 0;
    lastError = 0;
    if (XGetWMNormalHints(display_, window, &hints, &supplied) && !lastError) {
        if (hints.flags & PMinSize) out.minSize = XSize{hints.min_width, hints.min_height};
        if (hints.flags & PMaxSize) out.maxSize = XSize{hints.max_width, hints.max_height};
    }
    const Property motif = property(display_, window, XInternAtom(display_, "_MOTIF_WM_HINTS", False), 5);
    if (motif.format == 32 && motif.count >= 3) {
        // Format 32 reaches the client as longs: flags, functions, decorations, ...
        const long* values = reinterpret_cast<const long*>(motif.data.get());
        out.motifFunctions = values[1];
        out.motifDecorations = values[2];
    }
    return out;
}

std::optional<Picture> XClient::pixels(XWindowId window) {
    XWindowAttributes attributes;
    if (!attributesOf(display_, window, attributes)) return std::nullopt;
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return std::nullopt;
    Picture out(attributes.width, attributes.height);
    const Visual* v = attributes.visual;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out.at(x, y) = Bgr{static_cast<std::uint8_t>(channel(p, v->blue_mask)),
                               static_cast<std::uint8_t>(channel(p, v->green_mask)),
                               static_cast<std::uint8_t>(channel(p, v->red_mask))};
        }
    XDestroyImage(image);
    return out;
}

bool XClient::cover(XWindowId window) {
    const std::optional<XGeometry> g = geometry(window);
    if (!g) return false;
    const Window root = DefaultRootWindow(display_);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    const Window cover = XCreateWindow(display_, root, g->x, g->y, static_cast<unsigned>(g->width),
                                       static_cast<unsigned>(g->height), 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(display_, cover);
    XSync(display_, False);
    XDestroyWindow(display_, cover);
    XSync(display_, False);
    return true;
}

bool XClient::close(XWindowId window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    lastError = 0;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
    return !lastError;
}

void XClient::startWatch() {
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

std::optional<XWindowId> XClient::nextCreated() {
    const Atom end = endOfWatch(display_);
    for (;;) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == CreateNotify) return event.xcreatewindow.window;
        if (event.type == ClientMessage && event.xclient.message_type == end) return std::nullopt;
    }
}

void XClient::endWatches() {
    const Window root = DefaultRootWindow(display_);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = root;
    event.xclient.message_type = endOfWatch(display_);
    event.xclient.format = 32;
    XSendEvent(display_, root, False, SubstructureNotifyMask, &event);
    XSync(display_, False);
}

}  // namespace testsupport
