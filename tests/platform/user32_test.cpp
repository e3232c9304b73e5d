// The Win32 layer's own behaviour, as the window code relies on it: the
// messages of creation and destruction, refusals, re-entrant sends,
// properties, the system menu, default processing, the queue's order and
// its WM_PAINT, double-click timing, the frame arithmetic, painting onto a
// window, and closing by itself where there is no display.
#include "platform_test_hooks.h"
#include "title_text.h"
#include "viewer_title.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
};

std::vector<Seen> seen;
std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> reaction;  // may answer a message itself
constexpr LRESULT kPassOn = 0x7E57;                          // what a reaction answers to leave a message alone

LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(Seen{hwnd, message, wParam});
    if (reaction) {
        const LRESULT r = reaction(hwnd, message, wParam, lParam);
        if (r != kPassOn) return r;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::vector<UINT> messagesSeen() {
    std::vector<UINT> out;
    for (const Seen& s : seen) out.push_back(s.message);
    return out;
}

class User32Test : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::reset();
        ASSERT_TRUE(platform::test::useOffscreenDisplay(false));
        registerClass("recording", CS_DBLCLKS);
        registerClass("single clicks", 0);
        seen.clear();
        reaction = nullptr;
    }
    void TearDown() override {
        reaction = nullptr;
        platform::test::reset();
    }
    static void registerClass(const char* name, UINT style) {
        WNDCLASSEXA c{};
        c.cbSize = sizeof c;
        c.style = style;
        c.lpfnWndProc = recordingProc;
        c.lpszClassName = name;
        RegisterClassExA(&c);
    }
    static HWND make(DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, const char* cls = "recording",
                     int width = 100, int height = 80) {
        return CreateWindowExA(0, cls, "title", style, CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr,
                               nullptr, nullptr, nullptr);
    }
    // Takes every message waiting, dispatching it; the messages taken.
    static std::vector<UINT> drain() {
        std::vector<UINT> out;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            out.push_back(msg.message);
            if (msg.message != WM_QUIT) DispatchMessageA(&msg);
        }
        return out;
    }
};

