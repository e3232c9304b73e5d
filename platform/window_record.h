// The record the layer keeps for each window, and the table of live windows
// by handle. Shared by the USER32 calls, the display backends and the test
// hooks; not part of the public subset.
#pragma once

#include "gdi_objects.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

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
    // Where the client area's top-left corner is on the screen, as far as
    // the layer knows: from the frame arithmetic, then from the display.
    POINT clientOrigin{};

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

// Window records by handle; null for a handle that is not a live window.
// Lookups may come from other threads (PostMessageA); changes come from the
// program's thread only.
WindowRecord* findWindow(HWND hwnd);
std::vector<HWND> liveWindowHandles();

// Enters a new window, which from then on can be found and gets messages.
void enterWindow(std::unique_ptr<WindowRecord> record);
// Takes a window out: no message reaches it any more, and its native
// window, paint device context and system menu go with it.
void forgetWindow(HWND hwnd);

}  // namespace platform
