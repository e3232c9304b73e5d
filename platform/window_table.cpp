// The table of live windows by handle (see window_record.h).
#include "user_internal.h"

#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex tableMutex;  // guards the table for lookups from other threads
std::map<HWND, std::unique_ptr<WindowRecord>>& windows() {
    static std::map<HWND, std::unique_ptr<WindowRecord>> table;
    return table;
}

}  // namespace

WindowRecord* findWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    std::lock_guard<std::mutex> lock(tableMutex);
    auto it = windows().find(hwnd);
    return it == windows().end() ? nullptr : it->second.get();
}

std::vector<HWND> liveWindowHandles() {
    std::lock_guard<std::mutex> lock(tableMutex);
    std::vector<HWND> out;
    for (auto& entry : windows()) out.push_back(entry.first);
    return out;
}

void enterWindow(std::unique_ptr<WindowRecord> record) {
    const HWND hwnd = record->handle;
    std::lock_guard<std::mutex> lock(tableMutex);
    windows()[hwnd] = std::move(record);
}

void forgetWindow(HWND hwnd) {
    std::unique_ptr<WindowRecord> gone;
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        auto it = windows().find(hwnd);
        if (it == windows().end()) return;
        gone = std::move(it->second);
        windows().erase(it);
    }
    forgetInputOf(hwnd);
    if (gone->native) backend().destroyWindow(*gone);
    if (gone->paintDC) deleteSurfaceDC(gone->paintDC);
    if (gone->systemMenu) dropMenu(gone->systemMenu);
}

}  // namespace platform
