// USER32 subset: what the displays report made into input messages (mouse
// buttons with their double-clicks, moves, the wheel, keys with their
// auto-repeat and the characters they type), the mouse capture, the key
// state, the pointer's position and the work area.
#include "user_internal.h"

#include <array>
#include <cstdlib>

namespace platform {
namespace {

// The double-click of a CS_DBLCLKS class: the same button again on the same
// window within the double-click time and rectangle.
constexpr DWORD kDoubleClickTime = 500;
constexpr int kDoubleClickHalfWidth = 2;
struct LastPress {
    HWND hwnd = nullptr;
    int button = 0;
    DWORD time = 0;
    int x = 0;
    int y = 0;
} lastPress;
WPARAM buttonsHeld = 0;  // MK_LBUTTON etc., as the display last reported them

HWND captureWindow = nullptr;
// The screen position of the latest pointer input; far off any window
// until the pointer has been seen.
POINT lastPointer{-32768, -32768};

// Keys down as the display reported them: a press of a key already down is
// an auto-repeat, whose message has the previous-state bit set.
std::array<bool, 256> reportedDown{};
// The key state as of the last input message taken from the queue, as
// GetKeyState gives it: 0x80 down, 0x01 toggled.
std::array<std::uint8_t, 256> keyState{};

// The last key press taken, and the character it types, for TranslateMessage.
MSG lastKeyPress{};
char32_t lastKeyText = 0;

LPARAM packPoint(int x, int y) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) | static_cast<std::uint32_t>(x & 0xFFFF));
}

WPARAM mouseKeys(unsigned modifiers) {
    WPARAM keys = buttonsHeld;
    if (modifiers & kShiftHeld) keys |= MK_SHIFT;
    if (modifiers & kControlHeld) keys |= MK_CONTROL;
    return keys;
}

// The window that gets pointer input reported for `hwnd` at (x, y): the one
// that has the capture while one has it, with the point moved into its
// client coordinates. null when no enabled window takes it.
WindowRecord* pointerTarget(HWND& hwnd, int& x, int& y) {
    WindowRecord* w = findWindow(hwnd);
    if (!w) return nullptr;
    const POINT screen{w->clientOrigin.x + x, w->clientOrigin.y + y};
    lastPointer = screen;
    if (captureWindow && captureWindow != hwnd) {
        if (WindowRecord* holder = findWindow(captureWindow)) {
            hwnd = captureWindow;
            w = holder;
            x = screen.x - holder->clientOrigin.x;
            y = screen.y - holder->clientOrigin.y;
        }
    }
    return w->enabled ? w : nullptr;
}

void setDown(int virtualKey, bool down) {
    std::uint8_t& state = keyState[static_cast<std::size_t>(virtualKey)];
    if (down && !(state & 0x80)) state ^= 0x01;
    state = static_cast<std::uint8_t>(down ? state | 0x80 : state & ~0x80);
}

bool isPointerMessage(UINT message) {
    return (message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) || message == WM_MOUSEWHEEL;
}

}  // namespace

void deliverButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs, unsigned modifiers) {
    static const UINT kDown[] = {0, WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
    static const UINT kUp[] = {0, WM_LBUTTONUP, WM_MBUTTONUP, WM_RBUTTONUP};
    static const WPARAM kMask[] = {0, MK_LBUTTON, MK_MBUTTON, MK_RBUTTON};
    if (button < 1 || button > 3) return;
    WindowRecord* w = pointerTarget(hwnd, x, y);
    if (!w) return;
    if (press) buttonsHeld |= kMask[button];
    else buttonsHeld &= ~kMask[button];
    const POINT at{x, y};
    if (!press) {
        postInput(InputMessage{MSG{hwnd, kUp[button], mouseKeys(modifiers), packPoint(x, y), timeMs, at}, modifiers, 0});
        return;
    }
    UINT message = kDown[button];
    const bool doubled = (w->classStyle & CS_DBLCLKS) && lastPress.hwnd == hwnd && lastPress.button == button &&
                         timeMs - lastPress.time <= kDoubleClickTime &&
                         std::abs(x - lastPress.x) <= kDoubleClickHalfWidth &&
                         std::abs(y - lastPress.y) <= kDoubleClickHalfWidth;
    if (doubled) {
        message += 2;  // WM_xBUTTONDOWN + 2 is WM_xBUTTONDBLCLK
        lastPress = LastPress{};
    } else {
        lastPress = LastPress{hwnd, button, timeMs, x, y};
    }
    postInput(InputMessage{MSG{hwnd, message, mouseKeys(modifiers), packPoint(x, y), timeMs, at}, modifiers, 0});
}

void deliverMotion(HWND hwnd, int x, int y, DWORD timeMs, unsigned modifiers) {
    if (!pointerTarget(hwnd, x, y)) return;
    postInput(InputMessage{MSG{hwnd, WM_MOUSEMOVE, mouseKeys(modifiers), packPoint(x, y), timeMs, POINT{x, y}},
                           modifiers, 0});
}

// WM_MOUSEWHEEL carries the delta in the high word of wParam and the
// pointer's screen position in lParam.
void deliverWheel(HWND hwnd, int delta, int x, int y, DWORD timeMs, unsigned modifiers) {
    if (!pointerTarget(hwnd, x, y)) return;
    const auto high = static_cast<WPARAM>(static_cast<std::uint16_t>(static_cast<std::int16_t>(delta)));
    postInput(InputMessage{
        MSG{hwnd, WM_MOUSEWHEEL, (high << 16) | mouseKeys(modifiers), packPoint(lastPointer.x, lastPointer.y), timeMs,
            lastPointer},
        modifiers, 0});
}

// The key messages' lParam: repeat count 1, the scan code, the extended-key
// bit, the previous key state (bit 30) and the transition (bit 31, set on
// release).
void deliverKey(HWND hwnd, int virtualKey, int scanCode, bool extended, bool press, char32_t text, DWORD timeMs,
                unsigned modifiers) {
    if (virtualKey <= 0 || virtualKey > 255) return;
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->enabled) return;
    bool& down = reportedDown[static_cast<std::size_t>(virtualKey)];
    const bool wasDown = press ? down : true;
    down = press;
    const std::uint32_t bits = 1u | (static_cast<std::uint32_t>(scanCode & 0xFF) << 16) | (extended ? 1u << 24 : 0u) |
                               (wasDown ? 1u << 30 : 0u) | (press ? 0u : 1u << 31);
    postInput(InputMessage{MSG{hwnd, press ? static_cast<UINT>(WM_KEYDOWN) : static_cast<UINT>(WM_KEYUP),
                               static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(bits), timeMs, lastPointer},
                           modifiers, press ? text : 0});
}

