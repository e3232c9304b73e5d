// The view's arithmetic, apart from any window: the client area for a
// picture, the offsets kept within the picture, scrolling, zooming about a
// point, the fitted layout, dragging, and what the palette view and the
// original leave alone.
#include "key_bindings.h"
#include "view_state.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const Size kPhoto{4000, 3000};
const Size kClient{1274, 995};

TEST(ViewState, APictureThatFitsKeepsItsSizeALargerOneGetsWhatFitsOnEachSide) {
    EXPECT_EQ(clientSizeFor(Size{640, 480}, kClient), (Size{640, 480}));
    EXPECT_EQ(clientSizeFor(Size{1274, 995}, kClient), (Size{1274, 995}));
    EXPECT_EQ(clientSizeFor(kPhoto, kClient), kClient);
    EXPECT_EQ(clientSizeFor(Size{5000, 200}, kClient), (Size{1274, 200})) << "only the side that is too long";
    EXPECT_EQ(clientSizeFor(Size{300, 2000}, kClient), (Size{300, 995}));
    EXPECT_EQ(clientSizeFor(Size{50, 2000}, Size{-6, -30}), (Size{1, 1})) << "a screen smaller than the frame";
}

TEST(ViewState, ScrollingStopsAtThePicturesEdges) {
    ViewState view = initialView(kPhoto, kClient);
    EXPECT_EQ(applied(view, Action::ScrollLeft, {}), view) << "already at the left edge";
    EXPECT_EQ(applied(view, Action::PageUp, {}), view);
    view = applied(view, Action::ScrollRight, {});
    view = applied(view, Action::ScrollDown, {});
    EXPECT_EQ(view.offsetX, kLineStep);
    EXPECT_EQ(view.offsetY, kLineStep);
    view = applied(view, Action::PageDown, {});
    EXPECT_EQ(view.offsetY, kLineStep + kClient.height * 9 / 10);

    const ViewState end = applied(view, Action::End, {});
    EXPECT_EQ(end.offsetX, kPhoto.width - kClient.width);
    EXPECT_EQ(end.offsetY, kPhoto.height - kClient.height);
    EXPECT_EQ(applied(end, Action::ScrollRight, {}), end);
    EXPECT_EQ(applied(end, Action::PageDown, {}), end);
    const ViewState home = applied(end, Action::Home, {});
    EXPECT_EQ(home.offsetX, 0);
    EXPECT_EQ(home.offsetY, 0);

    // A wheel notch is three lines, up and down; with Shift, sideways.
    ViewState wheeled = applied(home, Action::WheelScrollVertical, {}, -WHEEL_DELTA);
    EXPECT_EQ(wheeled.offsetY, kLinesPerNotch * kLineStep);
    wheeled = applied(wheeled, Action::WheelScrollHorizontal, {}, -2 * WHEEL_DELTA);
    EXPECT_EQ(wheeled.offsetX, 2 * kLinesPerNotch * kLineStep);
    EXPECT_EQ(applied(wheeled, Action::WheelScrollVertical, {}, 10 * WHEEL_DELTA).offsetY, 0);
}

TEST(ViewState, APictureThatFitsDoesNotMoveAt1To1) {
    const ViewState view = initialView(Size{300, 200}, Size{300, 200});
    for (Action a : {Action::ScrollRight, Action::ScrollDown, Action::PageDown, Action::End})
        EXPECT_EQ(applied(view, a, {}), view);
}

TEST(ViewState, ZoomKeepsThePicturePixelUnderTheAnchor) {
    ViewState view = initialView(kPhoto, kClient);
    view.offsetX = 1000;
    view.offsetY = 700;
    const Point anchor{400, 300};
    // Up through every step, then down again, away from the edges.
    for (int direction : {1, -1}) {
        for (int i = 0; i < 9; ++i) {
            const ViewState next = applied(view, direction > 0 ? Action::ZoomIn : Action::ZoomOut, anchor);
            ASSERT_NE(next.zoom, view.zoom);
            EXPECT_EQ((view.offsetX + anchor.x) / view.zoom, (next.offsetX + anchor.x) / next.zoom) << next.zoom;
            EXPECT_EQ((view.offsetY + anchor.y) / view.zoom, (next.offsetY + anchor.y) / next.zoom) << next.zoom;
            view = next;
        }
        EXPECT_EQ(view.zoom, direction > 0 ? 32 : 1);
        EXPECT_EQ(applied(view, direction > 0 ? Action::ZoomIn : Action::ZoomOut, anchor), view) << "no step beyond";
    }
}

