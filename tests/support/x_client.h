// A client of an X display for the tests (POSIX with X11 only): it finds a
// program's window by its title or by its process and looks at it from
// outside, as a user or a window manager would: its place and size, its
// title, the hints a window manager reads, the pixels it shows. It also
// covers a window and uncovers it again, asks it to close as a window
// manager does, and watches the windows made on the display.
//
// The Wine viewer tests use it in their own process; the Linux viewer's tests
// through x11_window_tool, its command line, so that a test that kills its
// X server does not die with it (Xlib ends a process whose server is gone).
// Xlib's headers stay out of this one: their macros clash with GoogleTest's
// names.
#pragma once

#include "bmp_builder.h"

#include <sys/types.h>

#include <optional>
#include <string>

struct _XDisplay;  // Xlib's Display

namespace testsupport {

// An X window id (Xlib's Window).
using XWindowId = unsigned long;

struct XGeometry {
    int x = 0;  // relative to the root window
    int y = 0;
    int width = 0;
    int height = 0;
};

struct XSize {
    int width = 0;
    int height = 0;
};

// What a window manager reads of a window: the size limits of WM_NORMAL_HINTS
// and the functions and decorations of _MOTIF_WM_HINTS, where given.
struct XManagerHints {
    std::optional<XSize> minSize;
    std::optional<XSize> maxSize;
    std::optional<long> motifFunctions;
    std::optional<long> motifDecorations;
};

// An 8-bit text property as it is held: the name of its type ("none" when
// the window has no such property) and its bytes.
struct XTextProperty {
    std::string type;
    std::string bytes;
};

class XClient {
public:
    // Opens $DISPLAY; ok() is false when there is none. Requests about a
    // window that has just gone fail quietly (nullopt, false or empty)
    // instead of ending the process.
    XClient();
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;
    bool ok() const { return display_ != nullptr; }

    // The first viewable window, anywhere in the tree, titled so in
    // _NET_WM_NAME or in a WM_NAME of type STRING or UTF8_STRING.
    std::optional<XWindowId> windowTitled(const std::string& title);
    // The largest viewable top-level window whose _NET_WM_PID is pid.
    std::optional<XWindowId> viewableWindowOf(pid_t pid);

    std::optional<XGeometry> geometry(XWindowId window);
    // _NET_WM_NAME of type UTF8_STRING, or empty.
    std::string title(XWindowId window);
    XTextProperty wmName(XWindowId window);
    XManagerHints managerHints(XWindowId window);
    // What the window shows, its whole area, in the screen's colours made 8
    // bits a channel.
    std::optional<Picture> pixels(XWindowId window);

    // Maps a black window over it and takes it away again, which leaves its
    // area to be repainted.
    bool cover(XWindowId window);
    // Asks it to close as a window manager does: WM_DELETE_WINDOW.
    bool close(XWindowId window);

    // From startWatch() on, nextCreated() gives each top-level window made on
    // the display, in order, waiting for it if need be; and nullopt once an
    // endWatches() of any client has arrived, after every window made before it.
    void startWatch();
    std::optional<XWindowId> nextCreated();
    void endWatches();

private:
    ::_XDisplay* display_;
};

}  // namespace testsupport