TEST_F(User32Test, CreationAndDestructionSendTheirMessagesInOrder) {
    const HWND hwnd = make();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE}));
    seen.clear();
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    // A destroyed handle is a defined failure everywhere.
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetPropA(hwnd, "x"), nullptr);
    EXPECT_FALSE(SetPropA(hwnd, "x", hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    const MSG stale{hwnd, WM_USER, 0, 0, 0, {}};
    EXPECT_EQ(DispatchMessageA(&stale), 0);
}

TEST_F(User32Test, CreationRefusedAtNcCreateOrCreateDestroysTheWindow) {
    struct Case {
        UINT refuseAt;
        LRESULT answer;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {WM_NCCREATE, FALSE, {WM_GETMINMAXINFO, WM_NCCREATE, WM_NCDESTROY}},
        {WM_CREATE, -1, {WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        seen.clear();
        reaction = [&](HWND, UINT m, WPARAM, LPARAM) { return m == c.refuseAt ? c.answer : kPassOn; };
        EXPECT_EQ(make(), nullptr);
        EXPECT_EQ(messagesSeen(), c.expected);
        EXPECT_EQ(platform::test::liveWindows(), 0);
    }
}

TEST_F(User32Test, CreateStructCarriesParamsAndStyles) {
    CREATESTRUCTA copy{};
    reaction = [&](HWND, UINT m, WPARAM, LPARAM l) {
        if (m == WM_NCCREATE) copy = *reinterpret_cast<const CREATESTRUCTA*>(l);
        return kPassOn;
    };
    int object = 0;
    const HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "recording", "t", WS_POPUP | WS_BORDER, 1, 2, 30, 40,
                                      nullptr, nullptr, nullptr, &object);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(copy.lpCreateParams, &object);
    EXPECT_EQ(static_cast<DWORD>(copy.style), static_cast<DWORD>(WS_POPUP | WS_BORDER));
    EXPECT_EQ(copy.dwExStyle, static_cast<DWORD>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(copy.cx, 30);
    EXPECT_EQ(copy.cy, 40);
    EXPECT_STREQ(copy.lpszName, "t");
}

TEST_F(User32Test, UnsupportedRequestsAreRefused) {
    EXPECT_EQ(make(WS_CHILD), nullptr);
    EXPECT_EQ(make(WS_OVERLAPPED, "no such class"), nullptr);
    WNDCLASSEXA wrongSize{};
    wrongSize.cbSize = 48;  // the 32-bit size
    wrongSize.lpfnWndProc = recordingProc;
    wrongSize.lpszClassName = "wrong size";
    EXPECT_EQ(RegisterClassExA(&wrongSize), 0);
    WNDCLASSEXA again{};
    again.cbSize = sizeof again;
    again.lpfnWndProc = recordingProc;
    again.lpszClassName = "RECORDING";  // class names ignore case
    EXPECT_EQ(RegisterClassExA(&again), 0);
}

TEST_F(User32Test, SendMessageIsReentrant) {
    const HWND hwnd = make();
    reaction = [](HWND h, UINT m, WPARAM w, LPARAM) -> LRESULT {
        if (m == WM_USER && w < 3) return 10 + SendMessageA(h, WM_USER, w + 1, 0);
        if (m == WM_USER) return 100;
        return kPassOn;
    };
    seen.clear();
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 130);
    std::vector<WPARAM> depth;
    for (const Seen& s : seen) depth.push_back(s.wParam);
    EXPECT_EQ(depth, (std::vector<WPARAM>{0, 1, 2, 3}));
}

TEST_F(User32Test, RunawayRecursionIsCutOff) {
    const HWND hwnd = make();
    reaction = [](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
        if (m == WM_USER) return SendMessageA(h, WM_USER, 0, 0) + 1;
        return kPassOn;
    };
    const LRESULT depth = SendMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_GT(depth, 100);
    EXPECT_LT(depth, 1000);
}

TEST_F(User32Test, PropertiesAreNamedPointersPerWindow) {
    const HWND a = make(), b = make();
    int x = 0, y = 0;
    EXPECT_EQ(GetPropA(a, "Name"), nullptr);
    EXPECT_TRUE(SetPropA(a, "Name", &x));
    EXPECT_TRUE(SetPropA(b, "Name", &y));
    EXPECT_EQ(GetPropA(a, "NAME"), &x);
    EXPECT_EQ(GetPropA(b, "name"), &y);
    EXPECT_TRUE(SetPropA(a, "Name", &y));
    EXPECT_EQ(RemovePropA(a, "name"), &y);
    EXPECT_EQ(GetPropA(a, "Name"), nullptr);
    EXPECT_EQ(RemovePropA(a, "Name"), nullptr);
    EXPECT_EQ(GetPropA(b, "Name"), &y);
}

TEST_F(User32Test, TheSystemMenuIsTheWindowsOwnCopy) {
    const std::vector<UINT> standard{SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
    const HWND a = make(), b = make();
    const HMENU menu = GetSystemMenu(a, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(platform::test::menuCommands(menu), standard);
    EXPECT_TRUE(RemoveMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND));
    EXPECT_FALSE(RemoveMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND)) << "already gone";
    EXPECT_TRUE(RemoveMenu(menu, 0, MF_BYPOSITION));
    EXPECT_EQ(platform::test::menuCommands(menu), (std::vector<UINT>{SC_MOVE, SC_SIZE, SC_MINIMIZE, 0, SC_CLOSE}));
    EXPECT_EQ(platform::test::menuCommands(GetSystemMenu(b, FALSE)), standard);
    EXPECT_EQ(GetSystemMenu(a, TRUE), nullptr);
    EXPECT_EQ(platform::test::menuCommands(menu), standard) << "reverted";
    EXPECT_EQ(GetSystemMenu(make(WS_OVERLAPPED | WS_CAPTION), FALSE), nullptr) << "no WS_SYSMENU, no menu";
}

TEST_F(User32Test, DefaultProcessingClosesKeepsIconsAndValidates) {
    const HWND hwnd = make();
    const HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "IDR_MAINFRAME"), nullptr);
    EXPECT_EQ(SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_SETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(icon));
    EXPECT_EQ(platform::test::windowState(hwnd).bigIcon, nullptr);

    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(platform::test::windowState(hwnd).invalid);
    SendMessageA(hwnd, WM_PAINT, 0, 0);
    EXPECT_FALSE(platform::test::windowState(hwnd).invalid);

    SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(platform::test::windowState(hwnd).minimized);
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(platform::test::windowState(hwnd).minimized);
    EXPECT_TRUE(platform::test::windowState(hwnd).invalid) << "restoring repaints";

    seen.clear();
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
}

LRESULT CALLBACK replacementProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) return 99;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(User32Test, OnlyTheWindowProcedureCanBeReplaced) {
    const HWND hwnd = make();
    EXPECT_EQ(SetWindowLongA(hwnd, GWL_WNDPROC, 1), 0) << "a procedure does not fit in 32 bits";
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, 0), 0) << "no null procedure";
    EXPECT_EQ(SetWindowLongPtrA(hwnd, -21 /* GWLP_USERDATA */, 5), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0) << "still the recording procedure";
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&replacementProc)),
              reinterpret_cast<LONG_PTR>(&recordingProc));
    seen.clear();
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 99);
    EXPECT_TRUE(seen.empty());
}