TEST(ViewState, ZoomStepsAreTheWholeScreenPixelsPerPicturePixel) {
    ViewState view = initialView(Size{50, 40}, Size{50, 40});
    std::vector<int> zooms{view.zoom};
    for (int i = 0; i < 12; ++i) zooms.push_back((view = applied(view, Action::ZoomIn, Point{0, 0})).zoom);
    EXPECT_EQ(zooms, (std::vector<int>{1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 32, 32, 32}));
    EXPECT_EQ(applied(view, Action::ActualSize, Point{0, 0}).zoom, 1);
    // Bound to "1" and to "=".
    EXPECT_EQ(boundAction(Input::Key, '1', kNoModifier), Action::ActualSize);
    EXPECT_EQ(boundAction(Input::Character, '=', kNoModifier), Action::ActualSize);
}

TEST(ViewState, ZoomNearAnEdgeStaysWithinThePicture) {
    ViewState view = applied(initialView(kPhoto, kClient), Action::End, {});
    const ViewState in = applied(view, Action::ZoomIn, Point{kClient.width - 1, kClient.height - 1});
    EXPECT_EQ((in.offsetX + kClient.width - 1) / 2, kPhoto.width - 1) << "the corner pixel stays under the pointer";
    EXPECT_EQ((in.offsetY + kClient.height - 1) / 2, kPhoto.height - 1);
    // Out again about the top-left corner would show past the right and
    // bottom edges: the view stops at them.
    const ViewState out = applied(applied(in, Action::ZoomOut, Point{0, 0}), Action::ZoomOut, Point{0, 0});
    EXPECT_EQ(out.zoom, 1);
    EXPECT_EQ(out.offsetX, largestOffsetX(out));
    EXPECT_EQ(out.offsetY, largestOffsetY(out));
}

TEST(ViewState, WheelZoomGoesByWholeNotchesAndKeepsTheRest) {
    const ViewState view = initialView(kPhoto, kClient);
    ViewState turned = applied(view, Action::WheelZoom, Point{10, 10}, 60);
    EXPECT_EQ(turned.zoom, 1);
    EXPECT_EQ(turned.wheelZoomRest, 60);
    turned = applied(turned, Action::WheelZoom, Point{10, 10}, 60);
    EXPECT_EQ(turned.zoom, 2);
    EXPECT_EQ(turned.wheelZoomRest, 0);
    turned = applied(turned, Action::WheelZoom, Point{10, 10}, 3 * WHEEL_DELTA);
    EXPECT_EQ(turned.zoom, 6);
    EXPECT_EQ(applied(turned, Action::WheelZoom, Point{10, 10}, -2 * WHEEL_DELTA).zoom, 3);
}

TEST(ViewState, TheFittedPictureKeepsItsShapeAndSitsInTheMiddle) {
    const FitLayout wide = fitLayout(kPhoto, kClient);
    EXPECT_EQ(wide.size, (Size{1274, 955}));
    EXPECT_EQ(wide.at.x, 0);
    EXPECT_EQ(wide.at.y, 20);
    const FitLayout tall = fitLayout(Size{3000, 4000}, kClient);
    EXPECT_EQ(tall.size, (Size{746, 995}));
    EXPECT_EQ(tall.at.x, (1274 - 746) / 2);
    EXPECT_EQ(tall.at.y, 0);
    // A picture that fits is its own fit, never enlarged.
    const FitLayout small = fitLayout(Size{100, 50}, Size{100, 50});
    EXPECT_EQ(small.size, (Size{100, 50}));
    // A sliver keeps a side of one pixel.
    EXPECT_EQ(fitLayout(Size{100000, 3}, Size{100, 100}).size, (Size{100, 1}));
}

