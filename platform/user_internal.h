// Internals of the USER32 subset: window records, the display backend
// interface, and the entry points through which a backend hands in what the
// user did. Not part of the public subset.
#pragma once

#include "gdi_objects.h"
#include "platform_test_hooks.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct MenuItem {
    UINT command;
    bool separator;
};

struct Menu {
    HWND owner = nullptr;
    std::vector<MenuItem> items;
};

struct WindowRecord {
    HWND handle = nullptr;
    std::string className;
    UINT classStyle = 0;
    HBRUSH background = nullptr;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND owner = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    std::string title;
    std::vector<std::pair<std::string, HANDLE>> props;
    HMENU systemMenu = nullptr;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;

    RECT windowRect{};
    int clientWidth = 0;
    int clientHeight = 0;
    bool defaultPosition = false;

    bool visible = false;
    bool minimized = false;
    bool enabled = true;
    bool destroying = false;

    // The part of the client area that needs painting; empty when valid.
    bool invalid = false;
    bool erasePending = false;
    RECT updateRect{};
    HDC paintDC = nullptr;
    Surface surface;

    std::uintptr_t native = 0;  // the backend's own window, 0 when none
};

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

// The backend of the process, chosen on first use.
Backend& backend();
// Replaces the backend; only while no window exists (tests).
bool replaceBackend(std::unique_ptr<Backend> next);

// Window records by handle; null for a handle that is not a live window.
WindowRecord* findWindow(HWND hwnd);
std::vector<HWND> liveWindowHandles();

// Calls a window's procedure (the send path), guarded against runaway recursion.
LRESULT callWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// What the user did, as a backend or a test reports it.
void deliverCloseRequest(HWND hwnd);
void deliverButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs);
void deliverExpose(HWND hwnd, const RECT& area);
void deliverMapped(HWND hwnd, bool mapped);
// The native window went away without us: the window is destroyed.
void deliverNativeGone(HWND hwnd);
// The display is gone: every window that was on it is destroyed.
void deliverDisplayLost();

// Posts an input message (mouse, system command) behind the posted ones.
void postInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeMs);
DWORD currentTime();

// Calls and refusals, kept only while a test records them.
void record(const char* call, HWND hwnd, std::uintptr_t a = 0, std::uintptr_t b = 0, std::uintptr_t c = 0);
void trace(const char* what, HWND hwnd = nullptr, std::uintptr_t value = 0);

// The program's name for the one-line notices on standard error.
const char* programName();

// Title text: the narrow (code page 932) title as UTF-8 and back, and as an
// X COMPOUND_TEXT string.
std::string cp932ToUtf8(const std::string& text);
std::string utf8ToCp932(const std::string& text);
void appendUtf8(std::string& out, std::uint32_t code);
std::string cp932ToCompoundText(const std::string& text);

namespace testing {
void setRecording(std::vector<RecordedCall>* sink);
void clearQueue();
// The test's idle hook, empty when none is set.
std::function<void()>& idleHook();
}  // namespace testing

}  // namespace platform
