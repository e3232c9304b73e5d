// An X server of the test's own (POSIX only): an Xvfb, by default of
// 1280 x 1024 at depth 24, without a window manager, on a display number
// that the server picks among the free ones.
#pragma once

#include "child_process.h"

#include <memory>
#include <string>

namespace testsupport {

class XServer {
public:
    // `screen` as Xvfb takes it: WIDTHxHEIGHTxDEPTH. started() says whether it came up.
    explicit XServer(const std::string& screen = "1280x1024x24");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool started() const { return !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"
    const std::string& error() const { return error_; }
    void kill();  // at once, as if the server crashed

private:
    std::unique_ptr<Child> server_;
    std::string display_;
    std::string error_;
};

}  // namespace testsupport
