// The test hooks of the layer (see platform_test_hooks.h).
#include "user_internal.h"

namespace platform {
namespace testing {
std::function<void()>& idleHook() {
    static std::function<void()> hook;
    return hook;
}
}  // namespace testing

namespace test {
namespace {
std::vector<RecordedCall> calls;
bool recordingOn = false;
}  // namespace

bool useOffscreenDisplay(bool closeAfterFirstPaint) {
    return replaceBackend(makeHeadlessBackend(closeAfterFirstPaint));
}

void setIdleHook(std::function<void()> hook) { testing::idleHook() = std::move(hook); }

void startRecording() {
    calls.clear();
    recordingOn = true;
    testing::setRecording(&calls);
}

std::vector<RecordedCall> stopRecording() {
    testing::setRecording(nullptr);
    recordingOn = false;
    std::vector<RecordedCall> out;
    out.swap(calls);
    return out;
}

void note(const std::string& what) {
    if (recordingOn) calls.push_back(RecordedCall{what, nullptr, 0, 0, 0});
}

void injectCloseRequest(HWND hwnd) { deliverCloseRequest(hwnd); }

void injectButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs) {
    deliverButton(hwnd, button, press, x, y, timeMs);
}

void injectExpose(HWND hwnd) {
    RECT all{};
    GetClientRect(hwnd, &all);
    deliverExpose(hwnd, all);
}

void injectMinimizedByUser(HWND hwnd, bool minimized) { deliverMapped(hwnd, !minimized); }

void injectDisplayLost() {
    deliverDisplayLost();
}

WindowState windowState(HWND hwnd) {
    WindowState state{};
    if (WindowRecord* w = findWindow(hwnd)) {
        state = WindowState{w->visible, w->minimized, w->enabled, w->invalid, w->clientWidth,
                            w->clientHeight, w->title, w->style, w->bigIcon, w->smallIcon};
    }
    return state;
}

std::vector<std::uint32_t> clientPixels(HWND hwnd) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->surface.pixels) return {};
    const std::size_t n = static_cast<std::size_t>(w->surface.width) * static_cast<std::size_t>(w->surface.height);
    return std::vector<std::uint32_t>(w->surface.pixels.get(), w->surface.pixels.get() + n);
}

int liveWindows() { return static_cast<int>(liveWindowHandles().size()); }

void reset() {
    for (HWND hwnd : liveWindowHandles()) DestroyWindow(hwnd);
    testing::clearQueue();
    testing::setRecording(nullptr);
    calls.clear();
    recordingOn = false;
    testing::idleHook() = nullptr;
}

}  // namespace test
}  // namespace platform
