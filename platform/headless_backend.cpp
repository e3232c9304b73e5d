// The off-screen display: windows draw on their surfaces only. Without a
// real display (closeAfterFirstPaint) nobody could ever close a window, so
// the layer does what a user would: once a shown window has been painted
// and the program waits for input, it asks the window to close (SC_CLOSE).
// Its work area is a screen of a fixed size.
#include "display_backend.h"

#include <poll.h>

#include <algorithm>
#include <set>

namespace platform {
namespace {

class HeadlessBackend final : public Backend {
public:
    explicit HeadlessBackend(bool closeAfterFirstPaint) : closeAfterFirstPaint_(closeAfterFirstPaint) {}

    bool onScreen() const override { return false; }

    bool createWindow(WindowRecord& window) override {
        window.native = reinterpret_cast<std::uintptr_t>(window.handle);
        return true;
    }

    void destroyWindow(WindowRecord& window) override {
        painted_.erase(window.handle);
        asked_.erase(window.handle);
    }

    void setTitle(WindowRecord&) override {}
    void show(WindowRecord&, int) override {}

    void present(WindowRecord& window, const RECT&) override {
        if (window.visible) painted_.insert(window.handle);
    }

    void pump() override {}

    RECT workArea() override { return RECT{0, 0, kOffscreenWorkWidth, kOffscreenWorkHeight}; }

    void wait(int wakeFd) override {
        if (closeAfterFirstPaint_ && askToClose()) return;
        pollfd fd{wakeFd, POLLIN, 0};
        poll(&fd, 1, closeAfterFirstPaint_ ? -1 : 2000);
    }

private:
    // Asks the painted windows first; a window that never gets painted
    // (hidden, say) is asked once nothing else is left to ask.
    bool askToClose() {
        bool asked = false;
        for (HWND hwnd : painted_) {
            if (asked_.count(hwnd)) continue;
            asked_.insert(hwnd);
            deliverCloseRequest(hwnd);
            asked = true;
        }
        if (asked) return true;
        for (HWND hwnd : liveWindowHandles()) {
            if (asked_.count(hwnd)) continue;
            asked_.insert(hwnd);
            deliverCloseRequest(hwnd);
            asked = true;
        }
        return asked;
    }

    bool closeAfterFirstPaint_;
    std::set<HWND> painted_;
    std::set<HWND> asked_;
};

}  // namespace

std::unique_ptr<Backend> makeHeadlessBackend(bool closeAfterFirstPaint) {
    return std::make_unique<HeadlessBackend>(closeAfterFirstPaint);
}

}  // namespace platform
