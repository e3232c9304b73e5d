// NWindow: one native top-level window tied to one object.
//
// A single window class, "NWindow Class Name", is registered on first use.
// Its window procedure finds the object of each window through the window
// property "NWindow Prop Name", set when WM_NCCREATE arrives, and hands it
// every message. A derived class handles messages by overriding WindowProc;
// another object can take a window's messages over as its `handler`.
// Destroying a bound object destroys its native window. A window of the
// class created without an object (a null creation parameter) is refused at
// WM_NCCREATE, so its creation fails.
//
// Only the real Win32 API is used here, so the same source builds against the
// Windows headers and against our own subset of them.
#pragma once

#include <windows.h>

#include <cstdint>

class NWindow {
public:
    NWindow();
    virtual ~NWindow();
    NWindow(const NWindow&) = delete;
    NWindow& operator=(const NWindow&) = delete;

    // The window's own message handler. Default: 0 when unbound, else the
    // saved procedure when one is set, else DefWindowProcA.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called on a window's handler object with the window whose message it
    // is. Default: DefWindowProcA on that window, 0 when it is unbound.
    virtual LRESULT HandlerProc(NWindow* window, UINT message, WPARAM wParam, LPARAM lParam);

    // Registers the class once; later calls only find it. A null className
    // means the class of this framework; the first non-null instance (or
    // the program's own module) is kept for good.
    static void RegisterWindowClass(LPCSTR className, HINSTANCE instance);

    // Creates the native window with this object as its creation parameter.
    // true when the object is bound once creation has returned.
    bool Create(DWORD exStyle, LPCSTR title, DWORD style, int x, int y, int width, int height, HWND parent,
                HMENU menu, NWindow* handler);

    // Runs the thread's message loop until this object's window is gone or
    // WM_QUIT is taken (which is posted again for an enclosing loop).
    std::int32_t RunModalLoop(bool useDialogMessages);

    // The class's window procedure.
    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Forwards to the saved procedure of the window's object, 0 when none.
    static LRESULT CALLBACK CallSavedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    static constexpr const char* kClassName = "NWindow Class Name";
    static constexpr const char* kPropName = "NWindow Prop Name";
    static constexpr const char* kIconName = "IDR_MAINFRAME";
    static HINSTANCE instanceHandle;

    bool autoDelete;
    bool inModal;
    std::int32_t modalResult;
    NWindow* handler;  // not owned
    WNDPROC savedProc;
    HWND hwnd;

private:
    HWND ownerOrParent() const;
};
