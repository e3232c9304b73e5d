// The viewer's own driver (runViewer, as reduceview runs it), run on the
// off-screen display by a user who posts a quit message (WM_QUIT) the first
// time the program waits for input; the exit code is the driver's. On the
// way out it reports on standard error whether every window was closed and
// whether DestroyWindow came after the quit.
#include "platform_test_hooks.h"
#include "run_viewer.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    platform::test::useOffscreenDisplay(false);
    int waits = 0;
    platform::test::setIdleHook([&waits] {
        if (++waits == 1) {
            platform::test::startRecording();
            platform::test::note("quit posted");
            PostQuitMessage(0);
        } else if (waits > 1000) {
            // The loop went on waiting after the quit: end with a code the test reports.
            std::fprintf(stderr, "quit_probe: the modal loop did not end after WM_QUIT\n");
            std::_Exit(3);
        }
    });
    const int code = runViewer(argc, argv);
    const auto calls = platform::test::stopRecording();
    const bool destroyed = std::any_of(calls.begin(), calls.end(), [](const platform::RecordedCall& call) {
        return call.name == "DestroyWindow";
    });
    std::fprintf(stderr, "quit_probe: quit posted %s; windows left %d; DestroyWindow after the quit %s\n",
                 waits > 0 ? "yes" : "no", platform::test::liveWindows(), destroyed ? "yes" : "no");
    return code;
}
