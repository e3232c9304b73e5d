// The Windows viewer under Wine with a picture larger than the screen: its
// window takes the work area that Windows reports, from its top-left corner,
// and its client area shows the reduced picture's top-left corner; End moves
// to the bottom-right corner; the original shows while Space is held; +
// zooms about the pointer; Esc ends the program with exit code 0 and the
// statistics alone on standard output. Keys and the pointer come from
// xdotool, as a user's would; every expected screen comes from the Linux
// build's pass and the view's own arithmetic.
#include "viewed_picture.h"
#include "wine_support.h"
#include "x_client.h"

#include <gtest/gtest.h>

#include <thread>

using namespace winetest;
using Clock = std::chrono::steady_clock;

namespace {

TEST_F(WineTest, TheViewerMovesZoomsAndComparesALargePictureAndClosesOnEscape) {
    XClient x;
    ASSERT_TRUE(x.ok()) << "no X display";
    const Locale& locale = kLocales[0];
    const Probe p = probe(dir, locale);
    const Size work{p.workRight - p.workLeft, p.workBottom - p.workTop};
    const Size client{work.width - (p.right - p.left), work.height - (p.bottom - p.top)};
    ASSERT_GT(client.width, 100) << "work area " << work.width << "x" << work.height;
    const Picture picture = testCard(client.width + 150, client.height + 110, 13);
    writeFile((dir / "in.bmp").string(), bmp24(picture));
    const Expected expected = expectedFor(dir / "in.bmp");

    Child viewer(inLocale(underWine("app/reduceview.exe", {"in.bmp"}), dir, locale));
    const auto deadline = Clock::now() + std::chrono::seconds(40);
    std::optional<XWindowId> window;
    while (!(window = x.viewableWindowOf(viewer.pid())) && Clock::now() < deadline)
        ASSERT_FALSE(viewer.wait(std::chrono::milliseconds(50)).has_value()) << "ended early: " << viewer.err();
    ASSERT_TRUE(window) << "no window appeared; stderr: " << viewer.err();
    const auto geometry = x.geometry(*window);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, p.workLeft);
    EXPECT_EQ(geometry->y, p.workTop);
    EXPECT_EQ(geometry->width, work.width) << "the whole work area, frame included";
    EXPECT_EQ(geometry->height, work.height);

    // Waits until the client area, inside Wine's frame, shows `shown`.
    const auto expectShown = [&](const Picture& shown, const char* what) {
        std::string difference = "nothing read";
        while (Clock::now() < deadline) {
            if (const std::optional<Picture> whole = x.pixels(*window))
                difference = pictureDifference(crop(*whole, -p.left, -p.top, client.width, client.height), shown);
            if (difference.empty()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(difference, "") << what;
    };
    const auto xdotool = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        const Exit done = runToEnd(args, dir, locale);
        EXPECT_EQ(done.exitCode, 0) << done.err;
    };

    ViewState view = initialView(Size{picture.width, picture.height}, client);
    expectShown(viewedAt(expected.reduced, view), "the first paint: the top-left corner");
    const Point pointer{200, 150};
    xdotool({"mousemove", std::to_string(geometry->x - p.left + pointer.x),
             std::to_string(geometry->y - p.top + pointer.y)});

    xdotool({"key", "End"});
    view = applied(view, Action::End, pointer);
    expectShown(viewedAt(expected.reduced, view), "End");
    xdotool({"keydown", "space"});
    expectShown(viewedAt(picture, view), "the original while Space is held");
    xdotool({"keyup", "space"});
    expectShown(viewedAt(expected.reduced, view), "the reduced picture again");
    xdotool({"key", "plus", "plus"});
    view = applied(applied(view, Action::ZoomIn, pointer), Action::ZoomIn, pointer);
    ASSERT_EQ(view.zoom, 3);
    expectShown(viewedAt(expected.reduced, view), "zoom 3 about the pointer");

    xdotool({"key", "Escape"});
    const std::optional<Exit> closed = viewer.wait(std::chrono::seconds(15));
    ASSERT_TRUE(closed.has_value()) << "still running after Escape";
    EXPECT_EQ(closed->exitCode, 0) << closed->err;
    bool crlf = false;
    EXPECT_EQ(textDifference(withoutCarriageReturns(viewer.out(), crlf), expected.report), "");
}

}  // namespace
