// Test hooks of our Win32 subset (Linux only): run the window layer on an
// off-screen display, inject what a user would do, and observe the calls
// that the window code makes. Used by the tests of the layer and of the
// window framework, which link cr_platform_testing; the programs do not.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct RecordedCall {
    std::string name;  // the API call, or a refusal of the layer
    HWND hwnd;
    std::uintptr_t a, b, c;  // the call's other arguments, in order
};

namespace test {

// Puts the layer on an off-screen display (replacing the one it chose);
// only while no window exists. With closeAfterFirstPaint the layer asks each
// window to close (SC_CLOSE) once it has been painted, as when there is no
// display at all.
bool useOffscreenDisplay(bool closeAfterFirstPaint = false);

// Called, on the off-screen display, whenever WaitMessage would sleep:
// the place where a test acts as the user. Without one, WaitMessage returns
// after two seconds of nothing.
void setIdleHook(std::function<void()> hook);

// Records the calls made from now on (SendMessageA, DefWindowProcA,
// DestroyWindow, RemoveMenu, EnableWindow, ShowWindow, ...).
void startRecording();
std::vector<RecordedCall> stopRecording();
// Adds a marker to the recording, to place the caller's own events in it.
void note(const std::string& what);

// What the user does.
void injectCloseRequest(HWND hwnd);  // the close button: WM_SYSCOMMAND SC_CLOSE
void injectButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs);  // 1 left, 2 middle, 3 right
void injectExpose(HWND hwnd);                   // the window was uncovered
void injectMinimizedByUser(HWND hwnd, bool minimized);  // the window manager minimised / restored it
void injectDisplayLost();                     // the display's connection is gone
// Pointer positions are in the window's client coordinates; modifiers are
// kShiftHeld (1), kControlHeld (2) and kAltHeld (4) of the layer.
void injectButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs, unsigned modifiers);
void injectMotion(HWND hwnd, int x, int y, unsigned modifiers = 0);
void injectWheel(HWND hwnd, int delta, int x, int y, unsigned modifiers = 0);  // WHEEL_DELTA a notch
// A key pressed (a second press without a release is an auto-repeat) or
// released, with the character the press types (0 for none).
void injectKey(HWND hwnd, int virtualKey, bool press, char32_t text = 0, unsigned modifiers = 0);
void injectFocusLost(HWND hwnd);
constexpr unsigned kShift = 1, kControl = 2;

// The off-screen display's work area (SPI_GETWORKAREA), until reset().
void setWorkArea(const RECT& area);

// What the window is like now.
struct WindowState {
    bool visible;
    bool minimized;
    bool enabled;
    bool invalid;
    int clientWidth;
    int clientHeight;
    std::string title;
    DWORD style;
    HICON bigIcon;
    HICON smallIcon;
};
WindowState windowState(HWND hwnd);
std::vector<UINT> menuCommands(HMENU menu);  // separators as 0
// The client area as drawn: 0x00RRGGBB, rows top-down.
std::vector<std::uint32_t> clientPixels(HWND hwnd);
int liveWindows();

// GDI short of memory: CreateDIBSection fails for sections larger than
// `bytes` bytes, as it does when the memory is not there; -1 lifts the limit.
void limitDibSectionBytes(std::int64_t bytes);

// Destroys every window, stops the recording and the idle hook, and empties
// the queue, for the next test. Leaves the layer on an off-screen display.
void reset();

}  // namespace test
}  // namespace platform
