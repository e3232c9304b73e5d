#include "my_win.h"

#include "process.h"
#include "text_sink.h"

#include <cstdio>

namespace {
// "減色テスト" (colour-reduction test) in code page 932, for the narrow creation call.
const char kViewerTitle[] = "\x8C\xB8\x90\x46\x83\x65\x83\x58\x83\x67";
constexpr UINT kShiftJis = 932;

// The narrow title reads as intended only where the narrow code page is 932.
// Elsewhere the same text is stored as wide text, converted from code page
// 932, through the wide default procedure: SetWindowTextW would not do, as
// the system narrows the text again for a window with a narrow procedure.
void storeWideTitle(HWND hwnd) {
    WCHAR wide[sizeof kViewerTitle];
    if (MultiByteToWideChar(kShiftJis, 0, kViewerTitle, -1, wide, static_cast<int>(sizeof kViewerTitle)) > 0)
        DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
}
}  // namespace

MyWin::MyWin() : image(nullptr) {}

MyWin::~MyWin() = default;

void MyWin::open(dib24* shown) {
    image = shown;
    RECT rect{0, 0, image->width, image->height};
    AdjustWindowRectEx(&rect, kViewerStyle, FALSE, 0);
    // The reduction runs inside this call, at WM_CREATE, before the window is
    // first shown. When no window was made, the calls below do nothing.
    Create(0, kViewerTitle, kViewerStyle, CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left,
           rect.bottom - rect.top, nullptr, nullptr, nullptr);
    if (hwnd) storeWideTitle(hwnd);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
}

void MyWin::process() {
    FileSink out(stdout);
    palette = reduceImage(image->view(), out);
    // The statistics are out before the window shows, even through a pipe.
    std::fflush(stdout);
}

LRESULT MyWin::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        // No exception may unwind through the system's frames that called
        // this procedure: a pass that fails (memory running short) is kept
        // for the driver to report, and the window is not made.
        try {
            process();
        } catch (...) {
            failure = std::current_exception();
            return -1;
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);
        // The whole image on every paint, whatever part is invalid.
        image->draw(paint.hdc, 0, 0, image->width, image->height, 0, 0);
        EndPaint(hwnd, &paint);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