void deliverFocusLost(HWND hwnd) {
    reportedDown.fill(false);
    if (!findWindow(hwnd)) return;
    postInput(InputMessage{MSG{hwnd, WM_KILLFOCUS, 0, 0, currentTime(), lastPointer}, 0, 0});
}

void noteClientOrigin(HWND hwnd, POINT origin) {
    if (WindowRecord* w = findWindow(hwnd)) w->clientOrigin = origin;
}

void inputTaken(const InputMessage& input) {
    const MSG& msg = input.msg;
    if (msg.message == WM_KILLFOCUS) {
        for (std::uint8_t& state : keyState) state = static_cast<std::uint8_t>(state & ~0x80);
        return;
    }
    const bool key = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP;
    if (!key && !isPointerMessage(msg.message)) return;
    // The modifiers as they were before this input; a modifier key's own
    // press or release follows below.
    setDown(VK_SHIFT, (input.modifiers & kShiftHeld) != 0);
    setDown(VK_CONTROL, (input.modifiers & kControlHeld) != 0);
    setDown(VK_MENU, (input.modifiers & kAltHeld) != 0);
    if (isPointerMessage(msg.message)) {
        setDown(VK_LBUTTON, (msg.wParam & MK_LBUTTON) != 0);
        setDown(VK_MBUTTON, (msg.wParam & MK_MBUTTON) != 0);
        setDown(VK_RBUTTON, (msg.wParam & MK_RBUTTON) != 0);
        return;
    }
    setDown(static_cast<int>(msg.wParam & 0xFF), msg.message == WM_KEYDOWN);
    if (msg.message == WM_KEYDOWN) {
        lastKeyPress = msg;
        lastKeyText = input.text;
    }
}

void resetInputState() {
    lastPress = LastPress{};
    buttonsHeld = 0;
    captureWindow = nullptr;
    lastPointer = POINT{-32768, -32768};
    reportedDown.fill(false);
    keyState.fill(0);
    lastKeyPress = MSG{};
    lastKeyText = 0;
}

void forgetInputOf(HWND hwnd) {
    if (captureWindow == hwnd) captureWindow = nullptr;
    if (lastPress.hwnd == hwnd) lastPress = LastPress{};
}

}  // namespace platform

using platform::findWindow;
using platform::WindowRecord;

// TranslateMessage: the key press last taken from the queue posts the
// character it types, as WM_CHAR, ahead of everything else. Our windows are
// narrow-text windows, so only characters of the ASCII range are typed.
BOOL TranslateMessage(const MSG* msg) {
    platform::record("TranslateMessage", msg ? msg->hwnd : nullptr, msg ? msg->message : 0);
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    const MSG& last = platform::lastKeyPress;
    if (msg->hwnd != last.hwnd || msg->wParam != last.wParam || msg->lParam != last.lParam || msg->time != last.time)
        return FALSE;
    const char32_t text = platform::lastKeyText;
    platform::lastKeyText = 0;
    if (text == 0 || text >= 0x80) return FALSE;
    platform::postFirst(MSG{msg->hwnd, WM_CHAR, static_cast<WPARAM>(text), msg->lParam, msg->time, msg->pt});
    return TRUE;
}

SHORT GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    const std::uint8_t state = platform::keyState[static_cast<std::size_t>(virtualKey)];
    return static_cast<SHORT>(((state & 0x80) ? 0xFF80 : 0) | (state & 0x01));
}

// SetCapture: the window gets the mouse input from now on; the one that had
// the capture is told it lost it.
HWND SetCapture(HWND hwnd) {
    platform::record("SetCapture", hwnd);
    const HWND previous = platform::captureWindow;
    if (!findWindow(hwnd)) return previous;
    platform::captureWindow = hwnd;
    if (previous && previous != hwnd)
        SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return previous;
}

BOOL ReleaseCapture() {
    platform::record("ReleaseCapture", platform::captureWindow);
    const HWND previous = platform::captureWindow;
    platform::captureWindow = nullptr;
    if (previous) SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() { return platform::captureWindow; }

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    POINT now{};
    if (platform::backend().cursorPosition(now)) platform::lastPointer = now;
    *point = platform::lastPointer;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !point) return FALSE;
    point->x -= w->clientOrigin.x;
    point->y -= w->clientOrigin.y;
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !point) return FALSE;
    point->x += w->clientOrigin.x;
    point->y += w->clientOrigin.y;
    return TRUE;
}

BOOL SystemParametersInfoA(UINT action, UINT, void* value, UINT) {
    if (action != SPI_GETWORKAREA || !value) {
        platform::trace("SystemParametersInfoA: action not supported", nullptr, action);
        return FALSE;
    }
    *static_cast<RECT*>(value) = platform::backend().workArea();
    return TRUE;
}
