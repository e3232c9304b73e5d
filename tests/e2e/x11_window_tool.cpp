// x11_window_tool: looks at a program's window on an X display, for the
// end-to-end tests. The window is found by its title (_NET_WM_NAME, or a
// plain WM_NAME), among all windows of the display, viewable ones only.
//
//   x11_window_tool find TITLE [TIMEOUT_MS]          prints "ID WIDTHxHEIGHT"
//   x11_window_tool info TITLE                       title, size and window-manager hints
//   x11_window_tool compare TITLE IMAGE.bmp [TIMEOUT_MS]
//                       waits until the window shows exactly the image (size and
//                       every pixel); prints "match WxH" or what differs
//   x11_window_tool read TITLE OUT.bmp               the window's pixels as a 24-bit BMP
//   x11_window_tool cover TITLE                      maps and removes a window over it
//   x11_window_tool close TITLE                      asks it to close (WM_DELETE_WINDOW)
//   x11_window_tool watch          prints "watching", then "created ID" for every
//                                  top-level window made on the display, then "end"
//                                  when told to by:
//   x11_window_tool end-watch      which comes after every event before it, so that
//                                  the watch has seen all windows made until then
//
// Exit codes: 0 done or matched, 1 not found or no match, 2 usage or display error.
#include "bmp_builder.h"
#include "decoded_picture.h"
#include "picture_difference.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int protocolErrors = 0;
int onError(Display*, XErrorEvent*) {
    ++protocolErrors;
    return 0;
}

std::string stringProperty(Display* dpy, Window w, Atom property, Atom* typeOut = nullptr) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(dpy, w, property, 0, 4096, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (format == 8) out.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (typeOut) *typeOut = type;
    return out;
}

bool titled(Display* dpy, Window w, const std::string& title) {
    if (stringProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False)) == title) return true;
    Atom type = None;
    const std::string plain = stringProperty(dpy, w, XA_WM_NAME, &type);
    return (type == XA_STRING || type == XInternAtom(dpy, "UTF8_STRING", False)) && plain == title;
}

void collect(Display* dpy, Window w, const std::string& title, std::vector<Window>& found) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable && titled(dpy, w, title))
        found.push_back(w);
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return;
    for (unsigned int i = 0; i < n; ++i) collect(dpy, children[i], title, found);
    if (children) XFree(children);
}

Window findWindow(Display* dpy, const std::string& title) {
    std::vector<Window> found;
    collect(dpy, DefaultRootWindow(dpy), title, found);
    return found.empty() ? None : found.front();
}

// Polls until `ready` or the time is up; returns the last window found.
template <typename Ready>
Window poll(Display* dpy, const std::string& title, long timeoutMs, Ready ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const Window w = findWindow(dpy, title);
        if (w != None && ready(w)) return w;
        if (std::chrono::steady_clock::now() >= deadline) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

unsigned channel(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    int bits = 0;
    while ((mask >> (shift + bits)) & 1) ++bits;
    const unsigned long value = (pixel & mask) >> shift;
    return bits >= 8 ? static_cast<unsigned>(value >> (bits - 8)) : static_cast<unsigned>(value << (8 - bits));
}

bool readWindow(Display* dpy, Window w, testsupport::Picture& out) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy, w, &attributes)) return false;
    XImage* image = XGetImage(dpy, w, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return false;
    out = testsupport::Picture(attributes.width, attributes.height);
    const Visual* v = attributes.visual;
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out.at(x, y) = testsupport::Bgr{static_cast<std::uint8_t>(channel(p, v->blue_mask)),
                                            static_cast<std::uint8_t>(channel(p, v->green_mask)),
                                            static_cast<std::uint8_t>(channel(p, v->red_mask))};
        }
    XDestroyImage(image);
    return true;
}

bool loadExpected(const char* path, testsupport::Picture& out) {
    try {
        return testsupport::decodeBmpFile(testsupport::readFile(path), out);
    } catch (const std::exception&) {
        return false;  // no such file
    }
}

int usage() {
    std::fprintf(stderr,
                 "usage: x11_window_tool find|info|compare|read|cover|close TITLE [IMAGE.bmp|OUT.bmp] [TIMEOUT_MS]\n"
                 "       x11_window_tool watch|end-watch\n");
    return 2;
}

// Each command returns the tool's exit code.

int findCommand(Display* dpy, const std::string& title, long timeoutMs) {
    const Window w = poll(dpy, title, timeoutMs, [](Window) { return true; });
    if (w == None) return 1;
    XWindowAttributes a;
    XGetWindowAttributes(dpy, w, &a);
    std::printf("0x%lx %dx%d\n", w, a.width, a.height);
    return 0;
}

// The hints a window manager reads: size limits and the Motif functions and
// decorations.
void printManagerHints(Display* dpy, Window w) {
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(dpy, w, &hints, &supplied)) {
        if (hints.flags & PMinSize) std::printf("min size %dx%d\n", hints.min_width, hints.min_height);
        if (hints.flags & PMaxSize) std::printf("max size %dx%d\n", hints.max_width, hints.max_height);
    }
    Atom motifType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom motif = XInternAtom(dpy, "_MOTIF_WM_HINTS", False);
    if (XGetWindowProperty(dpy, w, motif, 0, 5, False, AnyPropertyType, &motifType, &format, &count, &after, &data) ==
            Success &&
        data) {
        const long* values = reinterpret_cast<const long*>(data);
        if (count >= 3) std::printf("motif functions 0x%lx decorations 0x%lx\n", values[1], values[2]);
        XFree(data);
    }
}

