// The one place where someone outside the layer may watch it work: every
// call that the window code makes into it, and every request it refuses,
// is reported to the observer when one is set. The programs set none; the
// tests of the window code use it to see which calls were made, in order,
// and to refuse a call as a system short of memory would.
#pragma once

#include <windows.h>

#include <cstdint>

namespace platform {

// `call` is the API call's name, or a sentence saying what was refused;
// a, b and c are the call's other arguments, in order, as far as it has them.
// false asks the layer to fail the call as the system does when it has not
// the resources; only calls that can fail that way (CreateDIBSection) ask.
using CallObserver = bool (*)(const char* call, HWND hwnd, std::uintptr_t a, std::uintptr_t b, std::uintptr_t c);

// Replaces the observer; null stops the reports.
void observeCalls(CallObserver observer);

// Reports a call as it is made; false when the observer refuses it.
bool record(const char* call, HWND hwnd, std::uintptr_t a = 0, std::uintptr_t b = 0, std::uintptr_t c = 0);
// Reports a refusal, or anything else unusual the layer wants seen.
void trace(const char* what, HWND hwnd = nullptr, std::uintptr_t value = 0);

}  // namespace platform
