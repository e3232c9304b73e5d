// The one way the tests start another program (POSIX only): an argument
// vector, never a shell; a working folder; changes to the environment; each
// standard stream captured as text, read from text, or connected to a file
// or to a descriptor of the test; a time limit after which the program is
// killed; its exit code or the signal that ended it.
//
//   const Exit done = run({REDUCEBMP_PATH, in, out});                  // wait for the end
//   Child viewer({REDUCEVIEW_PATH, in}, {{"DISPLAY", display}});       // act while it runs
//   ...
//   const Exit closed = viewer.finish(std::chrono::seconds(10));
#pragma once

#include "temp_dir.h"

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Variables to set, and variables to remove (mapped to nullopt); the rest of
// the test's environment is passed on as it is.
using Environment = std::map<std::string, std::optional<std::string>>;

// Where one of the program's standard streams goes, or comes from.
class Stream {
public:
    enum class Kind { captured, text, nullDevice, file, descriptor };
    // Standard output or error kept as text (Exit::out, Exit::err).
    static Stream captured() { return Stream(Kind::captured); }
    // Standard input: these bytes, then the end of the input.
    static Stream text(std::string bytes) { return Stream(Kind::text, std::move(bytes)); }
    static Stream nullDevice() { return Stream(Kind::nullDevice); }
    // A file opened by name: for reading as input, for writing (made or
    // emptied) as output. A device (/dev/full) or a pipe works too.
    static Stream file(std::string path) { return Stream(Kind::file, std::move(path)); }
    // A descriptor of the test, e.g. one end of a pipe; the test keeps its own copy.
    static Stream descriptor(int fd) { return Stream(Kind::descriptor, {}, fd); }

    Kind kind() const { return kind_; }
    const std::string& textOrPath() const { return textOrPath_; }
    int fd() const { return fd_; }

private:
    explicit Stream(Kind kind, std::string textOrPath = {}, int fd = -1)
        : kind_(kind), textOrPath_(std::move(textOrPath)), fd_(fd) {}
    Kind kind_;
    std::string textOrPath_;
    int fd_;
};

struct Command {
    Command(std::vector<std::string> arguments, Environment changes = {})
        : argv(std::move(arguments)), env(std::move(changes)) {}

    // argv[0] is the program: a path, or a name looked up in PATH.
    std::vector<std::string> argv;
    Environment env;
    std::string workingFolder;  // empty: the test's own
    Stream in = Stream::nullDevice();
    Stream out = Stream::captured();
    Stream err = Stream::captured();
    // A process group of its own, killed whole when the program is killed
    // (its time is up, or its Child goes while it runs): for programs that
    // start others (Wine).
    bool ownProcessGroup = false;
};

// How a program ended.
struct Exit {
    int exitCode = -1;  // -1: ended by a signal
    int signal = 0;     // the signal that ended it, or 0
    bool timedOut = false;  // killed at the end of its time (signal is SIGKILL)
    std::string out;    // what it wrote, when captured
    std::string err;
};

// A program running as a child of the test. Every other descriptor of the
// test that is not close-on-exec is inherited as usual (Xvfb's -displayfd
// relies on it). The program starts with the default action for every
// signal and none blocked, whatever the test run was started with, and is
// killed if the test process dies.
class Child {
public:
    // Throws std::runtime_error when the program cannot be started (no such
    // file, not executable, no such working folder).
    explicit Child(const Command& command);
    Child(std::vector<std::string> argv, Environment env = {}) : Child(Command(std::move(argv), std::move(env))) {}
    // Kills the program (and its group) if it still runs.
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // Waits up to `limit` for the end: nullopt while it still runs.
    std::optional<Exit> wait(std::chrono::milliseconds limit);
    // Waits up to `limit`, then kills it (timedOut).
    Exit finish(std::chrono::milliseconds limit);
    // What it has written so far to a captured stream.
    std::string out() const;
    std::string err() const;

private:
    void kill();
    Exit ended(int status);

    std::unique_ptr<TempDir> captures_;  // captured streams go to files here
    pid_t pid_ = -1;
    bool ownGroup_ = false;
    std::optional<Exit> exit_;
};

constexpr std::chrono::milliseconds kDefaultRunLimit = std::chrono::minutes(1);

// Runs the program to its end, killing it after `limit`.
Exit run(const Command& command, std::chrono::milliseconds limit = kDefaultRunLimit);
inline Exit run(std::vector<std::string> argv, Environment env = {}, std::chrono::milliseconds limit = kDefaultRunLimit) {
    return run(Command(std::move(argv), std::move(env)), limit);
}

}  // namespace testsupport
