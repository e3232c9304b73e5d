// MyWin: the viewer. A fixed-size top-level window whose client area is
// exactly the size of its image; the reduction pass runs on the image while
// the window is being created, and every paint copies the image unscaled.
#pragma once

#include "dib24.h"
#include "nwindow.h"
#include "palette.h"

#include <exception>

class MyWin : public NWindow {
public:
    MyWin();
    ~MyWin() override;

    // Binds the image (not owned; it must outlive the native window),
    // creates the window sized to it, which reduces it, then shows it.
    void open(dib24* image);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The reduction pass on `image`, its report on standard output.
    void process();

    // Title bar, system menu and minimise box; no sizing border, no maximise box.
    static constexpr DWORD kViewerStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

    dib24* image;
    // The pass's palette once it has run (no entries before).
    Palette palette;
    // Set when the pass failed inside creation (then no window was made).
    std::exception_ptr failure;
};
