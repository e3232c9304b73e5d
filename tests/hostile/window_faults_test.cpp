// Faults around the viewer's window, each ending the program by itself with
// the reduction's statistics already printed, no crash and no hang (a
// program still running when its time is up is killed, and fails the
// test): the X server going away while the window is shown, displays
// that cannot be opened (no server, a malformed name, a server that hangs up
// or answers nonsense), statistics that cannot be written, and a quit
// message posted while the viewer waits.
#include "bmp_builder.h"
#include "child_process.h"
#include "pictures.h"
#include "temp_dir.h"
#include "viewer_title.h"
#include "x_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace hostile {
namespace {

using namespace std::chrono_literals;
using testsupport::Child;
using testsupport::Environment;
using testsupport::Exit;
using testsupport::TempDir;

// The statistics the batch converter prints for the file: the viewer must
// have printed exactly these whatever happened to its window afterwards.
std::string statisticsOf(const std::string& input, const TempDir& dir) {
    const Exit batch = testsupport::run({REDUCEBMP_PATH, input, dir.file("reduced.bmp")}, {{"DISPLAY", std::nullopt}});
    EXPECT_EQ(batch.exitCode, 0) << batch.err;
    return batch.out;
}

std::string writeInput(const TempDir& dir) {
    const std::string input = dir.file("in.bmp");
    testsupport::writeFile(input, testsupport::bmp24(testsupport::testCard(48, 36, 7)));
    return input;
}

void expectCleanEnd(const Exit& run, const std::string& statistics) {
    EXPECT_EQ(run.signal, 0) << "crashed or hung: " << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, statistics);
}

TEST(WindowFaultTest, TheXServerGoingAwayWhileTheWindowIsShown) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string statistics = statisticsOf(input, dir);
    testsupport::XServer server;
    ASSERT_TRUE(server.started()) << server.error();
    const Environment display{{"DISPLAY", server.display()}};
    Child viewer({REDUCEVIEW_PATH, input}, display);
    const Exit found = testsupport::run({X11_WINDOW_TOOL_PATH, "find", testsupport::kViewerTitleUtf8, "20000"}, display);
    ASSERT_EQ(found.exitCode, 0) << "the viewer's window never appeared: " << found.err;
    server.kill();
    const Exit run = viewer.finish(20s);
    expectCleanEnd(run, statistics);
    // One line says why the window went.
    EXPECT_NE(run.err.find("connection to the display was lost"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

// A listening socket that plays an X server badly, on a display number of
// its own under /tmp/.X11-unix.
class FakeServer {
public:
    enum class Behaviour { hangUp, nonsense, silent };
    explicit FakeServer(Behaviour behaviour) : behaviour_(behaviour) {
        mkdir("/tmp/.X11-unix", 01777);
        for (int number = 4000 + getpid() % 1000; number < 6000 && listener_ < 0; ++number) {
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            if (access(path.c_str(), F_OK) == 0) continue;
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(fd, 4) == 0) {
                listener_ = fd;
                path_ = path;
                display_ = ":" + std::to_string(number);
            } else {
                close(fd);
            }
        }
        if (listener_ >= 0) thread_ = std::thread([this] { serve(); });
    }
    ~FakeServer() {
        stop_ = true;
        if (listener_ >= 0) shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        for (int client : held_) close(client);
        if (listener_ >= 0) close(listener_);
        if (!path_.empty()) unlink(path_.c_str());
    }
    const std::string& display() const { return display_; }

private:
    void serve() {
        while (!stop_) {
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            if (behaviour_ == Behaviour::nonsense) {
                char request[64];
                (void)!read(client, request, sizeof request);
                const char reply[] = "HTTP/1.0 400 Bad Request\r\n\r\nthis is not an X server";
                (void)!write(client, reply, sizeof reply - 1);
            } else if (behaviour_ == Behaviour::silent) {
                held_.push_back(client);  // accepted, never answered
                continue;
            }
            close(client);
        }
    }
    Behaviour behaviour_;
    int listener_ = -1;
    std::string path_;
    std::string display_;
    std::vector<int> held_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct UnopenableDisplay {
    const char* what;
    std::optional<std::string> display;
    const char* notice;  // what the viewer says on standard error
};

// The viewer draws off-screen instead, closes its window after the first
// paint, and ends with exit code 0 (no window the user could close).
TEST(WindowFaultTest, DisplaysThatCannotBeOpenedEndTheViewerCleanly) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string statistics = statisticsOf(input, dir);
    FakeServer hangUp(FakeServer::Behaviour::hangUp);
    FakeServer nonsense(FakeServer::Behaviour::nonsense);
    FakeServer silent(FakeServer::Behaviour::silent);
    ASSERT_FALSE(hangUp.display().empty() || nonsense.display().empty() || silent.display().empty());
    const UnopenableDisplay cases[] = {
        {"no DISPLAY at all", std::nullopt, "DISPLAY is not set"},
        {"an empty DISPLAY", std::string(), "DISPLAY is not set"},
        {"no server on that number", ":65001", "cannot open display :65001"},
        {"a malformed name", "not a display", "cannot open display not a display"},
        // Xlib's first write may meet the closed socket: a failed write, not SIGPIPE.
        {"a server that hangs up at once", hangUp.display(), "cannot open display"},
        {"a server that answers nonsense", nonsense.display(), "cannot open display"},
        // Xlib would wait for the greeting forever; the layer gives up after ten seconds.
        {"a server that never answers", silent.display(), "cannot open display"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Exit run = testsupport::run({REDUCEVIEW_PATH, input}, {{"DISPLAY", c.display}});
        expectCleanEnd(run, statistics);
        EXPECT_NE(run.err.find(c.notice), std::string::npos) << run.err;
    }
}

// `reduceview photo.bmp | head -2`, and a full disk: the statistics are said
// lost, the window is shown all the same, and the exit code is 1. A reader
// that has gone makes the write fail as one to a display that has gone
// does, instead of ending the viewer by SIGPIPE.
TEST(WindowFaultTest, StatisticsThatCannotBeWrittenAreSaidLostWithoutASignal) {
    TempDir dir;
    const std::string input = writeInput(dir);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const std::pair<const char*, testsupport::Stream> outputs[] = {
        {"a reader that has gone", testsupport::Stream::descriptor(fds[1])},
        {"a full disk", testsupport::Stream::file("/dev/full")},
    };
    for (const auto& [what, out] : outputs) {
        SCOPED_TRACE(what);
        testsupport::Command command({REDUCEVIEW_PATH, input}, {{"DISPLAY", std::nullopt}});
        command.out = out;
        const Exit run = testsupport::run(command);
        EXPECT_EQ(run.signal, 0) << run.err;
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("reduceview: cannot write the statistics to standard output\n"), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("closing the window after its first paint"), std::string::npos) << run.err;
    }
    close(fds[1]);
}

TEST(WindowFaultTest, AQuitMessageEndsTheLoopAndTheDestructorClosesTheWindow) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string statistics = statisticsOf(input, dir);
    const Exit run = testsupport::run({QUIT_PROBE_PATH, input}, {{"DISPLAY", std::nullopt}});
    expectCleanEnd(run, statistics);
    EXPECT_EQ(run.err, "quit_probe: quit posted yes; windows left 0; DestroyWindow after the quit yes\n");
}

}  // namespace
}  // namespace hostile