int infoCommand(Display* dpy, const std::string& title) {
    const Window w = findWindow(dpy, title);
    if (w == None) return 1;
    XWindowAttributes a;
    XGetWindowAttributes(dpy, w, &a);
    Atom type = None;
    const std::string wmName = stringProperty(dpy, w, XA_WM_NAME, &type);
    char* typeName = type != None ? XGetAtomName(dpy, type) : nullptr;
    std::printf("id 0x%lx\nsize %dx%d\n", w, a.width, a.height);
    std::printf("_NET_WM_NAME %s\n", stringProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False)).c_str());
    std::printf("WM_NAME type %s bytes", typeName ? typeName : "none");
    for (unsigned char c : wmName) std::printf(" %02x", c);
    std::printf("\n");
    if (typeName) XFree(typeName);
    printManagerHints(dpy, w);
    return 0;
}

int compareCommand(Display* dpy, const std::string& title, const char* imagePath, long timeoutMs) {
    testsupport::Picture want;
    if (!loadExpected(imagePath, want)) {
        std::fprintf(stderr, "x11_window_tool: cannot read %s\n", imagePath);
        return 2;
    }
    std::string why = "no window titled so";
    poll(dpy, title, timeoutMs, [&](Window w) {
        testsupport::Picture got;
        why = readWindow(dpy, w, got) ? testsupport::pictureDifference(got, want) : "cannot read the window";
        return why.empty();
    });
    if (!why.empty()) {
        std::printf("mismatch: %s\n", why.c_str());
        return 1;
    }
    std::printf("match %dx%d\n", want.width, want.height);
    return 0;
}

int readCommand(Display* dpy, const std::string& title, const char* outPath) {
    const Window w = findWindow(dpy, title);
    testsupport::Picture got;
    if (w == None || !readWindow(dpy, w, got)) return 1;
    testsupport::writeFile(outPath, testsupport::bmp24(got));
    std::printf("%dx%d\n", got.width, got.height);
    return 0;
}

// Maps a black window over it and takes it away again, which leaves the
// area to be repainted.
int coverCommand(Display* dpy, const std::string& title) {
    const Window w = findWindow(dpy, title);
    if (w == None) return 1;
    XWindowAttributes a;
    XGetWindowAttributes(dpy, w, &a);
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(dpy, w, a.root, 0, 0, &x, &y, &child);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(dpy, DefaultScreen(dpy));
    const Window c = XCreateWindow(dpy, a.root, x, y, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                                   0, CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
                                   &attributes);
    XMapRaised(dpy, c);
    XSync(dpy, False);
    XDestroyWindow(dpy, c);
    XSync(dpy, False);
    return 0;
}

// Asks it to close as a window manager does: WM_DELETE_WINDOW.
int closeCommand(Display* dpy, const std::string& title) {
    const Window w = findWindow(dpy, title);
    if (w == None) return 1;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &event);
    XSync(dpy, False);
    return 0;
}

// The message that ends a watch, sent to the root window so that it reaches
// every client watching it, after every event the server sent before it.
Atom endOfWatch(Display* dpy) { return XInternAtom(dpy, "CR_END_OF_WINDOW_WATCH", False); }

int watchCommand(Display* dpy) {
    const Window root = DefaultRootWindow(dpy);
    const Atom end = endOfWatch(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    std::printf("watching\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == CreateNotify) {
            std::printf("created 0x%lx\n", event.xcreatewindow.window);
            std::fflush(stdout);
        } else if (event.type == ClientMessage && event.xclient.message_type == end) {
            std::printf("end\n");
            return 0;
        }
    }
}

int endWatchCommand(Display* dpy) {
    const Window root = DefaultRootWindow(dpy);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = root;
    event.xclient.message_type = endOfWatch(dpy);
    event.xclient.format = 32;
    XSendEvent(dpy, root, False, SubstructureNotifyMask, &event);
    XSync(dpy, False);
    return 0;
}

int runCommand(Display* dpy, int argc, char** argv) {
    const std::string command = argv[1];
    if (command == "watch") return watchCommand(dpy);
    if (command == "end-watch") return endWatchCommand(dpy);
    if (argc < 3) return usage();
    const std::string title = argv[2];
    if (command == "find") return findCommand(dpy, title, argc > 3 ? std::atol(argv[3]) : 0);
    if (command == "info") return infoCommand(dpy, title);
    if (command == "compare" && argc > 3) return compareCommand(dpy, title, argv[3], argc > 4 ? std::atol(argv[4]) : 10000);
    if (command == "read" && argc > 3) return readCommand(dpy, title, argv[3]);
    if (command == "cover") return coverCommand(dpy, title);
    if (command == "close") return closeCommand(dpy, title);
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "x11_window_tool: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(onError);
    const int result = runCommand(dpy, argc, argv);
    XCloseDisplay(dpy);
    return result;
}
