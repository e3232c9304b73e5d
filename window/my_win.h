// MyWin: the viewer. A fixed-size top-level window whose client area is the
// size of its image when that fits on the screen (else as much of it as
// fits); the reduction pass runs on the image while the window is being
// created. It shows the reduced picture at 1:1 from the top-left corner,
// and lets the user move about it, zoom into it, fit it to the window,
// compare it with the original and look at the palette and the error as
// pictures (key_bindings.cpp lists the keys and buttons). What it shows is
// composed into a buffer of the client's size and copied 1:1.
#pragma once

#include "dib24.h"
#include "nwindow.h"
#include "palette.h"
#include "reduce_image.h"
#include "view_compose.h"
#include "view_state.h"

#include <exception>
#include <memory>
#include <optional>

class MyWin : public NWindow {
public:
    MyWin();
    ~MyWin() override;

    // Binds the image (not owned; it must outlive the native window),
    // creates the window sized to it, which reduces it, then shows it.
    // `original`, when not empty, is the picture as loaded, before the pass
    // (not owned either): what Space and the difference view compare with.
    void open(dib24* image, const ImageView& original = ImageView{});

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The reduction pass on `image`, its report on standard output.
    void process();

    // Title bar, system menu and minimise box; no sizing border, no maximise box.
    static constexpr DWORD kViewerStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

    // What the window shows now.
    const ViewState& view() const { return view_; }

    dib24* image;
    // The pass's palette once it has run (no entries before).
    Palette palette;
    // Set when the pass failed inside creation (then no window was made).
    std::exception_ptr failure;

private:
    void paint();
    // Composes the view into `frame_` unless it shows it already; false
    // when there is no frame to compose into.
    bool composeFrame(Size client);
    // Carries out an action; the anchor of zooming is the pointer, or the
    // middle of the client area when the pointer is outside it.
    void perform(Action action, int wheelDelta = 0, const POINT* pointer = nullptr);
    void show(const ViewState& next);
    Point anchorAt(const POINT* pointer) const;
    unsigned modifiersHeld() const;

    ImageView original_;
    EntryCounts counts_{};
    ViewState view_;
    std::unique_ptr<ViewComposer> composer_;
    dib24 frame_;
    std::optional<ViewState> framed_;  // the view that frame_ holds
    // A drag: the view and the pointer when the left button went down.
    bool dragging_ = false;
    ViewState dragStart_;
    Point dragFrom_;
};
