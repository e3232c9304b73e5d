// The viewer as an instrument, on the off-screen display with a small work
// area: a picture larger than the screen gets the largest window that fits
// and starts at its top-left corner; keys, the wheel and a drag with the
// mouse captured move and zoom the view; Space shows the original while it
// is held; F fits; P and D show the palette and the difference; Esc and Q
// close. What the client area shows is checked pixel for pixel against the
// reduced picture and the original, cropped and enlarged by hand.
#include "my_win.h"
#include "palette_grid.h"
#include "pictures.h"
#include "reduce_image.h"
#include "view_compose.h"
#include "viewed_picture.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using testsupport::Bgr;
using testsupport::OwnedImage;
using testsupport::Picture;
using platform::test::kControl;

// The off-screen frame of the viewer's style: 3 pixels on each side, and a
// caption of 23 above.
constexpr int kFrameWidth = 6, kFrameHeight = 29;
const RECT kWorkArea{100, 50, 300, 200};  // 200 x 150: a client of at most 194 x 121
const Size kClient{194, 121};
constexpr std::uint32_t kBackground = 0x303030;

std::uint32_t rgbOf(const Bgr& p) {
    return (static_cast<std::uint32_t>(p.r) << 16) | (static_cast<std::uint32_t>(p.g) << 8) | p.b;
}

// What a client area of kClient shows of `picture` at `zoom` from (x, y)
// of the zoomed picture.
std::vector<std::uint32_t> shownOf(const Picture& picture, std::int64_t x, std::int64_t y, int zoom = 1) {
    ViewState view = initialView(Size{picture.width, picture.height}, kClient);
    view.offsetX = x, view.offsetY = y, view.zoom = zoom;
    std::vector<std::uint32_t> out;
    for (const Bgr& p : testsupport::viewedAt(picture, view).pixels) out.push_back(rgbOf(p));
    return out;
}

class ViewerTest : public windowtest::OffscreenTest {
protected:
    void SetUp() override {
        OffscreenTest::SetUp();
        platform::test::setWorkArea(kWorkArea);
        picture = testsupport::testCard(300, 200, 6);
        original = OwnedImage(picture);
        image.create(picture.width, picture.height, 96);
        const ImageView from = original.view();
        for (int y = 0; y < picture.height; ++y)
            std::copy(from.at(0, y), from.at(0, y) + 3 * picture.width, image.view().at(0, y));
        OwnedImage copy(picture);
        StringSink sink;
        palette = reduceImage(copy.view(), sink, counts);
        reduced = copy.picture();
    }

    void open(const ImageView& kept) {
        windowtest::StdoutCapture out;
        window.open(&image, kept);
        out.finish();
        ASSERT_NE(window.hwnd, nullptr);
    }
    void open() { open(original.view()); }

    // Runs the loop: each step acts as the user would, and what the client
    // shows once the viewer has nothing left to do is kept; then the window
    // is closed.
    std::vector<std::vector<std::uint32_t>> run(const std::vector<std::function<void()>>& steps) {
        std::vector<std::vector<std::uint32_t>> shown;
        std::size_t next = 0;
        const HWND hwnd = window.hwnd;
        platform::test::setIdleHook([&, hwnd] {
            if (next > 0 && IsWindow(hwnd)) shown.push_back(platform::test::clientPixels(hwnd));
            if (next < steps.size()) steps[next++]();
            else if (IsWindow(hwnd)) platform::test::injectCloseRequest(hwnd);
        });
        window.RunModalLoop(false);
        return shown;
    }
    void key(int virtualKey, char32_t text = 0, unsigned modifiers = 0) {
        platform::test::injectKey(window.hwnd, virtualKey, true, text, modifiers);
        platform::test::injectKey(window.hwnd, virtualKey, false, 0, modifiers);
    }

    Picture picture;
    OwnedImage original{Picture(1, 1)};
    dib24 image;
    Picture reduced;
    Palette palette;
    EntryCounts counts{};
    MyWin window;
};

TEST_F(ViewerTest, APictureLargerThanTheScreenGetsTheLargestWindowThatFitsAtTheTopLeftCorner) {
    open();
    const auto state = platform::test::windowState(window.hwnd);
    EXPECT_EQ(state.clientWidth, kClient.width);
    EXPECT_EQ(state.clientHeight, kClient.height);
    EXPECT_EQ(state.clientWidth + kFrameWidth, kWorkArea.right - kWorkArea.left);
    POINT corner{0, 0};
    ClientToScreen(window.hwnd, &corner);
    EXPECT_EQ(corner.x, kWorkArea.left + 3) << "the window starts at the work area's corner";
    EXPECT_EQ(corner.y, kWorkArea.top + 26);
    EXPECT_EQ(state.style, static_cast<DWORD>(0x00CA0000 | WS_VISIBLE));
    EXPECT_EQ(platform::test::clientPixels(window.hwnd), shownOf(reduced, 0, 0)) << "the first paint";
}

