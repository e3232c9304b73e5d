// rss_probe REPORT [--user NAME] [--fsize BYTES] [--as BYTES] [--stack BYTES] [--watchdog SECONDS] -- PROGRAM ARGS...
//
// Runs PROGRAM as a child and writes to REPORT one line:
//   exit=<code> signal=<number> peak_rss_kb=<kilobytes> timed_out=<0|1>
//
// A child's peak resident size (ru_maxrss) includes the memory of the
// process it was forked from, so a large test process would hide what the
// program itself used. This probe is small and does nothing else: the peak
// it reports is the program's own, within a megabyte or two. The tests run
// it through measured_run.h. It starts its program with fork and exec of its
// own rather than through child_process.h, since it is built without the
// sanitizers and so links nothing of the test library.
//
// --user drops to that user before running PROGRAM (for unreadable-file and
// read-only-folder cases when the tests run as root). --fsize sets the file
// size limit, with SIGXFSZ ignored so that writes fail with EFBIG instead.
// --as limits the address space, so that large allocations fail.
// --stack sets the stack size limit, which is also the size of every
// thread's stack: beyond the address space, no thread can be started.
// --watchdog kills a program that has not ended after that many seconds, so
// that a hang fails the test instead of blocking the run.
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile sig_atomic_t watchdogFired = 0;
pid_t childPid = 0;

void onAlarm(int) {
    watchdogFired = 1;
    if (childPid > 0) kill(childPid, SIGKILL);
}

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: rss_probe REPORT [--user NAME] [--fsize BYTES] [--as BYTES] [--stack BYTES] [--watchdog SECONDS] -- "
                 "PROGRAM ARGS...\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) usage();
    const char* report = argv[1];
    const char* user = nullptr;
    long long fileSizeLimit = -1;
    long long addressSpaceLimit = -1;
    long long stackLimit = -1;
    unsigned watchdog = 120;
    int i = 2;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (i + 1 >= argc) usage();
        if (std::strcmp(argv[i], "--user") == 0) {
            user = argv[++i];
        } else if (std::strcmp(argv[i], "--fsize") == 0) {
            fileSizeLimit = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--as") == 0) {
            addressSpaceLimit = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--stack") == 0) {
            stackLimit = std::atoll(argv[++i]);
        } else if (std::strcmp(argv[i], "--watchdog") == 0) {
            watchdog = static_cast<unsigned>(std::atoi(argv[++i]));
        } else {
            usage();
        }
    }
    if (i + 1 >= argc) usage();
    char** program = argv + i + 1;

    uid_t uid = 0;
    gid_t gid = 0;
    if (user) {
        const passwd* entry = getpwnam(user);
        if (!entry) {
            std::fprintf(stderr, "rss_probe: no user %s\n", user);
            return 2;
        }
        uid = entry->pw_uid;
        gid = entry->pw_gid;
    }

    struct sigaction alarmAction {};
    alarmAction.sa_handler = onAlarm;
    sigaction(SIGALRM, &alarmAction, nullptr);

    childPid = fork();
    if (childPid < 0) {
        std::perror("rss_probe: fork");
        return 2;
    }
    if (childPid == 0) {
        if (user && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
            std::perror("rss_probe: cannot drop privileges");
            _exit(126);
        }
        if (fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (addressSpaceLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(addressSpaceLimit), static_cast<rlim_t>(addressSpaceLimit)};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (stackLimit >= 0) {
            rlimit limit{};
            getrlimit(RLIMIT_STACK, &limit);
            limit.rlim_cur = static_cast<rlim_t>(stackLimit);
            if (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur > limit.rlim_max) limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_STACK, &limit);
        }
        execv(program[0], program);
        std::fprintf(stderr, "rss_probe: cannot run %s: %s\n", program[0], std::strerror(errno));
        _exit(127);
    }
    alarm(watchdog);
    int status = 0;
    rusage usage {};
    while (wait4(childPid, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("rss_probe: wait4");
            return 2;
        }
    }
    alarm(0);

    std::FILE* out = std::fopen(report, "w");
    if (!out) {
        std::perror("rss_probe: report");
        return 2;
    }
    std::fprintf(out, "exit=%d signal=%d peak_rss_kb=%ld timed_out=%d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                 WIFSIGNALED(status) ? WTERMSIG(status) : 0, usage.ru_maxrss, watchdogFired ? 1 : 0);
    return std::fclose(out) == 0 ? 0 : 2;
}
