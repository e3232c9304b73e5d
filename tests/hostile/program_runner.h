// Runs one of the project's programs as a child process for the fault
// tables: captures its standard output and standard error, its exit code or
// signal, and its peak resident memory as measured by rss_probe.
#pragma once

#include <string>
#include <vector>

namespace hostile {

struct RunOptions {
    std::string user;                   // run as this user (empty: as we are)
    long long fileSizeLimit = -1;       // RLIMIT_FSIZE for the program, bytes
    long long addressSpaceLimit = -1;   // RLIMIT_AS for the program, bytes
    long long stackLimit = -1;          // RLIMIT_STACK (soft) for the program, bytes
    std::string stdoutPath;             // standard output goes here instead of being captured
    std::vector<std::string> setEnv;    // "NAME=value" entries added or replaced
    std::vector<std::string> unsetEnv;  // names removed
};

struct RunResult {
    int exitCode = -1;  // -1 when ended by a signal
    int signal = 0;
    long peakRssKb = 0;
    bool timedOut = false;
    bool couldNotStart = false;  // exec failed (e.g. the program is not reachable as `user`)
    std::string out;
    std::string err;
};

RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// A fresh folder under the system's temporary folder, removed with its
// contents on destruction. Mode 0755 so that a dropped-privilege run can
// reach the files in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

std::string readText(const std::string& path);
bool runningAsRoot();

}  // namespace hostile
