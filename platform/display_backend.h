// The display under the layer, both ways: what a display does for the
// windows (the Backend), which display the layer uses, and the entry points
// through which a display hands in what the user did. Not part of the public
// subset.
#pragma once

#include "window_record.h"

#include <windows.h>

#include <memory>
#include <string>

namespace platform {

// What a display does for the windows of the layer. Every call is made on
// the program's thread; none calls a window procedure directly.
class Backend {
public:
    virtual ~Backend() = default;
    virtual bool onScreen() const = 0;
    // A native window for a new top-level window, not yet shown. false refuses it.
    virtual bool createWindow(WindowRecord& window) = 0;
    virtual void destroyWindow(WindowRecord& window) = 0;
    virtual void setTitle(WindowRecord& window) = 0;
    // SW_SHOW, SW_HIDE, SW_MINIMIZE or SW_RESTORE, after the record changed.
    virtual void show(WindowRecord& window, int command) = 0;
    // The rectangle of the client area that EndPaint finished.
    virtual void present(WindowRecord& window, const RECT& area) = 0;
    // Reads whatever the display has to say, without blocking.
    virtual void pump() = 0;
    // Blocks until the display has something or `wakeFd` becomes readable.
    virtual void wait(int wakeFd) = 0;
    // The part of the screen that windows may take (SPI_GETWORKAREA).
    virtual RECT workArea() = 0;
    // Where the pointer is on the screen; false when the display does not
    // say, and the layer goes by the last pointer input instead.
    virtual bool cursorPosition(POINT&) { return false; }
};

// The off-screen display's work area, unless a test sets another.
constexpr LONG kOffscreenWorkWidth = 1280;
constexpr LONG kOffscreenWorkHeight = 1024;

std::unique_ptr<Backend> makeHeadlessBackend(bool closeAfterFirstPaint);
// null when no display can be opened; `why` then says what went wrong.
std::unique_ptr<Backend> makeX11Backend(std::string& why);

// The display of the process: the X display named by DISPLAY, else an
// off-screen one that closes each window after its first paint. Chosen on
// first use.
Backend& backend();
// Puts the layer on another display; refused (false) while a window exists.
bool replaceBackend(std::unique_ptr<Backend> next);

// Modifier keys held with an input, as the display reports them.
enum : unsigned { kShiftHeld = 1, kControlHeld = 2, kAltHeld = 4 };

// What the user did, as a display reports it. Pointer positions are in the
// client coordinates of `hwnd`; a window that has the capture gets them in
// its own instead.
void deliverCloseRequest(HWND hwnd);
void deliverButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs,
                   unsigned modifiers = 0);  // 1 left, 2 middle, 3 right
void deliverMotion(HWND hwnd, int x, int y, DWORD timeMs, unsigned modifiers);
// `delta` in WHEEL_DELTA units per notch, positive away from the user.
void deliverWheel(HWND hwnd, int delta, int x, int y, DWORD timeMs, unsigned modifiers);
// A key pressed or released; `text` is the character the press types (0 for
// none). A press of a key already down is an auto-repeat.
void deliverKey(HWND hwnd, int virtualKey, int scanCode, bool extended, bool press, char32_t text, DWORD timeMs,
                unsigned modifiers);
// The keyboard went to another window: keys held are taken as released
// (their releases will not be seen) and the window gets WM_KILLFOCUS.
void deliverFocusLost(HWND hwnd);
// The display says where the client area of `hwnd` is on the screen.
void noteClientOrigin(HWND hwnd, POINT origin);
void deliverExpose(HWND hwnd, const RECT& area);
void deliverMapped(HWND hwnd, bool mapped);
// The native window went away without us: the window is destroyed.
void deliverNativeGone(HWND hwnd);
// The display is gone: every window that was on it is destroyed.
void deliverDisplayLost();

// The program's name for the one-line notices on standard error.
const char* programName();

}  // namespace platform
