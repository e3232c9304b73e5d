// The X display: one X window per top-level window, exactly the size of its
// client area (the window manager draws the frame), on a TrueColor visual
// (x11_screen.h). What the user does in it comes back as the input the layer
// posts: the close button as WM_SYSCOMMAND SC_CLOSE, buttons, pointer moves,
// the wheel and keys as their messages, uncovering as an invalid window. A
// lost connection destroys the windows that were on it.
#include "call_observer.h"
#include "display_backend.h"
#include "title_text.h"
#include "x11_screen.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace platform {
namespace {

// Set by Xlib's I/O error handler, which may run inside any Xlib call; the
// windows are destroyed later, from pump(), outside of Xlib.
bool connectionLost = false;

// A display whose connection was lost, kept by the backend's destructor
// (volatile: written only, and it must stay in memory for leak checkers).
Display* volatile abandonedDisplay = nullptr;
GC volatile abandonedGc = nullptr;

int onIOError(Display*) {
    connectionLost = true;
    return 0;
}

// Returning here, instead of exiting as Xlib would, leaves the display
// marked dead; we make no Xlib call on it afterwards.
void onIOErrorExit(Display*, void*) { connectionLost = true; }

int onProtocolError(Display*, XErrorEvent* error) {
    trace("X protocol error", nullptr, error->error_code);
    return 0;
}

constexpr int kLargestSide = 32767;
// The virtual key of a key that types a character but has no code of its own here.
constexpr int kOtherKey = 0xDF;

class X11Backend final : public Backend {
public:
    X11Backend(Display* display, const DrawableVisual& chosen) : dpy_(display) {
        screen_ = DefaultScreen(dpy_);
        root_ = RootWindow(dpy_, screen_);
        visual_ = chosen.visual;
        depth_ = chosen.depth;
        if (chosen.isDefault) {
            colormap_ = DefaultColormap(dpy_, screen_);
            gc_ = XCreateGC(dpy_, root_, 0, nullptr);
        } else {
            // A visual of another depth needs a colormap of its own, and a
            // GC made on a drawable of that depth.
            colormap_ = XCreateColormap(dpy_, root_, visual_, AllocNone);
            ownColormap_ = true;
            const Pixmap model = XCreatePixmap(dpy_, root_, 1, 1, static_cast<unsigned>(depth_));
            gc_ = XCreateGC(dpy_, model, 0, nullptr);
            XFreePixmap(dpy_, model);
        }
        // Holding a key down then repeats its press alone, without a release
        // before each repeat, so that a held key reads as held.
        XkbSetDetectableAutoRepeat(dpy_, True, nullptr);
        wmProtocols_ = XInternAtom(dpy_, "WM_PROTOCOLS", False);
        wmDeleteWindow_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
        netWmName_ = XInternAtom(dpy_, "_NET_WM_NAME", False);
        netWmIconName_ = XInternAtom(dpy_, "_NET_WM_ICON_NAME", False);
        utf8String_ = XInternAtom(dpy_, "UTF8_STRING", False);
        compoundText_ = XInternAtom(dpy_, "COMPOUND_TEXT", False);
    }

    ~X11Backend() override {
        if (connectionLost) {
            // No Xlib call on a dead connection, not even the one that frees
            // it: its memory stays referenced until the process ends.
            abandonedDisplay = dpy_;
            abandonedGc = gc_;
            return;
        }
        XFreeGC(dpy_, gc_);
        if (ownColormap_) XFreeColormap(dpy_, colormap_);
        XCloseDisplay(dpy_);
    }

    bool onScreen() const override { return true; }

