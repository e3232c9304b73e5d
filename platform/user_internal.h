// What the USER32 calls of the layer share among themselves: window
// classes, the system menus, the send path and invalidation. Not part of the
// public subset.
#pragma once

#include "call_observer.h"
#include "display_backend.h"
#include "window_record.h"

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

// Class and property names compare without regard to case, as atoms do; an
// integer name (MAKEINTRESOURCE) is keyed by its number.
std::string nameKey(LPCSTR name);

struct WindowClass {
    UINT style = 0;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::string name;
    ATOM atom = 0;
};

// A class registered by this program; a null instance means the program's
// own module. null when there is none of that name.
const WindowClass* findClass(HINSTANCE instance, LPCSTR name);

struct MenuItem {
    UINT command;
    bool separator;
};

struct Menu {
    HWND owner = nullptr;
    std::vector<MenuItem> items;
};

// A new system menu for `owner`, with the standard items.
HMENU newSystemMenu(HWND owner);
// null for a handle that is not a live menu.
Menu* findMenu(HMENU menu);
void dropMenu(HMENU menu);

// Calls a window's procedure (the send path), guarded against runaway recursion.
LRESULT callWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The whole client area needs painting, background included.
void invalidateWhole(WindowRecord& window);

// An input message in the queue, with what the display said alongside it:
// the modifier keys held (kShiftHeld, ...) and, for a key press, the
// character it types.
struct InputMessage {
    MSG msg{};
    unsigned modifiers = 0;
    char32_t text = 0;
};
// Queues input behind what is already waiting. A mouse move replaces one
// that still waits at the end of the queue, as only the latest position counts.
void postInput(const InputMessage& input);
// Puts a message at the head of the posted ones (TranslateMessage's WM_CHAR).
void postFirst(const MSG& msg);
// The thread's input state follows each input message taken from the queue.
void inputTaken(const InputMessage& input);
// Milliseconds of a steady clock, for message times.
DWORD currentTime();
// The capture and the input state forget a window that goes.
void forgetInputOf(HWND hwnd);
// No key or button held, no capture, the pointer off every window.
void resetInputState();

}  // namespace platform