TEST(ViewState, ZoomingFromTheFitKeepsThePointUnderThePointer) {
    ViewState view = applied(initialView(kPhoto, kClient), Action::Fit, {});
    EXPECT_TRUE(view.fit);
    EXPECT_EQ(applied(view, Action::ZoomOut, Point{5, 5}), view) << "nothing smaller than the fit";
    EXPECT_EQ(applied(view, Action::End, {}), view) << "nothing to move in the fitted view";
    // (637, 497) is the fitted picture's point (637, 477), picture point
    // (637 x 4000 / 1274, 477 x 3000 / 955) = (2000, 1498).
    const ViewState zoomed = applied(view, Action::ZoomIn, Point{637, 497});
    EXPECT_FALSE(zoomed.fit);
    EXPECT_EQ(zoomed.zoom, 1);
    EXPECT_EQ(zoomed.offsetX + 637, 2000);
    EXPECT_EQ(zoomed.offsetY + 497, 1498);
    // A picture that fits goes from its fit straight to the next step.
    const ViewState small = applied(initialView(Size{80, 60}, Size{80, 60}), Action::Fit, {});
    EXPECT_EQ(applied(small, Action::ZoomIn, Point{0, 0}).zoom, 2);
}

TEST(ViewState, ADragMovesThePictureWithThePointerAndStopsAtTheEdges) {
    ViewState start = initialView(kPhoto, kClient);
    start.offsetX = 500;
    start.offsetY = 400;
    const ViewState moved = dragged(start, Point{100, 100}, Point{70, 140});
    EXPECT_EQ(moved.offsetX, 530) << "the picture went left with the pointer";
    EXPECT_EQ(moved.offsetY, 360);
    const ViewState far = dragged(start, Point{100, 100}, Point{-30000, 30000});
    EXPECT_EQ(far.offsetX, largestOffsetX(far));
    EXPECT_EQ(far.offsetY, 0);
    // Back to where it started: the drag is measured from the press.
    EXPECT_EQ(dragged(start, Point{100, 100}, Point{100, 100}), start);
    EXPECT_EQ(dragged(applied(start, Action::Fit, {}), Point{0, 0}, Point{50, 50}), applied(start, Action::Fit, {}));
}

TEST(ViewState, ThePaletteHoldsThePictureStillButTheOriginalMovesIt) {
    ViewState view = applied(initialView(kPhoto, kClient), Action::TogglePalette, {});
    EXPECT_TRUE(view.palette);
    for (Action a : {Action::ScrollRight, Action::End, Action::ZoomIn, Action::Fit})
        EXPECT_EQ(applied(view, a, Point{1, 1}), view);
    EXPECT_EQ(dragged(view, Point{0, 0}, Point{-40, -40}), view);
    ViewState original = view;
    original.original = true;
    EXPECT_EQ(applied(original, Action::ScrollRight, {}).offsetX, kLineStep);

    // D from the palette goes to the difference; D again back to the reduced picture.
    const ViewState difference = applied(view, Action::ToggleDifference, {});
    EXPECT_FALSE(difference.palette);
    EXPECT_TRUE(difference.difference);
    EXPECT_FALSE(applied(difference, Action::ToggleDifference, {}).difference);
    EXPECT_FALSE(applied(view, Action::TogglePalette, {}).palette);
}

TEST(KeyBindings, ModifiersSelectTheWheelsActionAndCharactersIgnoreShift) {
    EXPECT_EQ(boundAction(Input::Wheel, 0, kNoModifier), Action::WheelScrollVertical);
    EXPECT_EQ(boundAction(Input::Wheel, 0, kShiftModifier), Action::WheelScrollHorizontal);
    EXPECT_EQ(boundAction(Input::Wheel, 0, kControlModifier), Action::WheelZoom);
    EXPECT_EQ(boundAction(Input::Wheel, 0, kShiftModifier | kControlModifier), std::nullopt);
    EXPECT_EQ(boundAction(Input::Character, '+', kShiftModifier), Action::ZoomIn) << "+ is Shift and = on many keyboards";
    EXPECT_EQ(boundAction(Input::Key, 'F', kControlModifier), std::nullopt);
    EXPECT_EQ(boundAction(Input::Key, VK_SPACE, kShiftModifier), Action::ShowOriginal);
    EXPECT_EQ(boundAction(Input::LeftButton, 0, kControlModifier), Action::Drag);
    EXPECT_EQ(boundAction(Input::Key, VK_ESCAPE, kNoModifier), Action::Close);
    EXPECT_EQ(boundAction(Input::Key, 'Q', kNoModifier), Action::Close);
}

}  // namespace