    bool createWindow(WindowRecord& window) override {
        if (connectionLost) return false;
        const int width = std::clamp(window.clientWidth, 1, kLargestSide);
        const int height = std::clamp(window.clientHeight, 1, kLargestSide);
        XSetWindowAttributes attributes{};
        attributes.background_pixmap = None;  // no class brush: nothing is erased
        attributes.bit_gravity = NorthWestGravity;
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                                KeyReleaseMask | FocusChangeMask | StructureNotifyMask;
        attributes.colormap = colormap_;
        attributes.border_pixel = 0;
        const ::Window xw = XCreateWindow(dpy_, root_, window.windowRect.left, window.windowRect.top,
                                          static_cast<unsigned>(width), static_cast<unsigned>(height), 0, depth_,
                                          InputOutput, visual_,
                                          CWBackPixmap | CWBitGravity | CWEventMask | CWColormap | CWBorderPixel,
                                          &attributes);
        if (!xw) return false;

        describeToWindowManager(dpy_, xw, window, width, height);

        window.native = xw;
        // The X window is the client area; without a window manager it
        // stays where it was made.
        window.clientOrigin = POINT{window.windowRect.left, window.windowRect.top};
        byX_[xw] = window.handle;
        XFlush(dpy_);
        return true;
    }

    void destroyWindow(WindowRecord& window) override {
        const auto xw = static_cast<::Window>(window.native);
        byX_.erase(xw);
        if (connectionLost) return;
        XDestroyWindow(dpy_, xw);
        XFlush(dpy_);
    }

    void setTitle(WindowRecord& window) override {
        if (connectionLost) return;
        const auto xw = static_cast<::Window>(window.native);
        const std::string utf8 = cp932ToUtf8(window.title);
        const std::string compound = cp932ToCompoundText(window.title);
        const bool plain = std::all_of(window.title.begin(), window.title.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        for (Atom name : {netWmName_, netWmIconName_})
            XChangeProperty(dpy_, xw, name, utf8String_, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
        for (Atom name : {static_cast<Atom>(XA_WM_NAME), static_cast<Atom>(XA_WM_ICON_NAME)})
            XChangeProperty(dpy_, xw, name, plain ? XA_STRING : compoundText_, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(compound.data()),
                            static_cast<int>(compound.size()));
        XFlush(dpy_);
    }

    void show(WindowRecord& window, int command) override {
        if (connectionLost) return;
        const auto xw = static_cast<::Window>(window.native);
        switch (command) {
        case SW_HIDE:
            XWithdrawWindow(dpy_, xw, screen_);
            break;
        case SW_MINIMIZE:
            if (!mapped_.count(xw)) {
                XWMHints hints{};
                hints.flags = StateHint;
                hints.initial_state = IconicState;
                XSetWMHints(dpy_, xw, &hints);
                XMapWindow(dpy_, xw);
            } else {
                XIconifyWindow(dpy_, xw, screen_);
            }
            break;
        default:
            XMapWindow(dpy_, xw);
            break;
        }
        if (command == SW_HIDE) mapped_.erase(xw);
        else mapped_[xw] = true;
        XFlush(dpy_);
    }

    void present(WindowRecord& window, const RECT& area) override {
        if (connectionLost) return;
        Surface& surface = window.surface;
        const int left = std::max<int>(area.left, 0), top = std::max<int>(area.top, 0);
        const int right = std::min<int>(area.right, surface.width), bottom = std::min<int>(area.bottom, surface.height);
        if (right <= left || bottom <= top) return;
        const unsigned width = static_cast<unsigned>(right - left), height = static_cast<unsigned>(bottom - top);
        XImage* image = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr, width,
                                     height, 32, 0);
        if (!image) return;
        image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) * height));
        if (!image->data) {
            XDestroyImage(image);
            return;
        }
        const bool direct = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                            image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
        for (int y = top; y < bottom; ++y) {
            const std::uint32_t* row = surface.row(y) + left;
            char* out = image->data + static_cast<std::ptrdiff_t>(y - top) * image->bytes_per_line;
            if (direct) {
                std::memcpy(out, row, width * 4);
                continue;
            }
            for (unsigned x = 0; x < width; ++x)
                XPutPixel(image, static_cast<int>(x), y - top, pixelValue(row[x], image));
        }
        XPutImage(dpy_, static_cast<::Window>(window.native), gc_, image, 0, 0, left, top, width, height);
        XDestroyImage(image);
        XFlush(dpy_);
    }

    void pump() override {
        while (!connectionLost && XPending(dpy_) > 0) {
            XEvent event;
            XNextEvent(dpy_, &event);
            handle(event);
        }
        if (connectionLost && !lossHandled_) {
            lossHandled_ = true;
            std::fprintf(stderr, "%s: the connection to the display was lost; its windows are closed\n",
                         programName());
            deliverDisplayLost();
        }
    }

    void wait(int wakeFd) override {
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
        if (!connectionLost) {
            if (XPending(dpy_) > 0) return;
            if (connectionLost) return;
            fds[1].fd = ConnectionNumber(dpy_);
        }
        poll(fds, connectionLost ? 1 : 2, -1);
    }

    RECT workArea() override {
        if (connectionLost) return RECT{0, 0, DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_)};
        return workAreaOf(dpy_, screen_);
    }

    // Asked of one of our windows, which also tells where its client area is now.
    bool cursorPosition(POINT& screen) override {
        if (connectionLost || byX_.empty()) return false;
        const auto& [xw, hwnd] = *byX_.begin();
        ::Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        if (!XQueryPointer(dpy_, xw, &root, &child, &rootX, &rootY, &x, &y, &mask)) return false;
        noteClientOrigin(hwnd, POINT{rootX - x, rootY - y});
        screen = POINT{rootX, rootY};
        return true;
    }

