// The viewer on the off-screen display: its size, its system menu and
// icons, the reduction run once inside creation before the window shows,
// the image painted unscaled on every paint, double-clicks, and the ways its
// loop ends.
#include "my_win.h"
#include "pictures.h"
#include "reduce_image.h"
#include "viewer_title.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using windowtest::callsNamed;
using windowtest::indexOf;

// The viewer, with every message it gets noted in the recording.
class ObservedWin : public MyWin {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        platform::test::note("WindowProc " + std::to_string(message));
        return MyWin::WindowProc(message, wParam, lParam);
    }
    std::vector<UINT> messages;
};

class MyWinTest : public windowtest::OffscreenTest {
protected:
    // Loads `picture` into the image as the driver would.
    void load(const testsupport::Picture& picture) {
        image.create(picture.width, picture.height, 96);
        testsupport::OwnedImage owned(picture);
        const ImageView from = owned.view();
        for (int y = 0; y < picture.height; ++y)
            std::copy(from.at(0, y), from.at(0, y) + 3 * picture.width, image.view().at(0, y));
    }
    // What the window should show, and the lines the pass should print.
    void expectReductionOf(const testsupport::Picture& picture, std::string& lines,
                           std::vector<std::uint32_t>& pixels) {
        testsupport::OwnedImage copy(picture);
        StringSink sink;
        reduceImage(copy.view(), sink);
        lines = sink.text();
        const testsupport::Picture reduced = copy.picture();
        for (const testsupport::Bgr& p : reduced.pixels)
            pixels.push_back((static_cast<std::uint32_t>(p.r) << 16) | (static_cast<std::uint32_t>(p.g) << 8) | p.b);
    }
    std::string openQuietly(ObservedWin& w) {
        windowtest::StdoutCapture out;
        w.open(&image);
        return out.finish();
    }
    dib24 image;
};

TEST_F(MyWinTest, OpensSizedToTheImageWithTheReducedImagePainted) {
    const testsupport::Picture picture = testsupport::testCard(37, 23, 4);
    load(picture);
    std::string lines;
    std::vector<std::uint32_t> pixels;
    expectReductionOf(picture, lines, pixels);

    ObservedWin w;
    platform::test::startRecording();
    const std::string printed = openQuietly(w);
    const auto calls = platform::test::stopRecording();

    ASSERT_NE(w.hwnd, nullptr);
    EXPECT_EQ(printed, lines);
    RECT client{};
    GetClientRect(w.hwnd, &client);
    EXPECT_EQ(client.right, 37);
    EXPECT_EQ(client.bottom, 23);
    EXPECT_EQ(platform::test::clientPixels(w.hwnd), pixels);

    const auto state = platform::test::windowState(w.hwnd);
    EXPECT_EQ(state.title, testsupport::kViewerTitleCp932);
    EXPECT_EQ(state.style, static_cast<DWORD>(0x00CA0000 | WS_VISIBLE));
    EXPECT_TRUE(state.visible);
    EXPECT_FALSE(state.invalid) << "painted by UpdateWindow inside open";

    // The pass runs once, inside WM_CREATE, before the window shows or paints.
    EXPECT_EQ(std::count(w.messages.begin(), w.messages.end(), static_cast<UINT>(WM_CREATE)), 1);
    const std::size_t created = indexOf(calls, "WindowProc " + std::to_string(WM_CREATE));
    const std::size_t firstPaint = indexOf(calls, "WindowProc " + std::to_string(WM_PAINT));
    EXPECT_LT(created, indexOf(calls, "ShowWindow"));
    EXPECT_LT(indexOf(calls, "ShowWindow"), firstPaint);
    EXPECT_LT(firstPaint, calls.size());
}

TEST_F(MyWinTest, CannotBeSizedOrMaximisedAndHasTheApplicationIcon) {
    load(testsupport::gradient(8, 8));
    ObservedWin w;
    openQuietly(w);
    const std::vector<UINT> expected{SC_RESTORE, SC_MOVE, SC_MINIMIZE, 0, SC_CLOSE};
    EXPECT_EQ(platform::test::menuCommands(GetSystemMenu(w.hwnd, FALSE)), expected);
    const auto state = platform::test::windowState(w.hwnd);
    EXPECT_EQ(state.bigIcon, LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_EQ(state.smallIcon, state.bigIcon);
}

// Covers the client area with one colour, as a window laid over it would,
// so that what the next paint draws shows in the pixels.
constexpr std::uint32_t kCoverColor = 0xFF00FF;
void coverOver(HWND hwnd) {
    const std::uint8_t magenta[4] = {0xFF, 0x00, 0xFF, 0};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 1;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    RECT client{};
    GetClientRect(hwnd, &client);
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd, &paint);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, 1, 1, magenta, &info, DIB_RGB_COLORS, SRCCOPY);
    EndPaint(hwnd, &paint);
}

