#include "nwindow.h"

#include <cassert>

HINSTANCE NWindow::instanceHandle = nullptr;

NWindow::NWindow()
    : autoDelete(false), inModal(false), modalResult(0), handler(nullptr), savedProc(nullptr), hwnd(nullptr) {}

// Teardown: unbind first, so that the WM_DESTROY and WM_NCDESTROY of this
// destruction never reach an object that is half destroyed.
NWindow::~NWindow() {
    if (!hwnd) return;
    if (inModal) {
        const HWND owner = ownerOrParent();
        if (owner) EnableWindow(owner, TRUE);
        modalResult = 0;
    }
    RemovePropA(hwnd, kPropName);
    if (savedProc) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedProc));
    const HWND bound = hwnd;
    hwnd = nullptr;
    DestroyWindow(bound);
}

HWND NWindow::ownerOrParent() const {
    HWND window = GetWindow(hwnd, GW_OWNER);
    if (!window) window = GetParent(hwnd);
    return window;
}

LRESULT NWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return 0;
    if (savedProc) return CallSavedProc(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT NWindow::HandlerProc(NWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window->hwnd) return 0;
    return DefWindowProcA(window->hwnd, message, wParam, lParam);
}

void NWindow::RegisterWindowClass(LPCSTR name, HINSTANCE instance) {
    if (!name) name = kClassName;
    if (!instanceHandle) instanceHandle = instance ? instance : GetModuleHandleA(nullptr);

    WNDCLASSA existing{};
    if (GetClassInfoA(instanceHandle, name, &existing)) return;

    WNDCLASSEXA info{};
    // The structure's own size: 48 bytes on 32-bit Windows, 80 on 64-bit.
    info.cbSize = sizeof(WNDCLASSEXA);
    info.style = CS_DBLCLKS;
    info.lpfnWndProc = &NWindow::StaticWindowProc;
    // A null instance registers the class for the program's own module.
    info.hInstance = instance;
    info.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    info.lpszClassName = name;
    // No background brush: default erasing paints nothing, the image covers it all.
    RegisterClassExA(&info);
}

bool NWindow::Create(DWORD exStyle, LPCSTR title, DWORD style, int x, int y, int width, int height, HWND parent,
                     HMENU menu, NWindow* handlerObject) {
    assert(!hwnd && "Create is called once, on an unbound object");
    RegisterWindowClass(nullptr, nullptr);
    // Set before the window exists, so that the creation messages follow it too.
    handler = handlerObject;
    // Binding happens inside this call, at WM_NCCREATE; its result is not needed.
    CreateWindowExA(exStyle, kClassName, title, style, x, y, width, height, parent, menu, instanceHandle, this);
    return hwnd != nullptr;
}

std::int32_t NWindow::RunModalLoop(bool useDialogMessages) {
    if (!hwnd) return 0;
    inModal = true;
    modalResult = 0;
    const HWND owner = ownerOrParent();
    if (owner) EnableWindow(owner, FALSE);

    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg{};
    while (hwnd) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                break;
            }
            if (useDialogMessages && IsDialogMessageA(hwnd, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            if (!hwnd) break;
            WaitMessage();
        }
    }
    inModal = false;
    // Leave the quit request, with its exit code, for an enclosing loop.
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return modalResult;
}

LRESULT CALLBACK NWindow::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = static_cast<NWindow*>(GetPropA(hwnd, kPropName));

    if (message == WM_NCCREATE) {
        // Create always passes its object. A window of this class made any
        // other way has nothing to bind to, and is refused.
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (!create || !create->lpCreateParams) return FALSE;
        object = static_cast<NWindow*>(create->lpCreateParams);
        object->hwnd = hwnd;
        SetPropA(hwnd, kPropName, object);

        const DWORD exStyle = create->dwExStyle;
        const DWORD style = static_cast<DWORD>(create->style);
        const bool toolLike = (exStyle & (WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW)) != 0;
        if (!(style & WS_THICKFRAME)) {
            // A window that cannot be sized offers neither sizing nor maximising.
            if (HMENU systemMenu = GetSystemMenu(hwnd, FALSE)) {
                if (toolLike) RemoveMenu(systemMenu, SC_MINIMIZE, MF_BYCOMMAND);
                RemoveMenu(systemMenu, SC_MAXIMIZE, MF_BYCOMMAND);
                RemoveMenu(systemMenu, SC_SIZE, MF_BYCOMMAND);
            }
        }
        if (!toolLike) {
            HICON icon = LoadIconA(GetModuleHandleA(nullptr), kIconName);
            if (!icon) icon = LoadIconA(nullptr, IDI_APPLICATION);
            SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        }
    }

    // Before WM_NCCREATE, or once unbound: nothing of ours to call.
    if (!object) return DefWindowProcA(hwnd, message, wParam, lParam);

    // The object sees the button press of a double-click in full first.
    switch (message) {
    case WM_LBUTTONDBLCLK:
        SendMessageA(hwnd, WM_LBUTTONDOWN, wParam, lParam);
        break;
    case WM_RBUTTONDBLCLK:
        SendMessageA(hwnd, WM_RBUTTONDOWN, wParam, lParam);
        break;
    case WM_MBUTTONDBLCLK:
        SendMessageA(hwnd, WM_MBUTTONDOWN, wParam, lParam);
        break;
    default:
        break;
    }

    LRESULT result;
    if (object->hwnd) {
        result = object->handler ? object->handler->HandlerProc(object, message, wParam, lParam)
                                 : object->WindowProc(message, wParam, lParam);
    } else {
        result = DefWindowProcA(hwnd, message, wParam, lParam);
    }

    if (message == WM_NCDESTROY) {
        object->hwnd = nullptr;
        RemovePropA(hwnd, kPropName);
        if (object->autoDelete) {
            object->autoDelete = false;
            delete object;
        }
    }
    return result;
}

LRESULT CALLBACK NWindow::CallSavedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* object = static_cast<const NWindow*>(GetPropA(hwnd, kPropName));
    if (object && object->savedProc) return CallWindowProcA(object->savedProc, hwnd, message, wParam, lParam);
    return 0;
}
