// USER32 subset: the system menu, one copy per WS_SYSMENU window, made with
// the window and gone with it. Items can be removed and the standard ones
// put back; there are no other menus and no submenus.
#include "user_internal.h"

#include <map>

namespace platform {
namespace {

// Handles are never reused, so a stale one finds nothing.
std::uintptr_t nextMenuHandle = 0x20010;

std::map<HMENU, Menu>& menus() {
    static std::map<HMENU, Menu> table;
    return table;
}

void standardItems(Menu& menu) {
    menu.items = {{SC_RESTORE, false}, {SC_MOVE, false}, {SC_SIZE, false},  {SC_MINIMIZE, false},
                  {SC_MAXIMIZE, false}, {0, true},       {SC_CLOSE, false}};
}

}  // namespace

HMENU newSystemMenu(HWND owner) {
    const HMENU handle = reinterpret_cast<HMENU>(nextMenuHandle);
    nextMenuHandle += 4;
    Menu& menu = menus()[handle];
    menu.owner = owner;
    standardItems(menu);
    return handle;
}

Menu* findMenu(HMENU handle) {
    auto it = menus().find(handle);
    return it == menus().end() ? nullptr : &it->second;
}

void dropMenu(HMENU handle) { menus().erase(handle); }

}  // namespace platform

// GetSystemMenu: the window's own copy of the standard system menu
// (Restore, Move, Size, Minimize, Maximize, Close), for WS_SYSMENU windows.
// revert TRUE puts the standard items back and returns null.
HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
    platform::WindowRecord* w = platform::findWindow(hwnd);
    if (!w || !w->systemMenu) return nullptr;
    if (revert) {
        if (platform::Menu* menu = platform::findMenu(w->systemMenu)) platform::standardItems(*menu);
        return nullptr;
    }
    return w->systemMenu;
}

// RemoveMenu: by command or by position; no submenus.
BOOL RemoveMenu(HMENU handle, UINT position, UINT flags) {
    platform::record("RemoveMenu", nullptr, reinterpret_cast<std::uintptr_t>(handle), position, flags);
    platform::Menu* menu = platform::findMenu(handle);
    if (!menu) return FALSE;
    auto& items = menu->items;
    if (flags & MF_BYPOSITION) {
        if (position >= items.size()) return FALSE;
        items.erase(items.begin() + position);
        return TRUE;
    }
    for (auto item = items.begin(); item != items.end(); ++item)
        if (!item->separator && item->command == position) {
            items.erase(item);
            return TRUE;
        }
    return FALSE;
}