TEST_F(User32Test, HidingAWindowSendsShowWindowAndDropsWhatNeededPainting) {
    const HWND hwnd = make();
    seen.clear();
    EXPECT_FALSE(ShowWindow(hwnd, SW_HIDE)) << "was hidden";
    EXPECT_TRUE(seen.empty()) << "nothing to do";

    ShowWindow(hwnd, SW_MINIMIZE);
    ASSERT_TRUE(platform::test::windowState(hwnd).minimized);
    ShowWindow(hwnd, SW_RESTORE);
    ASSERT_TRUE(platform::test::windowState(hwnd).invalid);
    seen.clear();
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE)) << "was visible";
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_SHOWWINDOW));
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(FALSE));
    const auto state = platform::test::windowState(hwnd);
    EXPECT_FALSE(state.visible);
    EXPECT_FALSE(state.minimized);
    EXPECT_FALSE(state.invalid);
    EXPECT_EQ(state.style & WS_VISIBLE, 0u);
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "no WM_PAINT for a hidden window";

    // Shown again, it is painted in full.
    ShowWindow(hwnd, SW_SHOW);
    PAINTSTRUCT paint;
    BeginPaint(hwnd, &paint);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(paint.rcPaint.right, client.right);
    EXPECT_EQ(paint.rcPaint.bottom, client.bottom);
    EndPaint(hwnd, &paint);
}

TEST_F(User32Test, WhatNeedsPaintingIsTheSmallestRectangleAroundAllThatWasInvalidated) {
    struct Case {
        const char* what;
        std::vector<RECT> invalidated;
        RECT painted;  // empty: nothing to paint
    };
    const Case cases[] = {
        {"one rectangle", {{2, 3, 5, 7}}, {2, 3, 5, 7}},
        {"two apart", {{2, 3, 5, 7}, {10, 1, 12, 4}}, {2, 1, 12, 7}},
        {"one inside the other", {{1, 1, 20, 20}, {5, 5, 6, 6}}, {1, 1, 20, 20}},
        {"clipped to the client area", {{-5, -5, 3, 3}, {35, 25, 50, 50}}, {0, 0, 40, 30}},
        {"empty and outside ones add nothing", {{4, 4, 4, 9}, {50, 50, 60, 60}, {1, 2, 3, 4}}, {1, 2, 3, 4}},
        {"nothing but empty ones", {{7, 7, 7, 7}, {9, 1, 8, 2}}, {0, 0, 0, 0}},
    };
    const HWND hwnd = make(WS_POPUP, "recording", 40, 30);
    ShowWindow(hwnd, SW_SHOW);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PAINTSTRUCT paint;
        BeginPaint(hwnd, &paint);  // all valid to begin with
        EndPaint(hwnd, &paint);
        for (const RECT& r : c.invalidated) InvalidateRect(hwnd, &r, FALSE);
        const bool anything = c.painted.right > c.painted.left;
        MSG msg{};
        EXPECT_EQ(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE) != FALSE, anything);
        BeginPaint(hwnd, &paint);
        EXPECT_EQ(paint.rcPaint.left, c.painted.left);
        EXPECT_EQ(paint.rcPaint.top, c.painted.top);
        EXPECT_EQ(paint.rcPaint.right, c.painted.right);
        EXPECT_EQ(paint.rcPaint.bottom, c.painted.bottom);
        EndPaint(hwnd, &paint);
    }
}

TEST_F(User32Test, TheQueueGivesPostedThenQuitThenInputThenPaint) {
    const HWND hwnd = make();
    ShowWindow(hwnd, SW_SHOW);  // invalid from now on
    platform::test::injectButton(hwnd, 1, true, 1, 1, 10);
    PostQuitMessage(5);
    PostMessageA(hwnd, WM_USER, 0, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER)) << "PM_NOREMOVE leaves it";
    EXPECT_EQ(drain(), (std::vector<UINT>{WM_USER, WM_QUIT, WM_LBUTTONDOWN, WM_PAINT}));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "painted, so nothing is left";
}

