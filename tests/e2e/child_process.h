// Running the built programs as child processes, with their standard output
// and error collected, and an X server of their own for the tests.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Finished {
    int exitCode = -1;  // -1: killed by a signal or did not finish in time
    int signal = 0;
    std::string out;
    std::string err;
};

// A running program. Its output goes to files in a fresh temporary folder.
class Child {
public:
    // env: variables to set; a variable mapped to nullopt is removed.
    // stdoutFd: the program's standard output, when not -1 (else a file).
    // The program starts with the default action for every signal that
    // ends a program (SIGINT, SIGTERM, SIGHUP, SIGPIPE) and none blocked,
    // whatever the test run was started with.
    Child(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env,
          int stdoutFd = -1);
    ~Child();  // kills the program if it still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running();
    // Waits up to timeoutMs; kills the program when it has not finished.
    Finished finish(long timeoutMs);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
    std::string outPath_;
    std::string errPath_;
};

Finished run(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env,
             long timeoutMs = 30000);

// An Xvfb of its own (1280x1024, depth 24, no window manager) on a display
// number that the server picks; stopped on destruction.
class XServer {
public:
    XServer();
    ~XServer();
    bool started() const { return !display_.empty(); }
    const std::string& display() const { return display_; }  // ":N"
    const std::string& error() const { return error_; }
    void kill();  // as if the server crashed

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

// A fresh folder under the system's temporary folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name) const { return root_ + "/" + name; }

private:
    std::string root_;
};

}  // namespace e2e
