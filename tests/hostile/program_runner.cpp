#include "program_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace hostile {

namespace fs = std::filesystem;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool runningAsRoot() { return geteuid() == 0; }

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/cr-hostile-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    chmod(pattern.c_str(), 0755);
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Give back write permission that a test took away, so everything goes.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored)) chmod(it->path().c_str(), 0755);
    }
    fs::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    TempDir scratch;
    const std::string outPath = scratch.file("stdout");
    const std::string errPath = scratch.file("stderr");
    const std::string reportPath = scratch.file("report");

    std::vector<std::string> args{RSS_PROBE_PATH, reportPath};
    if (!options.user.empty()) args.insert(args.end(), {"--user", options.user});
    if (options.fileSizeLimit >= 0) args.insert(args.end(), {"--fsize", std::to_string(options.fileSizeLimit)});
    if (options.addressSpaceLimit >= 0) args.insert(args.end(), {"--as", std::to_string(options.addressSpaceLimit)});
    if (options.stackLimit >= 0) args.insert(args.end(), {"--stack", std::to_string(options.stackLimit)});
    args.push_back("--");
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        for (const auto& name : options.unsetEnv) unsetenv(name.c_str());
        for (const auto& entry : options.setEnv) {
            const auto eq = entry.find('=');
            setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
        }
        const int in = open("/dev/null", O_RDONLY);
        const int out = options.stdoutPath.empty() ? open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)
                                                   : open(options.stdoutPath.c_str(), O_WRONLY);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0) _exit(125);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(cargs[0], cargs.data());
        _exit(125);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("rss_probe failed for " + argv.front() + ": " + readText(errPath));
    }
    RunResult result;
    result.out = readText(outPath);
    result.err = readText(errPath);
    int timedOut = 0;
    if (std::sscanf(readText(reportPath).c_str(), "exit=%d signal=%d peak_rss_kb=%ld timed_out=%d", &result.exitCode,
                    &result.signal, &result.peakRssKb, &timedOut) != 4) {
        throw std::runtime_error("rss_probe wrote no report");
    }
    result.timedOut = timedOut != 0;
    result.couldNotStart = result.exitCode == 127 && result.err.find("rss_probe: cannot run") != std::string::npos;
    return result;
}

}  // namespace hostile
