// A program run to its end through rss_probe (POSIX only): its exit as with
// run(), and also its own peak resident memory, under limits that the test
// process itself must not live under (address space, file size, stack), or
// as another user.
#pragma once

#include "child_process.h"

#include <string>

namespace testsupport {

struct Limits {
    std::string user;                // run as this user (empty: as the test); needs root
    long long fileSizeBytes = -1;    // RLIMIT_FSIZE, with SIGXFSZ ignored: writes fail with EFBIG
    long long addressSpaceBytes = -1;  // RLIMIT_AS: large allocations fail
    long long stackBytes = -1;       // RLIMIT_STACK (soft), also every new thread's stack size
};

struct MeasuredExit : Exit {
    long peakRssKb = 0;
    bool couldNotStart = false;  // exec failed (e.g. the program is not reachable as `user`)
};

// The program is killed after two minutes (timedOut); the command's
// streams, environment and working folder are the program's.
MeasuredExit runMeasured(const Command& command, const Limits& limits = {});
inline MeasuredExit runMeasured(std::vector<std::string> argv, const Limits& limits = {}) {
    return runMeasured(Command(std::move(argv)), limits);
}

bool runningAsRoot();

}  // namespace testsupport
