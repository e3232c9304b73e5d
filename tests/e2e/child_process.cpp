#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> environmentWith(const std::map<std::string, std::optional<std::string>>& changes) {
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!changes.count(name)) out.push_back(entry);
    }
    for (const auto& change : changes)
        if (change.second) out.push_back(change.first + "=" + *change.second);
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

std::string makeTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cr-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

}  // namespace

TempDir::TempDir() : root_(makeTempDir()) {}
TempDir::~TempDir() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

Child::Child(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env,
             int stdoutFd) {
    char outName[] = "/tmp/cr-e2e-out-XXXXXX";
    char errName[] = "/tmp/cr-e2e-err-XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    outPath_ = outName;
    errPath_ = errName;
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = environmentWith(env);
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(environment);
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // A test run started in the background has SIGINT ignored, which
        // the program would inherit and keep.
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        const int nullFd = open("/dev/null", O_RDONLY);
        dup2(nullFd, 0);
        dup2(stdoutFd >= 0 ? stdoutFd : outFd, 1);
        dup2(errFd, 2);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(outFd);
    close(errFd);
}

Child::~Child() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
}

bool Child::running() {
    if (reaped_ || pid_ <= 0) return false;
    if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    return !reaped_;
}

Finished Child::finish(long timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    Finished result;
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        reaped_ = true;
        result.signal = SIGKILL;
    } else if (WIFEXITED(status_)) {
        result.exitCode = WEXITSTATUS(status_);
    } else if (WIFSIGNALED(status_)) {
        result.signal = WTERMSIG(status_);
    }
    result.out = slurp(outPath_);
    result.err = slurp(errPath_);
    return result;
}

Finished run(const std::vector<std::string>& argv, const std::map<std::string, std::optional<std::string>>& env,
             long timeoutMs) {
    Child child(argv, env);
    return child.finish(timeoutMs);
}

XServer::XServer() {
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "no pipe";
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        const int nullFd = open("/dev/null", O_RDWR);
        dup2(nullFd, 0);
        dup2(nullFd, 1);
        dup2(nullFd, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        error_ = "Xvfb did not start (is the xvfb package installed?)";
        kill();
        return;
    }
    display_ = ":" + number;
}

XServer::~XServer() { kill(); }

void XServer::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace e2e