TEST_F(User32Test, PaintIsOnlyForShownUnminimisedInvalidWindows) {
    const HWND hwnd = make();
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "hidden";
    InvalidateRect(hwnd, nullptr, FALSE);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "hidden windows keep no update region";
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "minimised";
    platform::test::injectMinimizedByUser(hwnd, false);
    EXPECT_EQ(drain(), std::vector<UINT>{WM_PAINT});
    seen.clear();
    UpdateWindow(hwnd);
    EXPECT_TRUE(seen.empty()) << "nothing to paint";
    platform::test::injectExpose(hwnd);
    UpdateWindow(hwnd);
    EXPECT_EQ(messagesSeen(), std::vector<UINT>{WM_PAINT}) << "sent at once, not queued";
}

TEST_F(User32Test, DoubleClicksNeedTheClassStyleTimeAndPlace) {
    struct Case {
        const char* what;
        const char* cls;
        int firstButton, secondButton;
        DWORD gap;
        int dx, dy;
        UINT second;
    };
    const Case cases[] = {
        {"quick, same place", "recording", 1, 1, 100, 0, 0, WM_LBUTTONDBLCLK},
        {"right button", "recording", 3, 3, 100, 0, 0, WM_RBUTTONDBLCLK},
        {"middle button", "recording", 2, 2, 100, 0, 0, WM_MBUTTONDBLCLK},
        {"at the time limit", "recording", 1, 1, 500, 0, 0, WM_LBUTTONDBLCLK},
        {"too slow", "recording", 1, 1, 501, 0, 0, WM_LBUTTONDOWN},
        {"moved within the rectangle", "recording", 1, 1, 100, 2, -2, WM_LBUTTONDBLCLK},
        {"moved too far", "recording", 1, 1, 100, 3, 0, WM_LBUTTONDOWN},
        {"another button", "recording", 1, 3, 100, 0, 0, WM_RBUTTONDOWN},
        {"class without CS_DBLCLKS", "single clicks", 1, 1, 100, 0, 0, WM_LBUTTONDOWN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HWND hwnd = make(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, c.cls);
        platform::test::injectButton(hwnd, c.firstButton, true, 10, 10, 1000);
        platform::test::injectButton(hwnd, c.firstButton, false, 10, 10, 1010);
        platform::test::injectButton(hwnd, c.secondButton, true, 10 + c.dx, 10 + c.dy, 1000 + c.gap);
        const std::vector<UINT> taken = drain();
        ASSERT_EQ(taken.size(), 3u);
        EXPECT_EQ(taken[2], c.second);
        DestroyWindow(hwnd);
    }
    // A third quick press after a double-click starts again.
    const HWND hwnd = make();
    for (DWORD t : {2000u, 2100u, 2200u}) platform::test::injectButton(hwnd, 1, true, 5, 5, t);
    EXPECT_EQ(drain(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN}));
}

TEST_F(User32Test, ADisabledWindowTakesNoInput) {
    const HWND hwnd = make();
    EXPECT_FALSE(EnableWindow(hwnd, FALSE)) << "was enabled";
    platform::test::injectButton(hwnd, 1, true, 1, 1, 1);
    platform::test::injectCloseRequest(hwnd);
    EXPECT_TRUE(drain().empty());
    EXPECT_TRUE(EnableWindow(hwnd, TRUE)) << "was disabled";
    platform::test::injectCloseRequest(hwnd);
    EXPECT_EQ(drain(), std::vector<UINT>{WM_SYSCOMMAND});
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(User32Test, AdjustWindowRectExAndCreationAgreeOnTheClientArea) {
    const DWORD styles[] = {0x00CA0000,
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                            WS_POPUP, WS_POPUP | WS_BORDER, WS_POPUP | WS_DLGFRAME};
    const DWORD exStyles[] = {0, WS_EX_DLGMODALFRAME};
    const POINT sizes[] = {{1, 1}, {320, 240}, {97, 61}};
    for (DWORD style : styles)
        for (DWORD exStyle : exStyles)
            for (const POINT& size : sizes) {
                RECT rect{0, 0, size.x, size.y};
                ASSERT_TRUE(AdjustWindowRectEx(&rect, style, FALSE, exStyle));
                const HWND hwnd = CreateWindowExA(exStyle, "recording", "", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                                  nullptr, nullptr);
                RECT client{};
                ASSERT_TRUE(GetClientRect(hwnd, &client));
                EXPECT_EQ(client.right, size.x) << std::hex << style << " " << exStyle;
                EXPECT_EQ(client.bottom, size.y) << std::hex << style << " " << exStyle;
                DestroyWindow(hwnd);
            }
    RECT viewer{0, 0, 10, 10};
    AdjustWindowRectEx(&viewer, 0x00CA0000, FALSE, 0);
    EXPECT_LT(viewer.top, viewer.left) << "the caption is above the client area";
}

TEST_F(User32Test, StretchDIBitsPaintsTheWindowTopRowFirst) {
    const HWND hwnd = make(WS_POPUP, "recording", 2, 2);
    ShowWindow(hwnd, SW_SHOW);
    // A bottom-up 2 x 2 DIB: buffer row 0 is the picture's bottom row.
    const std::uint8_t bits[] = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0,   // bottom: red, green
                                 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0};  // top: blue, white
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(hwnd, &paint);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(paint.rcPaint.right, 2);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
    EndPaint(hwnd, &paint);
    EXPECT_EQ(platform::test::clientPixels(hwnd),
              (std::vector<std::uint32_t>{0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00}));
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 2, 2, 0, 0, 2, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 0)
        << "the paint device context is gone after EndPaint";
}

