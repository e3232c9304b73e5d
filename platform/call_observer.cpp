// The observer of the layer's calls (see call_observer.h).
#include "call_observer.h"

namespace platform {
namespace {
CallObserver observer = nullptr;
}  // namespace

void observeCalls(CallObserver next) { observer = next; }

bool record(const char* call, HWND hwnd, std::uintptr_t a, std::uintptr_t b, std::uintptr_t c) {
    return observer == nullptr || observer(call, hwnd, a, b, c);
}

void trace(const char* what, HWND hwnd, std::uintptr_t value) { record(what, hwnd, value); }

}  // namespace platform
