// Which display the layer draws on: the X display when one can be opened,
// else the off-screen one, with one notice on standard error.
#include "display_backend.h"

#include <cerrno>
#include <cstdio>

namespace platform {
namespace {

std::unique_ptr<Backend>& currentBackend() {
    static std::unique_ptr<Backend> instance;
    return instance;
}

}  // namespace

Backend& backend() {
    std::unique_ptr<Backend>& b = currentBackend();
    if (b) return *b;
    std::string why;
    b = makeX11Backend(why);
    if (!b) {
        std::fprintf(stderr, "%s: no display available (%s); drawing off-screen and closing the window after its first paint\n",
                     programName(), why.c_str());
        b = makeHeadlessBackend(true);
    }
    return *b;
}

bool replaceBackend(std::unique_ptr<Backend> next) {
    if (!liveWindowHandles().empty()) return false;
    currentBackend() = std::move(next);
    return true;
}

const char* programName() {
    return program_invocation_short_name ? program_invocation_short_name : "program";
}

}  // namespace platform
