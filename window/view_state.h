// What the viewer shows, as a plain value: the picture's and the client
// area's sizes, the zoom (or the fitted view), the point of the picture at
// the client's top-left corner, and which picture: the reduced one, the
// difference, the palette, or the original while Space is held. Every
// change is a pure function of it; the window only turns messages into
// actions and draws what view_compose.h makes of the state.
#pragma once

#include <cstdint>

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const Size& o) const { return width == o.width && height == o.height; }
    bool operator!=(const Size& o) const { return !(*this == o); }
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Screen pixels per picture pixel, in the steps that zooming goes through.
constexpr int kZoomSteps[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32};
// An arrow key scrolls this many screen pixels; a wheel notch three times as many.
constexpr int kLineStep = 40;
constexpr int kLinesPerNotch = 3;
constexpr int kWheelDelta = 120;

enum class Action {
    ScrollLeft,
    ScrollRight,
    ScrollUp,
    ScrollDown,
    PageUp,
    PageDown,
    Home,  // the top-left corner
    End,   // the bottom-right corner
    ZoomIn,
    ZoomOut,
    Fit,
    ActualSize,  // 1:1
    TogglePalette,
    ToggleDifference,
    ShowOriginal,  // while held
    Close,
    // The mouse's: the wheel's delta scrolls or zooms; the left button drags.
    WheelScrollVertical,
    WheelScrollHorizontal,
    WheelZoom,
    Drag,
};

struct ViewState {
    Size picture;
    Size client;
    bool fit = false;  // the whole picture, reduced to fit the client area
    int zoom = 1;      // when not fitted
    // The point of the zoomed picture at the client's top-left corner, in
    // screen pixels; 0 to the zoomed size less the client's.
    std::int64_t offsetX = 0;
    std::int64_t offsetY = 0;
    bool palette = false;     // the palette's swatches instead of a picture
    bool difference = false;  // the difference picture instead of the reduced one
    bool original = false;    // the original picture, over everything else
    // Wheel zoom short of a whole notch, kept for the next turn.
    int wheelZoomRest = 0;

    bool operator==(const ViewState& o) const;
    bool operator!=(const ViewState& o) const { return !(*this == o); }
};

// The client area for a picture, given the largest one that fits on the
// screen: the picture's size when it fits, else as much of it as fits,
// each side at least 1.
Size clientSizeFor(Size picture, Size largest);

// 1:1 at the picture's top-left corner.
ViewState initialView(Size picture, Size client);

// The same view on a client area of another size, kept within the picture.
ViewState withClient(const ViewState& view, Size client);

// The largest offsets that still show picture up to the client's edges.
std::int64_t largestOffsetX(const ViewState& view);
std::int64_t largestOffsetY(const ViewState& view);

// The offsets brought back within 0 and the largest.
ViewState clamped(ViewState view);

// The fitted picture: its size, no larger than the picture, the whole of it
// within the client (the picture itself when it fits), and where it is placed:
// in the middle of the client area.
struct FitLayout {
    Size size;
    Point at;
};
FitLayout fitLayout(Size picture, Size client);

// Zoom `zoom` with the picture point under `anchor` (client coordinates)
// kept under it, as far as the picture's edges allow.
ViewState zoomedTo(const ViewState& view, int zoom, Point anchor);
// The next zoom step up (+1) or down (-1) about `anchor`. Up from the
// fitted view is the first step larger than the fit's scale; down from 1:1
// or from the fitted view changes nothing.
ViewState zoomStepped(const ViewState& view, int direction, Point anchor);

// Dragged from `start` (the view when the button went down, at `from`) to
// the pointer at `to`: the picture follows the pointer pixel for pixel.
ViewState dragged(const ViewState& start, Point from, Point to);

// What a key or a wheel turn does. `anchor` is where zooming centres (the
// pointer, or the middle of the client area when the pointer is outside);
// `delta` is the wheel's turn in WHEEL_DELTA units, positive away from the
// user. Moving and zooming do nothing while the palette is shown; Close,
// ShowOriginal and Drag are the window's to handle and change nothing here.
ViewState applied(const ViewState& view, Action action, Point anchor, int delta = 0);