private:
    static unsigned long pixelValue(std::uint32_t rgb, const XImage* image) {
        auto channel = [](unsigned value, unsigned long mask) -> unsigned long {
            if (!mask) return 0;
            int shift = 0;
            while (!((mask >> shift) & 1)) ++shift;
            int bits = 0;
            while ((mask >> (shift + bits)) & 1) ++bits;
            const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
            return (scaled << shift) & mask;
        };
        return channel((rgb >> 16) & 0xFF, image->red_mask) | channel((rgb >> 8) & 0xFF, image->green_mask) |
               channel(rgb & 0xFF, image->blue_mask);
    }

    // Buttons 4 and 5 are the wheel's notches, away from and towards the
    // user; 6 and 7 (sideways) are not taken.
    void button(HWND hwnd, const XButtonEvent& b) {
        noteClientOrigin(hwnd, POINT{b.x_root - b.x, b.y_root - b.y});
        const auto time = static_cast<DWORD>(b.time);
        if (b.button == Button4 || b.button == Button5) {
            if (b.type == ButtonPress)
                deliverWheel(hwnd, b.button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA, b.x, b.y, time, modifiersOf(b.state));
            return;
        }
        deliverButton(hwnd, static_cast<int>(b.button), b.type == ButtonPress, b.x, b.y, time, modifiersOf(b.state));
    }

    // The virtual key comes from the key's keysym without modifiers, the
    // character from the keymap with them. A key that has no virtual key
    // here but types a character still types it.
    void key(HWND hwnd, XKeyEvent k) {
        char text[8] = {};
        KeySym typed = NoSymbol;
        const int length = XLookupString(&k, text, sizeof text, &typed, nullptr);
        bool extended = false;
        int vk = virtualKeyOf(XLookupKeysym(&k, 0), extended);
        const char32_t character = length == 1 ? static_cast<unsigned char>(text[0]) : 0;
        if (vk == 0 && character == 0) return;
        if (vk == 0) vk = kOtherKey;
        deliverKey(hwnd, vk, static_cast<int>(k.keycode) - 8, extended, k.type == KeyPress, character,
                   static_cast<DWORD>(k.time), modifiersOf(k.state));
    }

    HWND windowOf(::Window xw) const {
        auto it = byX_.find(xw);
        return it == byX_.end() ? nullptr : it->second;
    }

    void handle(const XEvent& event) {
        const HWND hwnd = windowOf(event.xany.window);
        if (!hwnd) return;
        switch (event.type) {
        case Expose: {
            const RECT area{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                            event.xexpose.y + event.xexpose.height};
            deliverExpose(hwnd, area);
            break;
        }
        case ButtonPress:
        case ButtonRelease:
            button(hwnd, event.xbutton);
            break;
        case MotionNotify: {
            // Only the latest position counts.
            XEvent latest = event;
            while (XCheckTypedWindowEvent(dpy_, event.xany.window, MotionNotify, &latest)) {
            }
            const XMotionEvent& m = latest.xmotion;
            noteClientOrigin(hwnd, POINT{m.x_root - m.x, m.y_root - m.y});
            deliverMotion(hwnd, m.x, m.y, static_cast<DWORD>(m.time), modifiersOf(m.state));
            break;
        }
        case KeyPress:
        case KeyRelease:
            key(hwnd, event.xkey);
            break;
        case FocusOut:
            if (event.xfocus.detail != NotifyInferior) deliverFocusLost(hwnd);
            break;
        case ClientMessage:
            if (event.xclient.message_type == wmProtocols_ && event.xclient.format == 32 &&
                static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow_)
                deliverCloseRequest(hwnd);
            break;
        case MapNotify:
            deliverMapped(hwnd, true);
            break;
        case UnmapNotify:
            deliverMapped(hwnd, false);
            break;
        case DestroyNotify:
            // Destroyed by someone else: the window is gone for us too.
            if (event.xdestroywindow.window == event.xany.window) {
                byX_.erase(event.xdestroywindow.window);
                mapped_.erase(event.xdestroywindow.window);
                deliverNativeGone(hwnd);
            }
            break;
        default:
            break;
        }
    }

    Display* dpy_;
    int screen_;
    ::Window root_;
    Visual* visual_;
    int depth_;
    Colormap colormap_ = 0;
    bool ownColormap_ = false;
    GC gc_;
    Atom wmProtocols_, wmDeleteWindow_, netWmName_, netWmIconName_, utf8String_, compoundText_;
    std::unordered_map<::Window, HWND> byX_;
    std::unordered_map<::Window, bool> mapped_;
    bool lossHandled_ = false;
};

}  // namespace

