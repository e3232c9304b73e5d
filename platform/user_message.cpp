// USER32 subset: the thread's message queue, the modal-loop calls, and input
// from the display. One queue, for the program's thread; PostMessageA and
// PostQuitMessage may also be called from other threads, and wake a
// WaitMessage that is sleeping.
#include "user_internal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace platform {
namespace {

std::mutex queueMutex;
std::deque<MSG> posted;
std::deque<MSG> input;
bool quitPending = false;
int quitCode = 0;

int wakeFd() {
    static const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return fd;
}

void wake() {
    const std::uint64_t one = 1;
    if (wakeFd() >= 0) {
        ssize_t ignored = write(wakeFd(), &one, sizeof one);
        (void)ignored;
    }
}

void drainWake() {
    std::uint64_t value;
    if (wakeFd() >= 0) {
        ssize_t ignored = read(wakeFd(), &value, sizeof value);
        (void)ignored;
    }
}

bool matches(const MSG& msg, HWND filter, UINT low, UINT high) {
    if (filter && msg.hwnd != filter) return false;
    if (low == 0 && high == 0) return true;
    return msg.message >= low && msg.message <= high;
}

bool takeFrom(std::deque<MSG>& queue, MSG* out, HWND filter, UINT low, UINT high, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!matches(*it, filter, low, high)) continue;
        *out = *it;
        if (remove) queue.erase(it);
        return true;
    }
    return false;
}

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
WPARAM buttonsHeld = 0;

DWORD currentTime() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Posts an input message (mouse, system command) behind the posted ones.
void postInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeMs) {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        input.push_back(MSG{hwnd, message, wParam, lParam, timeMs, POINT{0, 0}});
    }
    wake();
}

}  // namespace

void deliverCloseRequest(HWND hwnd) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->enabled) return;
    postInput(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0, currentTime());
}

void deliverButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs) {
    static const UINT kDown[] = {0, WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN};
    static const UINT kUp[] = {0, WM_LBUTTONUP, WM_MBUTTONUP, WM_RBUTTONUP};
    static const WPARAM kMask[] = {0, MK_LBUTTON, MK_MBUTTON, MK_RBUTTON};
    if (button < 1 || button > 3) return;
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->enabled) return;
    if (press) buttonsHeld |= kMask[button];
    else buttonsHeld &= ~kMask[button];
    const LPARAM position = static_cast<LPARAM>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                                static_cast<std::uint32_t>(x & 0xFFFF));
    if (!press) {
        postInput(hwnd, kUp[button], buttonsHeld, position, timeMs);
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
    postInput(hwnd, message, buttonsHeld, position, timeMs);
}

}  // namespace platform

// PeekMessageA: posted messages, then WM_QUIT, then input, then WM_PAINT
// for a shown window that needs painting (left in place until validated).
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return FALSE;
    platform::backend().pump();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    {
        std::lock_guard<std::mutex> lock(platform::queueMutex);
        if (platform::takeFrom(platform::posted, msg, hwnd, filterMin, filterMax, remove)) return TRUE;
        if (platform::quitPending && !hwnd && ((filterMin == 0 && filterMax == 0) ||
                                               (WM_QUIT >= filterMin && WM_QUIT <= filterMax))) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(platform::quitCode), 0, platform::currentTime(), {}};
            if (remove) platform::quitPending = false;
            return TRUE;
        }
        if (platform::takeFrom(platform::input, msg, hwnd, filterMin, filterMax, remove)) return TRUE;
    }
    for (HWND candidate : platform::liveWindowHandles()) {
        platform::WindowRecord* w = platform::findWindow(candidate);
        if (!w || !w->visible || w->minimized || !w->invalid) continue;
        const MSG paint{candidate, WM_PAINT, 0, 0, platform::currentTime(), {}};
        if (!platform::matches(paint, hwnd, filterMin, filterMax)) continue;
        *msg = paint;
        return TRUE;
    }
    return FALSE;
}

// WaitMessage: returns at once when something is waiting, else sleeps on the
// display (and on posts from other threads).
BOOL WaitMessage() {
    platform::backend().pump();
    {
        std::lock_guard<std::mutex> lock(platform::queueMutex);
        if (!platform::posted.empty() || !platform::input.empty() || platform::quitPending) return TRUE;
    }
    for (HWND candidate : platform::liveWindowHandles()) {
        platform::WindowRecord* w = platform::findWindow(candidate);
        if (w && w->visible && !w->minimized && w->invalid) return TRUE;
    }
    platform::backend().wait(platform::wakeFd());
    platform::drainWake();
    return TRUE;
}

// PostMessageA: queued for the window; a null window makes a thread message.
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !IsWindow(hwnd)) return FALSE;
    {
        std::lock_guard<std::mutex> lock(platform::queueMutex);
        platform::posted.push_back(MSG{hwnd, message, wParam, lParam, platform::currentTime(), {}});
    }
    platform::wake();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    platform::record("PostQuitMessage", nullptr, static_cast<std::uintptr_t>(exitCode));
    {
        std::lock_guard<std::mutex> lock(platform::queueMutex);
        platform::quitPending = true;
        platform::quitCode = exitCode;
    }
    platform::wake();
}

// TranslateMessage: there are no keyboard messages, so nothing to translate.
BOOL TranslateMessage(const MSG* msg) {
    platform::record("TranslateMessage", msg ? msg->hwnd : nullptr, msg ? msg->message : 0);
    return FALSE;
}

// DispatchMessageA: delivers to the target window's procedure; messages of
// no window (or a destroyed one) go nowhere.
LRESULT DispatchMessageA(const MSG* msg) {
    platform::record("DispatchMessageA", msg ? msg->hwnd : nullptr, msg ? msg->message : 0);
    if (!msg || !msg->hwnd) return 0;
    return platform::callWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// IsDialogMessageA: no dialog navigation keys exist here, so a message for
// the dialog window is simply dispatched (as Windows does with messages it
// does not navigate on), and counts as processed.
BOOL IsDialogMessageA(HWND dialog, MSG* msg) {
    platform::record("IsDialogMessageA", dialog, msg ? msg->message : 0);
    if (!msg || !dialog || msg->hwnd != dialog || !IsWindow(dialog)) return FALSE;
    platform::callWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    return TRUE;
}
