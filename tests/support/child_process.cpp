#include "child_process.h"

#include "bmp_builder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

std::string readText(const std::string& path) {
    const Bytes bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// The program as execve takes it: a name without a slash is looked up in
// PATH here, before the fork, so that a missing program is a clear error.
std::string resolve(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    throw std::runtime_error("cannot run " + program + ": not found in PATH");
}

std::vector<std::string> environmentWith(const Environment& changes) {
    std::vector<std::string> out;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        if (!changes.count(text.substr(0, text.find('=')))) out.push_back(text);
    }
    for (const auto& [name, value] : changes)
        if (value) out.push_back(name + "=" + *value);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// The descriptor the program gets as standard stream `target`, opened here
// (close-on-exec: the child moves it into place), or the test's own one.
struct Opened {
    int fd = -1;
    bool ours = false;  // to be closed once the child has it
};

Opened open(const Stream& stream, int target, const TempDir& captures) {
    const bool input = target == 0;
    const int mode = input ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
    std::string path;
    switch (stream.kind()) {
    case Stream::Kind::descriptor:
        return {stream.fd(), false};
    case Stream::Kind::nullDevice:
        path = "/dev/null";
        break;
    case Stream::Kind::file:
        path = stream.textOrPath();
        break;
    case Stream::Kind::captured:
        if (input) throw std::invalid_argument("standard input cannot be captured; give it as text");
        path = captures.file(target == 1 ? "stdout" : "stderr");
        break;
    case Stream::Kind::text:
        if (!input) throw std::invalid_argument("only standard input can be given as text");
        path = captures.file("stdin");
        writeFile(path, Bytes(stream.textOrPath().begin(), stream.textOrPath().end()));
        break;
    }
    const int fd = ::open(path.c_str(), mode | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot open " + path + " for a child: " + std::strerror(errno));
    return {fd, true};
}

// In the child, between fork and exec: only async-signal-safe calls. A
// failure is sent to the parent through `report` as the errno value.
[[noreturn]] void becomeProgram(const char* program, char* const* argv, char* const* envp, const int (&streams)[3],
                                const char* folder, bool ownGroup, pid_t parent, int report) {
    const auto fail = [report] {
        const int error = errno;
        (void)!write(report, &error, sizeof error);
        _exit(127);
    };
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);  // the test ended before the line above
    if (ownGroup) setpgid(0, 0);
    // A test run started in the background has SIGINT ignored, which the
    // program would inherit and keep.
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) ::signal(signal, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // A source among 0, 1 and 2 is first copied out of the way, so that
    // putting one stream in place cannot overwrite the source of another.
    int sources[3];
    for (int target = 0; target < 3; ++target) {
        sources[target] = streams[target] < 3 ? fcntl(streams[target], F_DUPFD_CLOEXEC, 3) : streams[target];
        if (sources[target] < 0) fail();
    }
    for (int target = 0; target < 3; ++target) {
        if (dup2(sources[target], target) < 0) fail();
    }
    if (*folder && chdir(folder) != 0) fail();
    execve(program, argv, envp);
    fail();
    _exit(127);
}

}  // namespace

Child::Child(const Command& command)
    : captures_(std::make_unique<TempDir>()), ownGroup_(command.ownProcessGroup) {
    if (command.argv.empty()) throw std::invalid_argument("a command needs a program");
    const std::string program = resolve(command.argv.front());
    std::vector<std::string> args = command.argv;
    std::vector<std::string> environment = environmentWith(command.env);
    const std::vector<char*> argp = pointers(args);
    const std::vector<char*> envp = pointers(environment);

    Opened opened[3];
    const Stream* streams[3] = {&command.in, &command.out, &command.err};
    const auto closeOurs = [&opened] {
        for (Opened& o : opened)
            if (o.ours && o.fd >= 0) close(o.fd);
    };
    try {
        for (int target = 0; target < 3; ++target) opened[target] = open(*streams[target], target, *captures_);
    } catch (...) {
        closeOurs();
        throw;
    }
    const int fds[3] = {opened[0].fd, opened[1].fd, opened[2].fd};

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        closeOurs();
        throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0)
        becomeProgram(program.c_str(), argp.data(), envp.data(), fds, command.workingFolder.c_str(), ownGroup_,
                      parent, report[1]);
    const int forkError = errno;
    close(report[1]);
    closeOurs();
    if (pid_ < 0) {
        close(report[0]);
        throw std::runtime_error(std::string("cannot fork: ") + std::strerror(forkError));
    }
    // The report pipe closes at the exec; an errno on it is a start that failed.
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got > 0) {
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        std::string where = command.workingFolder.empty() ? "" : " in " + command.workingFolder;
        throw std::runtime_error("cannot run " + program + where + ": " + std::strerror(error));
    }
}

Child::~Child() {
    if (pid_ > 0 && !exit_) {
        kill();
        waitpid(pid_, nullptr, 0);
    }
}

void Child::kill() {
    if (ownGroup_) ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
}

Exit Child::ended(int status) {
    Exit exit;
    if (WIFEXITED(status)) exit.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) exit.signal = WTERMSIG(status);
    exit.out = out();
    exit.err = err();
    return exit;
}

std::optional<Exit> Child::wait(std::chrono::milliseconds limit) {
    if (exit_) return exit_;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t got = waitpid(pid_, &status, WNOHANG);
        if (got == pid_) {
            exit_ = ended(status);
            return exit_;
        }
        if (got < 0 && errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

Exit Child::finish(std::chrono::milliseconds limit) {
    if (std::optional<Exit> done = wait(limit)) return *done;
    kill();
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exit_ = ended(status);
    exit_->timedOut = true;
    return *exit_;
}

std::string Child::out() const {
    const std::string path = captures_->file("stdout");
    return access(path.c_str(), F_OK) == 0 ? readText(path) : std::string();
}

std::string Child::err() const {
    const std::string path = captures_->file("stderr");
    return access(path.c_str(), F_OK) == 0 ? readText(path) : std::string();
}

Exit run(const Command& command, std::chrono::milliseconds limit) { return Child(command).finish(limit); }

}  // namespace testsupport