TEST_F(ViewerTest, KeysMoveTheViewWithinThePicture) {
    open();
    const auto shown = run({
        [&] { key(VK_END); },
        [&] { key(VK_RIGHT); },  // already at the right edge
        [&] { key(VK_HOME); },
        [&] {
            // Held down: the press and three repeats.
            for (int i = 0; i < 4; ++i) platform::test::injectKey(window.hwnd, VK_RIGHT, true);
            platform::test::injectKey(window.hwnd, VK_RIGHT, false);
        },
        [&] { key(VK_NEXT); },
        [&] { platform::test::injectWheel(window.hwnd, WHEEL_DELTA, 5, 5); },
    });
    ASSERT_EQ(shown.size(), 6u);
    const int right = 300 - kClient.width, bottom = 200 - kClient.height;
    EXPECT_EQ(shown[0], shownOf(reduced, right, bottom));
    EXPECT_EQ(shown[1], shownOf(reduced, right, bottom));
    EXPECT_EQ(shown[2], shownOf(reduced, 0, 0));
    EXPECT_EQ(shown[3], shownOf(reduced, right, 0)) << "4 x 40 pixels, stopped at the edge";
    EXPECT_EQ(shown[4], shownOf(reduced, right, bottom)) << "a page is nine tenths of 121";
    EXPECT_EQ(shown[5], shownOf(reduced, right, 0)) << "a notch away scrolls 120 up";
}

TEST_F(ViewerTest, ADragMovesThePicturePixelForPixelWithTheMouseCaptured) {
    open();
    const HWND hwnd = window.hwnd;
    HWND captured = nullptr;
    const auto shown = run({
        [&] {
            platform::test::injectButton(hwnd, 1, true, 100, 100, 1000, 0);
            platform::test::injectMotion(hwnd, 70, 80);
        },
        [&] {
            captured = GetCapture();
            // Far outside the window: the capture still brings the moves.
            platform::test::injectMotion(hwnd, -2000, -2000);
        },
        [&] {
            platform::test::injectMotion(hwnd, 95, 90);
            platform::test::injectButton(hwnd, 1, false, 95, 90, 1400, 0);
        },
        [&] { platform::test::injectMotion(hwnd, 0, 0); },  // no button: no drag
    });
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(captured, hwnd);
    EXPECT_EQ(GetCapture(), nullptr) << "released with the button";
    EXPECT_EQ(shown[0], shownOf(reduced, 30, 20));
    EXPECT_EQ(shown[1], shownOf(reduced, 300 - kClient.width, 200 - kClient.height));
    EXPECT_EQ(shown[2], shownOf(reduced, 5, 10));
    EXPECT_EQ(shown[3], shownOf(reduced, 5, 10));
}

TEST_F(ViewerTest, SpaceShowsTheOriginalWhileItIsHeld) {
    open();
    const HWND hwnd = window.hwnd;
    const auto shown = run({
        [&] { key(VK_END); },
        [&] { platform::test::injectKey(hwnd, VK_SPACE, true, U' '); },
        [&] {
            // Auto-repeat: the press again, and again; the original stays.
            platform::test::injectKey(hwnd, VK_SPACE, true, U' ');
            platform::test::injectKey(hwnd, VK_SPACE, true, U' ');
        },
        [&] { platform::test::injectKey(hwnd, VK_SPACE, false); },
        [&] { platform::test::injectKey(hwnd, VK_SPACE, true, U' '); },
        [&] { platform::test::injectFocusLost(hwnd); },  // its release goes elsewhere
    });
    ASSERT_EQ(shown.size(), 6u);
    const int right = 300 - kClient.width, bottom = 200 - kClient.height;
    EXPECT_EQ(shown[1], shownOf(picture, right, bottom)) << "the original, at the same place";
    EXPECT_EQ(shown[2], shownOf(picture, right, bottom));
    EXPECT_EQ(shown[3], shownOf(reduced, right, bottom));
    EXPECT_EQ(shown[4], shownOf(picture, right, bottom)) << "a new press after the release";
    EXPECT_EQ(shown[5], shownOf(reduced, right, bottom));
}

TEST_F(ViewerTest, ZoomEnlargesEachPixelAboutThePointerOrTheMiddle) {
    open();
    const HWND hwnd = window.hwnd;
    const auto plus = [&] { key(VK_OEM_PLUS, U'+', platform::test::kShift); };
    const auto shown = run({
        [&] {
            platform::test::injectMotion(hwnd, 10, 20);
            plus();
            plus();
            plus();
        },
        [&] { key(VK_OEM_MINUS, U'-'); },
        [&] { key('1'); },
        [&] {
            // The pointer leaves: the middle of the client is the anchor.
            platform::test::injectMotion(hwnd, -50, -50);
            plus();
        },
        [&] { platform::test::injectWheel(hwnd, -WHEEL_DELTA, 40, 30, kControl); },
    });
    ASSERT_EQ(shown.size(), 5u);
    // Zoom 2, 3 and 4 about (10, 20): offsets (10, 20), (20, 40), (30, 60).
    EXPECT_EQ(shown[0], shownOf(reduced, 30, 60, 4));
    EXPECT_EQ(shown[1], shownOf(reduced, (30 + 10) * 3 / 4 - 10, (60 + 20) * 3 / 4 - 20, 3));
    // 1:1 about (10, 20) again: from zoom 3 at (20, 40), (30 / 3 - 10, 60 / 3 - 20).
    EXPECT_EQ(shown[2], shownOf(reduced, 0, 0));
    EXPECT_EQ(shown[3], shownOf(reduced, 97, 60, 2)) << "about (97, 60)";
    // Ctrl and the wheel towards the user: back to 1:1 about (40, 30).
    EXPECT_EQ(shown[4], shownOf(reduced, (97 + 40) / 2 - 40, (60 + 30) / 2 - 30));
}