std::unique_ptr<Backend> makeX11Backend(std::string& why) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) {
        why = "DISPLAY is not set";
        return nullptr;
    }
    // XOpenDisplay waits for the server's greeting without limit: a socket
    // that accepts the connection and never answers would hang the program
    // before its first window. It runs on a thread of its own, and a display
    // that has not answered in time is treated as one that cannot be opened
    // (the thread, blocked in Xlib, is abandoned; the process ends it).
    // Where no thread can be started (the process is short of memory), the
    // display is opened here, without the limit, rather than not at all.
    constexpr std::chrono::seconds kOpenLimit{10};
    auto opening = std::make_shared<std::promise<Display*>>();
    std::future<Display*> opened = opening->get_future();
    Display* display = nullptr;
    try {
        std::thread([opening, target = std::string(name)] { opening->set_value(XOpenDisplay(target.c_str())); }).detach();
        display = opened.wait_for(kOpenLimit) == std::future_status::ready ? opened.get() : nullptr;
    } catch (const std::system_error&) {
        display = XOpenDisplay(name);
    }
    if (!display) {
        why = std::string("cannot open display ") + name;
        return nullptr;
    }
    DrawableVisual visual;
    std::string unusable;
    if (!chooseVisual(display, DefaultScreen(display), visual, unusable)) {
        XCloseDisplay(display);
        why = std::string("display ") + name + ": " + unusable;
        return nullptr;
    }
    XSetIOErrorHandler(onIOError);
    XSetIOErrorExitHandler(display, onIOErrorExit, nullptr);
    XSetErrorHandler(onProtocolError);
    return std::make_unique<X11Backend>(display, visual);
}

}  // namespace platform
