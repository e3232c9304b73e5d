// Just enough Xlib to look at another process's top-level window from
// outside: find it by its process id and read its geometry and title. Reading
// its pixels and closing it is the job of tests/e2e's x11_window_tool, the
// same for both viewers.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

struct _XDisplay;  // Xlib's Display

namespace xprobe {

// An X window id (Xlib's Window), kept free of Xlib's headers, whose macros
// clash with GoogleTest's names.
using WindowId = unsigned long;

struct Geometry {
    int x = 0;  // relative to the root window
    int y = 0;
    int width = 0;
    int height = 0;
};

class Connection {
public:
    // Opens $DISPLAY; ok() is false when there is none.
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    bool ok() const { return display_ != nullptr; }

    // The largest viewable top-level window whose _NET_WM_PID is pid.
    std::optional<WindowId> viewableWindowOf(pid_t pid);
    std::optional<Geometry> geometry(WindowId window);
    // _NET_WM_NAME (UTF-8), or empty.
    std::string title(WindowId window);

private:
    ::_XDisplay* display_;
};

}  // namespace xprobe
