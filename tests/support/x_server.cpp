#include "x_server.h"

#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

XServer::XServer(const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "no pipe for the display number";
        return;
    }
    // The server writes its display number on the pipe, which it inherits,
    // once it accepts connections.
    Command command({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp",
                     "-noreset"});
    command.out = command.err = Stream::nullDevice();
    try {
        server_ = std::make_unique<Child>(command);
    } catch (const std::runtime_error& e) {
        error_ = std::string(e.what()) + " (is the xvfb package installed?)";
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    // A bound on a server that never comes up, not a measure of anything.
    for (int waited = 0; server_ && waited < 200; ++waited) {
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) <= 0 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        if (error_.empty()) error_ = "Xvfb did not start";
        kill();
        return;
    }
    display_ = ":" + number;
}

XServer::~XServer() { kill(); }

void XServer::kill() { server_.reset(); }

}  // namespace testsupport
