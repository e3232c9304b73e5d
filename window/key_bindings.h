// Every key and mouse binding of the viewer, in one table of input,
// modifiers and action, so that a reader sees them all in one place.
#pragma once

#include "view_state.h"

#include <optional>

enum class Input {
    Key,        // WM_KEYDOWN, by virtual-key code
    Character,  // WM_CHAR, by the character typed (whatever the layout)
    Wheel,      // WM_MOUSEWHEEL
    LeftButton,
};

enum : unsigned { kNoModifier = 0, kShiftModifier = 1, kControlModifier = 2, kAnyModifier = ~0u };

struct Binding {
    Input input;
    int code;  // the virtual key or the character; 0 for the mouse
    unsigned modifiers;  // Shift and Ctrl exactly as held, or kAnyModifier
    Action action;
};

// The action bound to an input with the modifiers held (Shift and Ctrl),
// if any. A character's binding does not look at Shift, which the
// character already tells.
std::optional<Action> boundAction(Input input, int code, unsigned modifiers);
