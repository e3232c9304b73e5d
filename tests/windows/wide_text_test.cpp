// The wide-text calls that the viewer's title goes through, held to what
// Windows does. Built on both sides: under Wine these are the real KERNEL32
// and USER32, on Linux our layer, so the layer is checked against Windows.
#include "viewer_title.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <vector>

namespace {

using testsupport::kViewerTitleCp932;
using testsupport::kViewerTitleUtf8;
const std::vector<unsigned> kTitleUtf16(std::begin(testsupport::kViewerTitleUtf16),
                                        std::end(testsupport::kViewerTitleUtf16));

std::vector<unsigned> units(const WCHAR* text, int count) {
    std::vector<unsigned> out;
    for (int i = 0; i < count; ++i) out.push_back(static_cast<unsigned>(text[i]));
    return out;
}

struct Conversion {
    const char* name;
    UINT codePage;
    const char* text;
    int length;
    std::vector<unsigned> expected;  // with the terminating zero when length is -1
};

TEST(MultiByteToWideChar, ConvertsTheTitleAndCountsLikeWindows) {
    std::vector<unsigned> withZero = kTitleUtf16;
    withZero.push_back(0);
    const Conversion cases[] = {
        {"932 through its zero", 932, kViewerTitleCp932, -1, withZero},
        {"932 without its zero", 932, kViewerTitleCp932, 10, kTitleUtf16},
        {"932 cut after a whole character", 932, kViewerTitleCp932, 4, {0x6E1B, 0x8272}},
        {"932 ASCII", 932, "ab", -1, {'a', 'b', 0}},
        {"UTF-8", CP_UTF8, kViewerTitleUtf8, -1, withZero},
        {"empty", 932, "", -1, {0}},
    };
    for (const Conversion& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.text, c.length, nullptr, 0),
                  static_cast<int>(c.expected.size()))
            << "the size asked for";
        WCHAR wide[16] = {};
        const int written = MultiByteToWideChar(c.codePage, 0, c.text, c.length, wide, 16);
        ASSERT_EQ(written, static_cast<int>(c.expected.size()));
        EXPECT_EQ(units(wide, written), c.expected);
    }
}

TEST(MultiByteToWideChar, RefusesABufferTooSmallAndBadArguments) {
    WCHAR wide[5] = {};
    EXPECT_EQ(MultiByteToWideChar(932, 0, kViewerTitleCp932, -1, wide, 5), 0) << "no room for the zero";
    EXPECT_EQ(MultiByteToWideChar(932, 0, nullptr, -1, wide, 5), 0);
    EXPECT_EQ(MultiByteToWideChar(932, 0, kViewerTitleCp932, -2, wide, 5), 0);
}

// A window with a narrow procedure, titled with the code page 932 bytes, then
// given the wide title through the wide default procedure, as the viewer does.
LRESULT CALLBACK narrowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(DefWindowProcW, StoresAndReturnsTheWideTitleOfANarrowWindow) {
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = narrowProc;
    c.lpszClassName = "wide title test";
    RegisterClassExA(&c);
    const HWND hwnd = CreateWindowExA(0, "wide title test", kViewerTitleCp932, WS_OVERLAPPED | WS_CAPTION, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 200, 100, nullptr, nullptr, nullptr, nullptr);
    // Wine makes no window without a display; the Windows test phase runs
    // this program once more on its X server, with CR_EXPECT_WINDOWS set.
    if (!hwnd && std::getenv("CR_EXPECT_WINDOWS")) FAIL() << "no window was made";
    if (!hwnd) GTEST_SKIP() << "no window can be made here (no display)";

    WCHAR wide[16] = {};
    ASSERT_EQ(MultiByteToWideChar(932, 0, kViewerTitleCp932, -1, wide, 16), 6);
    EXPECT_NE(DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide)), 0);

    WCHAR back[16] = {};
    const LRESULT length = DefWindowProcW(hwnd, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(back));
    ASSERT_EQ(length, 5);
    EXPECT_EQ(units(back, 5), kTitleUtf16);
    EXPECT_EQ(back[5], 0u);

    WCHAR shortBuffer[3] = {1, 1, 1};
    EXPECT_EQ(DefWindowProcW(hwnd, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(shortBuffer)), 2) << "cut to fit";
    EXPECT_EQ(units(shortBuffer, 3), (std::vector<unsigned>{0x6E1B, 0x8272, 0}));
    DestroyWindow(hwnd);
}

}  // namespace
