// What the X display offers the layer and is told by it, besides the
// windows' pixels: a visual it can draw on, the work area, what a window
// manager reads of a window (x11_window_hints.cpp), and the virtual-key
// codes and modifiers of the input it reports.
#pragma once

#include "window_record.h"

#include <windows.h>

#include <X11/Xlib.h>

#include <string>

namespace platform {

struct DrawableVisual {
    Visual* visual = nullptr;
    int depth = 0;
    bool isDefault = true;  // the screen's default visual, with its colormap
};

// A TrueColor visual of at least 15 bits per pixel, the screen's default if
// it is one, else the deepest there is; false, with `why` saying what the
// screen offers, when there is none (an 8-bit PseudoColor screen, say),
// since pixels could then not be shown as they are.
bool chooseVisual(Display* display, int screen, DrawableVisual& chosen, std::string& why);

// _NET_WORKAREA of the current desktop where a window manager sets it, else
// the whole screen.
RECT workAreaOf(Display* display, int screen);

// The virtual-key code of a key, from its keysym without modifiers; 0 for a
// key that has none here. `extended` is set for the keys that a PC
// keyboard doubles on the keypad (arrows, Home, End, Page Up, Page Down).
int virtualKeyOf(KeySym keysym, bool& extended);

// Sets what a window manager reads of a new X window of `width` x `height`:
// its size limits (a window without a sizing border keeps its size), the
// close protocol, the process and the decorations of its style.
void describeToWindowManager(Display* display, ::Window xw, const WindowRecord& window, int width, int height);

// kShiftHeld, kControlHeld and kAltHeld from an event's modifier state.
unsigned modifiersOf(unsigned state);

}  // namespace platform
