// The test hooks of the layer (see platform_test_hooks.h). They drive the
// layer from outside, through its display interface and its call observer,
// as a display and a watcher would.
#include "platform_test_hooks.h"

#include "call_observer.h"
#include "display_backend.h"
#include "user_internal.h"

#include <cstring>
#include <optional>
#include <utility>

namespace platform {
namespace test {
namespace {

std::vector<RecordedCall> calls;
bool recordingOn = false;
std::function<void()> idleHook;
std::int64_t dibSectionLimit = -1;
std::optional<RECT> workArea_;

// Bytes of the pixel buffer that a CreateDIBSection call asks for.
std::int64_t dibSectionBytes(const BITMAPINFO* info) {
    if (!info) return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const std::int64_t stride = (static_cast<std::int64_t>(h.biWidth) * 3 + 3) / 4 * 4;
    const std::int64_t rows = h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
    return stride * rows;
}

bool onCall(const char* call, HWND hwnd, std::uintptr_t a, std::uintptr_t b, std::uintptr_t c) {
    if (recordingOn) calls.push_back(RecordedCall{call, hwnd, a, b, c});
    if (dibSectionLimit >= 0 && std::strcmp(call, "CreateDIBSection") == 0) {
        return dibSectionBytes(reinterpret_cast<const BITMAPINFO*>(a)) <= dibSectionLimit;
    }
    return true;
}

// The observer is set only while someone listens, as in the programs.
void updateObserver() { observeCalls(recordingOn || dibSectionLimit >= 0 ? onCall : nullptr); }

// The off-screen display, with the test acting as the user whenever the
// program would wait for one.
class ScriptedDisplay final : public Backend {
public:
    explicit ScriptedDisplay(std::unique_ptr<Backend> offscreen) : offscreen_(std::move(offscreen)) {}
    bool onScreen() const override { return offscreen_->onScreen(); }
    bool createWindow(WindowRecord& window) override { return offscreen_->createWindow(window); }
    void destroyWindow(WindowRecord& window) override { offscreen_->destroyWindow(window); }
    void setTitle(WindowRecord& window) override { offscreen_->setTitle(window); }
    void show(WindowRecord& window, int command) override { offscreen_->show(window, command); }
    void present(WindowRecord& window, const RECT& area) override { offscreen_->present(window, area); }
    void pump() override { offscreen_->pump(); }
    RECT workArea() override { return workArea_ ? *workArea_ : offscreen_->workArea(); }
    void wait(int wakeFd) override {
        if (idleHook) {
            // A copy: the hook may replace itself.
            const std::function<void()> hook = idleHook;
            hook();
            return;
        }
        offscreen_->wait(wakeFd);
    }

private:
    std::unique_ptr<Backend> offscreen_;
};

}  // namespace

bool useOffscreenDisplay(bool closeAfterFirstPaint) {
    return replaceBackend(std::make_unique<ScriptedDisplay>(makeHeadlessBackend(closeAfterFirstPaint)));
}

void setIdleHook(std::function<void()> hook) { idleHook = std::move(hook); }

void startRecording() {
    calls.clear();
    recordingOn = true;
    updateObserver();
}

std::vector<RecordedCall> stopRecording() {
    recordingOn = false;
    updateObserver();
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

void injectDisplayLost() { deliverDisplayLost(); }

void injectButton(HWND hwnd, int button, bool press, int x, int y, DWORD timeMs, unsigned modifiers) {
    deliverButton(hwnd, button, press, x, y, timeMs, modifiers);
}

void injectMotion(HWND hwnd, int x, int y, unsigned modifiers) { deliverMotion(hwnd, x, y, currentTime(), modifiers); }

void injectWheel(HWND hwnd, int delta, int x, int y, unsigned modifiers) {
    deliverWheel(hwnd, delta, x, y, currentTime(), modifiers);
}

void injectKey(HWND hwnd, int virtualKey, bool press, char32_t text, unsigned modifiers) {
    deliverKey(hwnd, virtualKey, virtualKey, false, press, text, currentTime(), modifiers);
}

void injectFocusLost(HWND hwnd) { deliverFocusLost(hwnd); }

void setWorkArea(const RECT& area) { workArea_ = area; }

WindowState windowState(HWND hwnd) {
    WindowState state{};
    if (WindowRecord* w = findWindow(hwnd)) {
        state = WindowState{w->visible, w->minimized, w->enabled, w->invalid, w->clientWidth,
                            w->clientHeight, w->title, w->style, w->bigIcon, w->smallIcon};
    }
    return state;
}

std::vector<UINT> menuCommands(HMENU handle) {
    std::vector<UINT> out;
    if (const Menu* menu = findMenu(handle))
        for (const MenuItem& item : menu->items) out.push_back(item.separator ? 0 : item.command);
    return out;
}

std::vector<std::uint32_t> clientPixels(HWND hwnd) {
    WindowRecord* w = findWindow(hwnd);
    if (!w || !w->surface.pixels) return {};
    const std::size_t n = static_cast<std::size_t>(w->surface.width) * static_cast<std::size_t>(w->surface.height);
    return std::vector<std::uint32_t>(w->surface.pixels.get(), w->surface.pixels.get() + n);
}

int liveWindows() { return static_cast<int>(liveWindowHandles().size()); }

void limitDibSectionBytes(std::int64_t bytes) {
    dibSectionLimit = bytes;
    updateObserver();
}

void reset() {
    calls.clear();
    recordingOn = false;
    dibSectionLimit = -1;
    workArea_.reset();
    updateObserver();
    idleHook = nullptr;
    for (HWND hwnd : liveWindowHandles()) DestroyWindow(hwnd);
    // A quiet display, so that emptying the queue below opens none.
    useOffscreenDisplay(false);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    resetInputState();
}

}  // namespace test
}  // namespace platform
