// What a window manager reads of a window: its size limits, input and state
// hints, class, close protocol, process and Motif decorations.
#include "x11_screen.h"

#include "display_backend.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <string>

namespace platform {
namespace {

// _MOTIF_WM_HINTS, as window managers read it.
constexpr long kMwmHintsFunctions = 1, kMwmHintsDecorations = 2;
constexpr long kMwmFuncResize = 2, kMwmFuncMove = 4, kMwmFuncMinimize = 8, kMwmFuncMaximize = 16, kMwmFuncClose = 32;
constexpr long kMwmDecorBorder = 2, kMwmDecorResizeH = 4, kMwmDecorTitle = 8, kMwmDecorMenu = 16,
               kMwmDecorMinimize = 32, kMwmDecorMaximize = 64;

}  // namespace

void describeToWindowManager(Display* display, ::Window xw, const WindowRecord& window, int width, int height) {
    XSizeHints* size = XAllocSizeHints();
    if (size) {
        if (!window.defaultPosition) {
            size->flags |= USPosition;
            size->x = window.windowRect.left;
            size->y = window.windowRect.top;
        }
        if (!(window.style & WS_THICKFRAME)) {
            // A window without a sizing border keeps its size.
            size->flags |= PMinSize | PMaxSize;
            size->min_width = size->max_width = width;
            size->min_height = size->max_height = height;
        }
        XSetWMNormalHints(display, xw, size);
        XFree(size);
    }
    XWMHints* hints = XAllocWMHints();
    if (hints) {
        hints->flags = InputHint | StateHint;
        hints->input = True;
        hints->initial_state = NormalState;
        XSetWMHints(display, xw, hints);
        XFree(hints);
    }
    XClassHint* classHint = XAllocClassHint();
    if (classHint) {
        std::string name = programName(), className = window.className;
        classHint->res_name = name.data();
        classHint->res_class = className.data();
        XSetClassHint(display, xw, classHint);
        XFree(classHint);
    }
    Atom protocols[] = {XInternAtom(display, "WM_DELETE_WINDOW", False)};
    XSetWMProtocols(display, xw, protocols, 1);
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display, xw, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);

    long motif[5] = {kMwmHintsFunctions | kMwmHintsDecorations, kMwmFuncMove | kMwmFuncClose, kMwmDecorBorder, 0, 0};
    if (window.style & WS_MINIMIZEBOX) motif[1] |= kMwmFuncMinimize, motif[2] |= kMwmDecorMinimize;
    if (window.style & WS_MAXIMIZEBOX) motif[1] |= kMwmFuncMaximize, motif[2] |= kMwmDecorMaximize;
    if (window.style & WS_THICKFRAME) motif[1] |= kMwmFuncResize, motif[2] |= kMwmDecorResizeH;
    if ((window.style & WS_CAPTION) == WS_CAPTION) motif[2] |= kMwmDecorTitle;
    if (window.style & WS_SYSMENU) motif[2] |= kMwmDecorMenu;
    const Atom motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, xw, motifHints, motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
}

}  // namespace platform
