#include "my_win.h"

#include "key_bindings.h"
#include "text_sink.h"

#include <cstdio>
#include <limits>

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

// The largest client area whose window fits in the work area; unlimited
// when the system does not say what the work area is.
Size largestClient(RECT& work) {
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, 0, 0};
        return Size{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()};
    }
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, MyWin::kViewerStyle, FALSE, 0);
    return Size{(work.right - work.left) - (frame.right - frame.left), (work.bottom - work.top) - (frame.bottom - frame.top)};
}

// A mouse message's position: signed 16-bit coordinates, negative to the
// left of or above the client area while the mouse is captured.
Point pointOf(LPARAM lParam) {
    return Point{static_cast<std::int16_t>(lParam & 0xFFFF), static_cast<std::int16_t>((lParam >> 16) & 0xFFFF)};
}

constexpr LPARAM kPreviousKeyState = LPARAM{1} << 30;
}  // namespace

MyWin::MyWin() : image(nullptr) {}

MyWin::~MyWin() = default;

void MyWin::open(dib24* shown, const ImageView& original) {
    image = shown;
    original_ = original;
    const Size picture{image->width, image->height};
    RECT work{};
    const Size client = clientSizeFor(picture, largestClient(work));
    RECT rect{0, 0, client.width, client.height};
    AdjustWindowRectEx(&rect, kViewerStyle, FALSE, 0);
    // A picture that fits opens where the system puts new windows; a larger
    // one takes the work area from its top-left corner, all of it in sight.
    const bool fits = client == picture;
    // The reduction runs inside this call, at WM_CREATE, before the window is
    // first shown. When no window was made, the calls below do nothing.
    Create(0, kViewerTitle, kViewerStyle, fits ? CW_USEDEFAULT : work.left, fits ? CW_USEDEFAULT : work.top,
           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr);
    if (hwnd) {
        storeWideTitle(hwnd);
        RECT area{};
        GetClientRect(hwnd, &area);
        view_ = initialView(picture, Size{area.right, area.bottom});
    }
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
}

void MyWin::process() {
    FileSink out(stdout);
    palette = reduceImage(image->view(), out, counts_);
    // The statistics are out before the window shows, even through a pipe.
    std::fflush(stdout);
    composer_ = std::make_unique<ViewComposer>(image->view(), original_, palette, counts_);
}

bool MyWin::composeFrame(Size client) {
    if (!composer_ || client.width <= 0 || client.height <= 0) return false;
    if (view_.client != client) view_ = withClient(view_, client);
    if (frame_.width != client.width || frame_.height != client.height) {
        framed_.reset();
        frame_.create(client.width, client.height, 0);
        if (!frame_.pixels) return false;
    }
    if (framed_ != view_) {
        framed_.reset();
        composer_->compose(view_, frame_.view());
        framed_ = view_;
    }
    return true;
}

void MyWin::paint() {
    PAINTSTRUCT paint;
    BeginPaint(hwnd, &paint);
    RECT area{};
    GetClientRect(hwnd, &area);
    bool composed = false;
    // No exception may leave the window procedure; memory too short for the
    // composed view leaves the reduced picture as it is, 1:1 from its top-left.
    try {
        composed = composeFrame(Size{area.right, area.bottom});
    } catch (...) {
        framed_.reset();
    }
    if (composed) frame_.draw(paint.hdc, 0, 0, frame_.width, frame_.height, 0, 0);
    else image->draw(paint.hdc, 0, 0, image->width, image->height, 0, 0);
    EndPaint(hwnd, &paint);
}

void MyWin::show(const ViewState& next) {
    if (next == view_) return;
    view_ = next;
    InvalidateRect(hwnd, nullptr, FALSE);
}

unsigned MyWin::modifiersHeld() const {
    unsigned held = kNoModifier;
    if (GetKeyState(VK_SHIFT) < 0) held |= kShiftModifier;
    if (GetKeyState(VK_CONTROL) < 0) held |= kControlModifier;
    return held;
}

Point MyWin::anchorAt(const POINT* pointer) const {
    POINT at{};
    if (pointer) {
        at = *pointer;
    } else if (!GetCursorPos(&at)) {
        at = POINT{-1, -1};
    }
    ScreenToClient(hwnd, &at);
    const Size client = view_.client;
    if (at.x < 0 || at.y < 0 || at.x >= client.width || at.y >= client.height)
        return Point{client.width / 2, client.height / 2};
    return Point{at.x, at.y};
}

void MyWin::perform(Action action, int wheelDelta, const POINT* pointer) {
    const bool comparing = composer_ && composer_->hasOriginal();
    switch (action) {
    case Action::Close:
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return;
    case Action::ShowOriginal:
    case Action::Drag:
        return;
    case Action::ToggleDifference:
        if (!comparing) return;
        break;
    default:
        break;
    }
    const bool zooms = action == Action::ZoomIn || action == Action::ZoomOut || action == Action::WheelZoom ||
                       action == Action::ActualSize;
    show(applied(view_, action, zooms ? anchorAt(pointer) : Point{}, wheelDelta));
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
    case WM_PAINT:
        paint();
        return 0;
    case WM_KEYDOWN:
        if (const auto action = boundAction(Input::Key, static_cast<int>(wParam), modifiersHeld())) {
            // Space shows the original while it is held; its auto-repeat changes nothing.
            if (*action == Action::ShowOriginal) {
                if (!(lParam & kPreviousKeyState) && composer_ && composer_->hasOriginal()) {
                    ViewState next = view_;
                    next.original = true;
                    show(next);
                }
            } else {
                perform(*action);
            }
        }
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE && view_.original) {
            ViewState next = view_;
            next.original = false;
            show(next);
        }
        break;
    case WM_KILLFOCUS:
        // The release of a key held now goes elsewhere.
        if (view_.original) {
            ViewState next = view_;
            next.original = false;
            show(next);
        }
        break;
    case WM_CHAR:
        if (const auto action = boundAction(Input::Character, static_cast<int>(wParam), modifiersHeld())) perform(*action);
        break;
    case WM_MOUSEWHEEL: {
        unsigned held = kNoModifier;
        if (wParam & MK_SHIFT) held |= kShiftModifier;
        if (wParam & MK_CONTROL) held |= kControlModifier;
        const int delta = static_cast<std::int16_t>((wParam >> 16) & 0xFFFF);
        const Point screen = pointOf(lParam);
        const POINT pointer{screen.x, screen.y};
        if (const auto action = boundAction(Input::Wheel, 0, held)) perform(*action, delta, &pointer);
        break;
    }
    case WM_LBUTTONDOWN:
        if (boundAction(Input::LeftButton, 0, modifiersHeld()) == Action::Drag) {
            dragging_ = true;
            dragStart_ = view_;
            dragFrom_ = pointOf(lParam);
            SetCapture(hwnd);
        }
        break;
    case WM_MOUSEMOVE:
        if (dragging_) show(dragged(dragStart_, dragFrom_, pointOf(lParam)));
        break;
    case WM_LBUTTONUP:
        if (dragging_) {
            show(dragged(dragStart_, dragFrom_, pointOf(lParam)));
            ReleaseCapture();
        }
        break;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        break;
    default:
        break;
    }
    // Input gets default processing too, after what the view does with it.
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
