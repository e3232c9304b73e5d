// KERNEL32 subset: the program's own module handle.
#include <windows.h>

namespace {
struct ModuleTag {
    int unused;
};
ModuleTag programModule{};
}  // namespace

// GetModuleHandleA: only null (the program itself) is known.
HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName) return nullptr;
    return reinterpret_cast<HMODULE>(&programModule);
}
