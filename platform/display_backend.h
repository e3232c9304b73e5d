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
};

std::unique_ptr<Backend> makeHeadlessBackend(bool closeAfterFirstPaint);
// null when no display can be opened; `why` then says what went wrong.
std::unique_ptr<Backend> makeX11Backend(std::string& why);

// The display of the process: the X display named by DISPLAY, else an
// off-screen one that closes each window after its first paint. Chosen on
// first use.
Backend& backend();
// Puts the layer on another display; refused (false) while a window exists.
bool replaceBackend(std::unique_ptr<Backend> next);

// What the user did, as a display reports it.
void deliverCloseRequest(HWND hwnd);
void deliverButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs);  // 1 left, 2 middle, 3 right
void deliverExpose(HWND hwnd, const RECT& area);
void deliverMapped(HWND hwnd, bool mapped);
// The native window went away without us: the window is destroyed.
void deliverNativeGone(HWND hwnd);
// The display is gone: every window that was on it is destroyed.
void deliverDisplayLost();

// The program's name for the one-line notices on standard error.
const char* programName();

}  // namespace platform
