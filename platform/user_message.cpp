// USER32 subset: the thread's message queue and the modal-loop calls; the
// input that the displays deliver is queued here (user_input.cpp makes it).
// One queue, for the program's thread; PostMessageA and
// PostQuitMessage may also be called from other threads, and wake a
// WaitMessage that is sleeping.
#include "user_internal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <mutex>

namespace platform {
namespace {

std::mutex queueMutex;
std::deque<MSG> posted;
std::deque<InputMessage> input;
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

bool takeInput(InputMessage* out, HWND filter, UINT low, UINT high, bool remove) {
    for (auto it = input.begin(); it != input.end(); ++it) {
        if (!matches(it->msg, filter, low, high)) continue;
        *out = *it;
        if (remove) input.erase(it);
        return true;
    }
    return false;
}

}  // namespace

DWORD currentTime() {
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void postInput(const InputMessage& message) {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        if (message.msg.message == WM_MOUSEMOVE && !input.empty() && input.back().msg.message == WM_MOUSEMOVE &&
            input.back().msg.hwnd == message.msg.hwnd)
            input.back() = message;
        else
            input.push_back(message);
    }
    wake();
}

void postFirst(const MSG& msg) {
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        posted.push_front(msg);
    }
    wake();
}

void deliverCloseRequest(HWND hwnd) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->enabled) return;
    postInput(InputMessage{MSG{hwnd, WM_SYSCOMMAND, SC_CLOSE, 0, currentTime(), POINT{0, 0}}, 0, 0});
}

}  // namespace platform

// PeekMessageA: posted messages, then WM_QUIT, then input, then WM_PAINT
// for a shown window that needs painting (left in place until validated).
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return FALSE;
    platform::backend().pump();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    platform::InputMessage taken;
    bool tookInput = false;
    {
        std::lock_guard<std::mutex> lock(platform::queueMutex);
        if (platform::takeFrom(platform::posted, msg, hwnd, filterMin, filterMax, remove)) return TRUE;
        if (platform::quitPending && !hwnd && ((filterMin == 0 && filterMax == 0) ||
                                               (WM_QUIT >= filterMin && WM_QUIT <= filterMax))) {
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(platform::quitCode), 0, platform::currentTime(), {}};
            if (remove) platform::quitPending = false;
            return TRUE;
        }
        tookInput = platform::takeInput(&taken, hwnd, filterMin, filterMax, remove);
    }
    if (tookInput) {
        *msg = taken.msg;
        if (remove) platform::inputTaken(taken);
        return TRUE;
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
