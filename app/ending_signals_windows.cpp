#include "ending_signals.h"

#include <windows.h>

#include <cstring>

namespace {

// The console's handler runs on a thread of its own: the lock keeps it off
// the name while the program changes it, and keeps it waiting while a
// temporary file is made and named.
SRWLOCK guard = SRWLOCK_INIT;
char pathToRemove[32768];
bool armed = false;

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        AcquireSRWLockExclusive(&guard);
        // The file was made with FILE_SHARE_DELETE: it goes once the program's
        // handle is closed, which ending the program does.
        if (armed) DeleteFileA(pathToRemove);
        ReleaseSRWLockExclusive(&guard);
        break;
    default:
        break;
    }
    return FALSE;  // the system's own handling ends the program
}

class Held {
public:
    Held() { AcquireSRWLockExclusive(&guard); }
    ~Held() { ReleaseSRWLockExclusive(&guard); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

// Held by this thread already (inside holdingEndingSignals), or not.
thread_local bool holding = false;

template <typename F>
void guarded(F change) {
    if (holding) {
        change();
        return;
    }
    const Held held;
    change();
}

}  // namespace

void handleEndingSignals() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

void failWritesToClosedPipes() {}

void holdingEndingSignals(const std::function<void()>& work) {
    const Held held;
    holding = true;
    try {
        work();
    } catch (...) {
        holding = false;
        throw;
    }
    holding = false;
}

bool removeOnEndingSignal(const std::string& path) {
    bool kept = false;
    guarded([&] {
        armed = false;
        if (path.size() >= sizeof pathToRemove) return;
        std::memcpy(pathToRemove, path.c_str(), path.size() + 1);
        armed = true;
        kept = true;
    });
    return kept;
}

void removeNothingOnEndingSignal() {
    guarded([] { armed = false; });
}
