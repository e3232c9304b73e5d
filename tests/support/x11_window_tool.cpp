// x11_window_tool: the X client of x_client.h as a command, for the tests of
// the Linux viewer. The window is found by its title (_NET_WM_NAME, or a
// plain WM_NAME), among all windows of the display, viewable ones only.
//
//   x11_window_tool find TITLE [TIMEOUT_MS]          prints "ID WIDTHxHEIGHT"
//   x11_window_tool info TITLE                       title, size and window-manager hints
//   x11_window_tool compare TITLE IMAGE.bmp [TIMEOUT_MS]
//                       waits until the window shows exactly the image (size and
//                       every pixel); prints "match WxH" or what differs
//   x11_window_tool read TITLE OUT.bmp               the window's pixels as a 24-bit BMP
//   x11_window_tool cover TITLE                      maps and removes a window over it
//   x11_window_tool close TITLE                      asks it to close (WM_DELETE_WINDOW)
//   x11_window_tool watch          prints "watching", then "created ID" for every
//                                  top-level window made on the display, then "end"
//                                  when told to by:
//   x11_window_tool end-watch      which comes after every event before it, so that
//                                  the watch has seen all windows made until then
//
// Exit codes: 0 done or matched, 1 not found or no match, 2 usage or display error.
#include "bmp_builder.h"
#include "decoded_picture.h"
#include "picture_difference.h"
#include "x_client.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using testsupport::Picture;
using testsupport::XClient;
using testsupport::XWindowId;

// Polls until `ready` or the time is up; returns the last window found.
template <typename Ready>
std::optional<XWindowId> poll(XClient& x, const std::string& title, long timeoutMs, Ready ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::optional<XWindowId> w = x.windowTitled(title);
        if (w && ready(*w)) return w;
        if (std::chrono::steady_clock::now() >= deadline) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

int usage() {
    std::fprintf(stderr,
                 "usage: x11_window_tool find|info|compare|read|cover|close TITLE [IMAGE.bmp|OUT.bmp] [TIMEOUT_MS]\n"
                 "       x11_window_tool watch|end-watch\n");
    return 2;
}

// Each command returns the tool's exit code.

int findCommand(XClient& x, const std::string& title, long timeoutMs) {
    const auto w = poll(x, title, timeoutMs, [](XWindowId) { return true; });
    const auto g = w ? x.geometry(*w) : std::nullopt;
    if (!g) return 1;
    std::printf("0x%lx %dx%d\n", *w, g->width, g->height);
    return 0;
}

int infoCommand(XClient& x, const std::string& title) {
    const auto w = x.windowTitled(title);
    const auto g = w ? x.geometry(*w) : std::nullopt;
    if (!g) return 1;
    std::printf("id 0x%lx\nsize %dx%d\n", *w, g->width, g->height);
    std::printf("_NET_WM_NAME %s\n", x.title(*w).c_str());
    const testsupport::XTextProperty wmName = x.wmName(*w);
    std::printf("WM_NAME type %s bytes", wmName.type.c_str());
    for (const unsigned char c : wmName.bytes) std::printf(" %02x", c);
    std::printf("\n");
    const testsupport::XManagerHints hints = x.managerHints(*w);
    if (hints.minSize) std::printf("min size %dx%d\n", hints.minSize->width, hints.minSize->height);
    if (hints.maxSize) std::printf("max size %dx%d\n", hints.maxSize->width, hints.maxSize->height);
    if (hints.motifFunctions)
        std::printf("motif functions 0x%lx decorations 0x%lx\n", *hints.motifFunctions, *hints.motifDecorations);
    return 0;
}

int compareCommand(XClient& x, const std::string& title, const char* imagePath, long timeoutMs) {
    Picture want;
    bool loaded = false;
    try {
        loaded = testsupport::decodeBmpFile(testsupport::readFile(imagePath), want);
    } catch (const std::exception&) {
        // no such file
    }
    if (!loaded) {
        std::fprintf(stderr, "x11_window_tool: cannot read %s\n", imagePath);
        return 2;
    }
    std::string why = "no window titled so";
    poll(x, title, timeoutMs, [&](XWindowId w) {
        const std::optional<Picture> got = x.pixels(w);
        why = got ? testsupport::pictureDifference(*got, want) : "cannot read the window";
        return why.empty();
    });
    if (!why.empty()) {
        std::printf("mismatch: %s\n", why.c_str());
        return 1;
    }
    std::printf("match %dx%d\n", want.width, want.height);
    return 0;
}

int readCommand(XClient& x, const std::string& title, const char* outPath) {
    const auto w = x.windowTitled(title);
    const std::optional<Picture> got = w ? x.pixels(*w) : std::nullopt;
    if (!got) return 1;
    testsupport::writeFile(outPath, testsupport::bmp24(*got));
    std::printf("%dx%d\n", got->width, got->height);
    return 0;
}

int watchCommand(XClient& x) {
    x.startWatch();
    std::printf("watching\n");
    std::fflush(stdout);
    while (const std::optional<XWindowId> created = x.nextCreated()) {
        std::printf("created 0x%lx\n", *created);
        std::fflush(stdout);
    }
    std::printf("end\n");
    return 0;
}

int runCommand(XClient& x, int argc, char** argv) {
    const std::string command = argv[1];
    if (command == "watch") return watchCommand(x);
    if (command == "end-watch") {
        x.endWatches();
        return 0;
    }
    if (argc < 3) return usage();
    const std::string title = argv[2];
    if (command == "find") return findCommand(x, title, argc > 3 ? std::atol(argv[3]) : 0);
    if (command == "info") return infoCommand(x, title);
    if (command == "compare" && argc > 3) return compareCommand(x, title, argv[3], argc > 4 ? std::atol(argv[4]) : 10000);
    if (command == "read" && argc > 3) return readCommand(x, title, argv[3]);
    if (command == "cover" || command == "close") {
        const auto w = x.windowTitled(title);
        if (!w) return 1;
        return (command == "cover" ? x.cover(*w) : x.close(*w)) ? 0 : 1;
    }
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    XClient x;
    if (!x.ok()) {
        std::fprintf(stderr, "x11_window_tool: cannot open the display\n");
        return 2;
    }
    return runCommand(x, argc, argv);
}
