// USER32 subset: window properties, named pointers kept per window. Names
// compare without regard to case, like atoms.
#include "user_internal.h"

BOOL SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
    platform::record("SetPropA", hwnd, reinterpret_cast<std::uintptr_t>(data));
    platform::WindowRecord* w = platform::findWindow(hwnd);
    if (!w || !name) return FALSE;
    const std::string key = platform::nameKey(name);
    for (auto& entry : w->props)
        if (entry.first == key) {
            entry.second = data;
            return TRUE;
        }
    w->props.emplace_back(key, data);
    return TRUE;
}

HANDLE GetPropA(HWND hwnd, LPCSTR name) {
    platform::WindowRecord* w = platform::findWindow(hwnd);
    if (!w || !name) return nullptr;
    const std::string key = platform::nameKey(name);
    for (auto& entry : w->props)
        if (entry.first == key) return entry.second;
    return nullptr;
}

HANDLE RemovePropA(HWND hwnd, LPCSTR name) {
    platform::record("RemovePropA", hwnd);
    platform::WindowRecord* w = platform::findWindow(hwnd);
    if (!w || !name) return nullptr;
    const std::string key = platform::nameKey(name);
    for (auto it = w->props.begin(); it != w->props.end(); ++it)
        if (it->first == key) {
            HANDLE data = it->second;
            w->props.erase(it);
            return data;
        }
    return nullptr;
}
