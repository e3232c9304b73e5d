// The layer's keyboard and mouse input as the window code relies on it: the
// bits of the key messages (auto-repeat in the previous-state bit), the
// character TranslateMessage posts, the key state as of the message taken,
// the wheel's message, the capture, the moves of which only the latest
// waits, the pointer's position, and the work area.
#include "platform_test_hooks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<MSG> received;

LRESULT CALLBACK keepingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR || message == WM_MOUSEMOVE ||
        message == WM_MOUSEWHEEL || message == WM_CAPTURECHANGED || message == WM_LBUTTONDOWN ||
        message == WM_LBUTTONUP || message == WM_KILLFOCUS)
        received.push_back(MSG{hwnd, message, wParam, lParam, 0, {}});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::reset();
        ASSERT_TRUE(platform::test::useOffscreenDisplay(false));
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = keepingProc;
        c.lpszClassName = "keeping";
        RegisterClassExA(&c);
        received.clear();
    }
    void TearDown() override { platform::test::reset(); }
    static HWND make(int x = 40, int y = 30) {
        return CreateWindowExA(0, "keeping", "t", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, x, y, 120, 90, nullptr,
                               nullptr, nullptr, nullptr);
    }
    // Takes, translates and dispatches what waits, as a message loop does.
    static void loop() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    static std::vector<UINT> messages() {
        std::vector<UINT> out;
        for (const MSG& m : received) out.push_back(m.message);
        return out;
    }
};

TEST_F(InputTest, KeyMessagesCarryTheRepeatBitAndPressesTypeTheirCharacter) {
    const HWND hwnd = make();
    platform::test::injectKey(hwnd, 'A', true, U'a');
    platform::test::injectKey(hwnd, 'A', true, U'a');  // held: an auto-repeat
    platform::test::injectKey(hwnd, 'A', false);
    platform::test::injectKey(hwnd, VK_LEFT, true);  // types nothing
    platform::test::injectKey(hwnd, 0xDF, true, U'\u00e9');  // beyond ASCII: nothing for a narrow window
    loop();
    ASSERT_EQ(messages(), (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYDOWN, WM_KEYDOWN}));
    const auto bits = [](const MSG& m) { return static_cast<std::uint32_t>(m.lParam); };
    EXPECT_EQ(received[0].wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(bits(received[0]) & 0xFFFF, 1u) << "repeat count";
    EXPECT_EQ(bits(received[0]) >> 30, 0u) << "first press: up before, going down";
    EXPECT_EQ(received[1].wParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(bits(received[2]) >> 30, 1u) << "repeat: already down";
    EXPECT_EQ(bits(received[4]) >> 30, 3u) << "release: down before, going up";
    EXPECT_EQ((bits(received[0]) >> 16) & 0xFF, static_cast<std::uint32_t>('A')) << "the scan code";
}

TEST_F(InputTest, TheKeyStateIsThatOfTheMessageTaken) {
    const HWND hwnd = make();
    platform::test::injectKey(hwnd, VK_SHIFT, true);
    platform::test::injectKey(hwnd, 'X', true, U'X', platform::test::kShift);
    platform::test::injectKey(hwnd, VK_SHIFT, false, 0, platform::test::kShift);
    EXPECT_GE(GetKeyState(VK_SHIFT), 0) << "nothing taken yet";
    std::vector<SHORT> shift, x;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        shift.push_back(GetKeyState(VK_SHIFT));
        x.push_back(GetKeyState('X'));
    }
    ASSERT_EQ(shift.size(), 3u);
    EXPECT_LT(shift[0], 0);
    EXPECT_LT(shift[1], 0);
    EXPECT_LT(x[1], 0);
    EXPECT_GE(shift[2], 0) << "released";
    EXPECT_EQ(x[2] & 1, 1) << "toggled by its press";
    // Keys held when the keyboard goes elsewhere count as released.
    platform::test::injectKey(hwnd, 'X', true);
    platform::test::injectFocusLost(hwnd);
    loop();
    EXPECT_GE(GetKeyState('X'), 0);
    EXPECT_EQ(received.back().message, static_cast<UINT>(WM_KILLFOCUS));
    received.clear();
    platform::test::injectKey(hwnd, 'X', true);
    loop();
    EXPECT_EQ(static_cast<std::uint32_t>(received.at(0).lParam) >> 30, 0u) << "a new press, not a repeat";
}

TEST_F(InputTest, TheWheelGivesItsDeltaKeysAndTheScreenPosition) {
    const HWND hwnd = make(40, 30);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    platform::test::injectWheel(hwnd, -WHEEL_DELTA, 7, 9, platform::test::kControl);
    loop();
    ASSERT_EQ(received.size(), 1u);
    const MSG& m = received[0];
    EXPECT_EQ(static_cast<std::int16_t>(m.wParam >> 16), -WHEEL_DELTA);
    EXPECT_EQ(m.wParam & 0xFFFF, static_cast<WPARAM>(MK_CONTROL));
    EXPECT_EQ(static_cast<std::int16_t>(m.lParam & 0xFFFF), origin.x + 7);
    EXPECT_EQ(static_cast<std::int16_t>(m.lParam >> 16), origin.y + 9);
    POINT pointer{};
    ASSERT_TRUE(GetCursorPos(&pointer));
    ScreenToClient(hwnd, &pointer);
    EXPECT_EQ(pointer.x, 7);
    EXPECT_EQ(pointer.y, 9);
}

TEST_F(InputTest, OnlyTheLatestMoveWaitsAndTheCaptureTakesTheMouse) {
    const HWND first = make(0, 0), second = make(300, 0);
    for (int x = 0; x < 5; ++x) platform::test::injectMotion(first, x, 1);
    loop();
    ASSERT_EQ(received.size(), 1u) << "moves not yet taken make one";
    EXPECT_EQ(received[0].lParam, static_cast<LPARAM>((1 << 16) | 4)) << "(4, 1)";
    received.clear();

    EXPECT_EQ(SetCapture(first), nullptr);
    EXPECT_EQ(GetCapture(), first);
    // Over the second window, the moves go to the first, in its own coordinates.
    platform::test::injectMotion(second, 5, 6);
    loop();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].hwnd, first);
    POINT firstOrigin{0, 0}, secondOrigin{0, 0};
    ClientToScreen(first, &firstOrigin);
    ClientToScreen(second, &secondOrigin);
    EXPECT_EQ(static_cast<std::int16_t>(received[0].lParam & 0xFFFF), secondOrigin.x + 5 - firstOrigin.x);
    received.clear();
    // Taken by another window, and released: each loser is told.
    EXPECT_EQ(SetCapture(second), first);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_EQ(messages(), (std::vector<UINT>{WM_CAPTURECHANGED, WM_CAPTURECHANGED}));
    EXPECT_EQ(received[0].hwnd, first);
    EXPECT_EQ(received[0].lParam, reinterpret_cast<LPARAM>(second));
    EXPECT_EQ(received[1].hwnd, second);
    // A window that goes takes its capture with it.
    SetCapture(second);
    DestroyWindow(second);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(InputTest, TheWorkAreaIsTheOffscreenScreensOrTheOneATestSets) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right - work.left, 1280);
    EXPECT_EQ(work.bottom - work.top, 1024);
    platform::test::setWorkArea(RECT{10, 20, 810, 620});
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.left, 10);
    EXPECT_EQ(work.bottom, 620);
    EXPECT_FALSE(SystemParametersInfoA(0x0001, 0, &work, 0)) << "other questions are not answered";
}

}  // namespace
