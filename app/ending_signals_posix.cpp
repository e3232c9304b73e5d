#include "ending_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

// What the handler may touch: a fixed buffer, filled before `armed` is set,
// and a lock-free flag (async-signal-safe, and seen by a handler running on
// a worker thread as well).
char pathToRemove[PATH_MAX];
std::atomic<bool> armed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler may only use lock-free atomics");

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kEndingSignals) sigaddset(&set, signal);
    return set;
}

extern "C" void onEndingSignal(int signal) {
    const int savedErrno = errno;
    if (armed.load()) unlink(pathToRemove);
    // End as the signal would have: default action, raised again. The signal
    // is blocked while its handler runs, so it is delivered on the return.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signal, &byDefault, nullptr);
    raise(signal);
    errno = savedErrno;
}

}  // namespace

void failWritesToClosedPipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

void handleEndingSignals() {
    failWritesToClosedPipes();

    struct sigaction action {};
    action.sa_handler = onEndingSignal;
    action.sa_mask = endingSignals();  // one handler at a time on a thread
    for (const int signal : kEndingSignals) {
        struct sigaction before {};
        sigaction(signal, nullptr, &before);
        if (before.sa_handler == SIG_IGN) continue;  // as nohup left it
        sigaction(signal, &action, nullptr);
    }
}

void holdingEndingSignals(const std::function<void()>& work) {
    const sigset_t held = endingSignals();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &held, &before);
    try {
        work();
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        throw;
    }
    const int savedErrno = errno;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);  // a signal held back is handled here
    errno = savedErrno;
}

bool removeOnEndingSignal(const std::string& path) {
    armed.store(false);
    if (path.size() >= sizeof pathToRemove) return false;
    std::memcpy(pathToRemove, path.c_str(), path.size() + 1);
    armed.store(true);
    return true;
}

void removeNothingOnEndingSignal() { armed.store(false); }