TEST_F(User32Test, WithoutADisplayTheWindowIsClosedAfterItsFirstPaint) {
    platform::test::reset();
    ASSERT_TRUE(platform::test::useOffscreenDisplay(true));
    const HWND hwnd = make();
    ShowWindow(hwnd, SW_SHOW);
    seen.clear();
    MSG msg;
    for (int turns = 0; IsWindow(hwnd) && turns < 100; ++turns) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        else WaitMessage();
    }
    EXPECT_FALSE(IsWindow(hwnd));
    const std::vector<UINT> got = messagesSeen();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got.front(), static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(std::count(got.begin(), got.end(), static_cast<UINT>(WM_SYSCOMMAND)), 1);
}

TEST_F(User32Test, ALostDisplayDestroysItsWindows) {
    const HWND a = make(), b = make();
    seen.clear();
    platform::test::injectDisplayLost();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY, WM_DESTROY, WM_NCDESTROY}));
}

TEST(TitleText, CodePage932BecomesUtf8AndCompoundText) {
    struct Case {
        const char* what;
        std::string cp932, utf8, compound;
    };
    const Case cases[] = {
        {"the viewer's title", testsupport::kViewerTitleCp932, testsupport::kViewerTitleUtf8,
         testsupport::kViewerTitleCompoundText},
        {"ASCII", "Test 1", "Test 1", "Test 1"},
        {"half-width katakana after kanji", "\x8C\xB8 \xB1", "\xE6\xB8\x9B \xEF\xBD\xB1", "\x1B$)B\xB8\xBA \x1B)I\xB1"},
        {"a lead byte at the end", "A\x8C", "A?", "A?"},
        {"a vendor character (circled 1)", "\x87\x40", "\xE2\x91\xA0", "?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::cp932ToUtf8(c.cp932), c.utf8) << c.what;
        EXPECT_EQ(platform::cp932ToCompoundText(c.cp932), c.compound) << c.what;
    }
}

// The tables behind the title's conversions when the C library has no
// code page 932 converter: what they know comes out as the converter gives
// it, and the rest as '?'.
TEST(TitleText, TheTablesForALibraryWithoutCodePage932) {
    const std::string titleCp932 = testsupport::kViewerTitleCp932;
    const std::string titleUtf8 = testsupport::kViewerTitleUtf8;
    struct Case {
        const char* what;
        std::string cp932, utf8;
    };
    const Case toUtf8[] = {
        {"the viewer's title", titleCp932, titleUtf8},
        {"ASCII around it", "[" + titleCp932 + "] 1", "[" + titleUtf8 + "] 1"},
        {"half-width katakana", "\xA1\xB1\xDF", "\xEF\xBD\xA1\xEF\xBD\xB1\xEF\xBE\x9F"},
        {"a kanji it does not know", "\x88\x9F" "A", "?A"},
        {"a lead byte at the end", "A\x8C", "A?"},
        {"a byte that starts nothing", "\x80\xFD" "B", "??B"},
    };
    for (const Case& c : toUtf8) EXPECT_EQ(platform::cp932ToUtf8ByTable(c.cp932), c.utf8) << c.what;
    const Case toCp932[] = {
        {"the viewer's title", titleCp932, titleUtf8},
        {"ASCII around it", "[" + titleCp932 + "] 1", "[" + titleUtf8 + "] 1"},
        {"a kanji it does not know", "?A", "\xE4\xBA\x9C" "A"},
        {"a character cut short", "?A", "\xE6\xB8" "A"},
        {"a four-byte character", "?", "\xF0\x9F\x98\x80"},
    };
    for (const Case& c : toCp932) EXPECT_EQ(platform::utf8ToCp932ByTable(c.utf8), c.cp932) << c.what;
}

}  // namespace