TEST_F(ViewerTest, FitShowsTheWholePictureAveragedAndOneGoesBack) {
    open();
    const auto shown = run({[&] { key('F'); }, [&] { key('1'); }});
    ASSERT_EQ(shown.size(), 2u);
    // 300 x 200 into 194 x 121: 181 x 121, 6 pixels in from the left.
    OwnedImage copy(reduced);
    const ImageView view = copy.view();
    const std::vector<std::uint8_t> fitted =
        areaAverage([&](std::int32_t y) { return view.at(0, y); }, Size{300, 200}, Size{181, 121});
    std::vector<std::uint32_t> expected;
    for (int y = 0; y < kClient.height; ++y)
        for (int x = 0; x < kClient.width; ++x) {
            if (x < 6 || x >= 6 + 181) {
                expected.push_back(kBackground);
                continue;
            }
            const std::uint8_t* p = &fitted[(static_cast<std::size_t>(y) * 181 + static_cast<std::size_t>(x - 6)) * 3];
            expected.push_back(rgbOf(Bgr{p[0], p[1], p[2]}));
        }
    EXPECT_EQ(shown[0], expected);
    // 1:1 about the middle of the client, (97, 60): the fitted picture's
    // (91, 60), the picture's (91 x 300 / 181, 60 x 200 / 121) = (150, 99).
    EXPECT_EQ(shown[1], shownOf(reduced, 150 - 97, 99 - 60));
}

TEST_F(ViewerTest, PShowsThePaletteAndDTheDifference) {
    open();
    const auto shown = run({[&] { key('P'); }, [&] { key('D'); }, [&] { key('P'); }, [&] { key('P'); }});
    ASSERT_EQ(shown.size(), 4u);
    OwnedImage grid(Picture(kClient.width, kClient.height));
    composePalette(grid.view(), palette, counts);
    std::vector<std::uint32_t> expected;
    for (const Bgr& p : grid.picture().pixels) expected.push_back(rgbOf(p));
    EXPECT_EQ(shown[0], expected);

    int largest = 0;
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const Bgr a = picture.pixels[i], b = reduced.pixels[i];
        largest = std::max({largest, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
    }
    ASSERT_GT(largest, 0);
    Picture difference(300, 200);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const Bgr a = picture.pixels[i], b = reduced.pixels[i];
        const int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
        const auto grey = static_cast<std::uint8_t>((d * 255 + largest / 2) / largest);
        difference.pixels[i] = Bgr{grey, grey, grey};
    }
    EXPECT_EQ(shown[1], shownOf(difference, 0, 0));
    EXPECT_EQ(shown[2], expected);
    EXPECT_EQ(shown[3], shownOf(difference, 0, 0)) << "P again: back to the difference";
}

TEST_F(ViewerTest, WithoutTheOriginalSpaceAndDShowTheReducedPicture) {
    open(ImageView{});
    const HWND hwnd = window.hwnd;
    const auto shown = run({[&] { key('D'); }, [&] { platform::test::injectKey(hwnd, VK_SPACE, true, U' '); }});
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], shownOf(reduced, 0, 0));
    EXPECT_EQ(shown[1], shownOf(reduced, 0, 0));
}

TEST_F(ViewerTest, EscapeAndQCloseTheWindowAsWmCloseDoes) {
    for (const int closer : {VK_ESCAPE, static_cast<int>('Q')}) {
        SCOPED_TRACE(closer);
        MyWin viewer;
        {
            windowtest::StdoutCapture out;
            viewer.open(&image, original.view());
            out.finish();
        }
        const HWND hwnd = viewer.hwnd;
        int idle = 0;
        platform::test::setIdleHook([&] {
            // A second idle turn would mean the key did not close it.
            if (idle++ == 0) platform::test::injectKey(hwnd, closer, true);
            else platform::test::injectCloseRequest(hwnd);
        });
        platform::test::startRecording();
        EXPECT_EQ(viewer.RunModalLoop(false), 0);
        const auto calls = platform::test::stopRecording();
        EXPECT_EQ(idle, 1);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_LT(windowtest::indexOf(calls, "DefWindowProcA", WM_CLOSE), calls.size());
    }
}

}  // namespace