TEST_F(MyWinTest, EveryPaintDrawsTheWholeImage) {
    const testsupport::Picture picture = testsupport::fewColors(16, 12, 5, 3);
    load(picture);
    std::string lines;
    std::vector<std::uint32_t> reduced;
    expectReductionOf(picture, lines, reduced);
    ASSERT_EQ(std::count(reduced.begin(), reduced.end(), kCoverColor), 0);
    ObservedWin w;
    openQuietly(w);
    ASSERT_EQ(platform::test::clientPixels(w.hwnd), reduced);

    // Covered over each time before it needs painting again: restored after
    // the user minimised it, a corner uncovered, the whole window uncovered.
    const RECT corner{0, 0, 2, 2};
    std::vector<std::vector<std::uint32_t>> shown;  // after each of those paints
    int step = 0;
    platform::test::setIdleHook([&] {
        if (step >= 2) shown.push_back(platform::test::clientPixels(w.hwnd));
        switch (step++) {
        case 0: SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0); break;
        case 1: coverOver(w.hwnd); platform::test::injectMinimizedByUser(w.hwnd, false); break;
        case 2: coverOver(w.hwnd); InvalidateRect(w.hwnd, &corner, FALSE); break;
        case 3: coverOver(w.hwnd); platform::test::injectExpose(w.hwnd); break;
        default: platform::test::injectCloseRequest(w.hwnd); break;
        }
    });
    w.messages.clear();
    w.RunModalLoop(false);
    EXPECT_EQ(std::count(w.messages.begin(), w.messages.end(), static_cast<UINT>(WM_PAINT)), 3);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], reduced) << "restored";
    EXPECT_EQ(shown[1], reduced) << "a corner uncovered";
    EXPECT_EQ(shown[2], reduced) << "uncovered";
}

TEST_F(MyWinTest, ADoubleClickArrivesAsButtonDownThenDoubleClick) {
    load(testsupport::gradient(20, 20));
    ObservedWin w;
    openQuietly(w);
    const HWND hwnd = w.hwnd;
    int step = 0;
    platform::test::setIdleHook([&] {
        if (step++ == 0) {
            platform::test::injectButton(hwnd, 1, true, 5, 6, 1000);
            platform::test::injectButton(hwnd, 1, false, 5, 6, 1060);
            platform::test::injectButton(hwnd, 1, true, 6, 6, 1150);
            platform::test::injectButton(hwnd, 1, false, 6, 6, 1200);
        } else {
            platform::test::injectCloseRequest(hwnd);
        }
    });
    w.messages.clear();
    platform::test::startRecording();
    w.RunModalLoop(false);
    const auto calls = platform::test::stopRecording();
    std::vector<UINT> buttons;
    for (UINT m : w.messages)
        if (m >= WM_LBUTTONDOWN && m <= WM_MBUTTONDBLCLK) buttons.push_back(m);
    const std::vector<UINT> expected{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    EXPECT_EQ(buttons, expected);
    // Both got default processing.
    EXPECT_LT(indexOf(calls, "DefWindowProcA", WM_LBUTTONDBLCLK), calls.size());
}

TEST_F(MyWinTest, AfterTheUserClosedItDestructionDestroysNothingMore) {
    load(testsupport::gradient(4, 4));
    auto w = std::make_unique<ObservedWin>();
    openQuietly(*w);
    const HWND hwnd = w->hwnd;
    platform::test::setIdleHook([hwnd] { platform::test::injectCloseRequest(hwnd); });
    platform::test::startRecording();
    EXPECT_EQ(w->RunModalLoop(false), 0);
    w.reset();
    const auto calls = platform::test::stopRecording();
    EXPECT_EQ(callsNamed(calls, "DestroyWindow").size(), 1u) << "only default processing of WM_CLOSE destroyed it";
    EXPECT_LT(indexOf(calls, "DestroyWindow"), calls.size());
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MyWinTest, WhenNoWindowCanBeMadeOpenAndTheLoopDoNothing) {
    load(testsupport::gradient(4, 4));
    // An object that refuses its own creation stands for a platform that
    // cannot make the window.
    class Refusing : public ObservedWin {
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message == WM_NCCREATE) return FALSE;
            return ObservedWin::WindowProc(message, wParam, lParam);
        }
    } w;
    platform::test::startRecording();
    w.open(&image);
    EXPECT_EQ(w.RunModalLoop(false), 0);
    const auto calls = platform::test::stopRecording();
    EXPECT_EQ(w.hwnd, nullptr);
    EXPECT_EQ(platform::test::liveWindows(), 0);
    const auto shows = callsNamed(calls, "ShowWindow");
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(shows[0].hwnd, nullptr);
}

}  // namespace
