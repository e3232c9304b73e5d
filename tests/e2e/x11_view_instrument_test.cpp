// The viewer as an instrument on a real X server (an Xvfb of 640 x 480 of
// the test's own, no window manager), driven as a user would with xdotool:
// a picture larger than the screen gets the largest window that fits and
// shows its top-left corner; the arrow keys, End, Home, the wheel and a drag
// move it; Space shows the original while held; D shows the difference;
// + zooms about the pointer, so that every picture pixel is a 4 x 4 block;
// F fits; P shows the palette; Esc ends the program with exit code 0. Every
// expected screen comes from the reference pass and the view's own
// arithmetic (view_state.h, view_compose.h), pixel for pixel. On a display
// that offers no visual it can draw on, the viewer says so and ends by
// itself with its statistics.
#include "e2e_support.h"
#include "palette_grid.h"
#include "reference_pass.h"
#include "viewed_picture.h"
#include "view_compose.h"
#include "x_server.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using testsupport::Bgr;
using testsupport::Exit;
using testsupport::kViewerTitleUtf8;
using testsupport::OwnedImage;
using testsupport::Picture;
using testsupport::run;
using namespace std::chrono_literals;

// 640 x 480 less the frame of the viewer's style (3 pixels a side, a
// caption of 23): the X window is the client area alone.
const Size kClient{634, 451};

// What the reference pass makes of the picture, with the counts it prints.
struct Reference {
    Picture reduced;
    Palette palette;
    EntryCounts counts{};
    std::string report;
};

Reference referenceOf(const Picture& picture) {
    Reference r;
    OwnedImage copy(picture);
    StringSink out;
    r.palette = reference::reduceImage(copy.view(), out);
    r.reduced = copy.picture();
    r.report = out.text();
    std::istringstream lines(r.report);
    std::string line;
    for (int k = 0; std::getline(lines, line);)
        if (line.rfind("pal[", 0) == 0) r.counts[static_cast<std::size_t>(k++)] = std::stoll(line.substr(line.find("count:") + 6));
    return r;
}

class InstrumentOnX : public ::testing::Test {
protected:
    Exit tool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{e2e::windowTool};
        argv.insert(argv.end(), args.begin(), args.end());
        return run(argv, env);
    }
    void xdotool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        const Exit done = run(argv, env);
        ASSERT_EQ(done.exitCode, 0) << "xdotool (package xdotool): " << done.err;
    }
    // Waits until the window shows exactly `expected`.
    void expectShown(const Picture& expected, const std::string& what) {
        const std::string path = dir.file("expected.bmp");
        testsupport::writeFile(path, testsupport::bmp24(expected));
        const Exit compared = tool({"compare", kViewerTitleUtf8, path, "10000"});
        EXPECT_EQ(compared.exitCode, 0) << what << ": " << compared.out << compared.err;
    }
    testsupport::Environment env;
    testsupport::TempDir dir;
};

Picture composedBy(ViewComposer& composer, const ViewState& view) {
    OwnedImage target(Picture(kClient.width, kClient.height));
    composer.compose(view, target.view());
    return target.picture();
}

TEST_F(InstrumentOnX, ALargePictureIsMovedZoomedComparedAndClosedByKeysAndMouse) {
    testsupport::XServer server("640x480x24");
    ASSERT_TRUE(server.started()) << server.error();
    env = {{"DISPLAY", server.display()}};
    const Picture picture = testsupport::testCard(800, 600, 21);
    const std::string input = dir.file("in.bmp");
    testsupport::writeFile(input, testsupport::bmp24(picture));
    const Reference ref = referenceOf(picture);

    testsupport::Child viewer({e2e::reduceview, input}, env);
    ViewState view = initialView(Size{800, 600}, kClient);
    expectShown(testsupport::viewedAt(ref.reduced, view), "the first paint");
    const Exit info = tool({"info", kViewerTitleUtf8});
    EXPECT_NE(info.out.find("\nsize 634x451\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\nmin size 634x451\nmax size 634x451\n"), std::string::npos) << info.out;
    // The window is at the screen's top-left corner; keys go where the pointer is.
    const Point pointer{300, 200};
    xdotool({"mousemove", std::to_string(pointer.x), std::to_string(pointer.y)});

    const auto act = [&](Action action, const std::vector<std::string>& keys, const std::string& what) {
        xdotool(keys);
        view = applied(view, action, pointer, action == Action::WheelScrollVertical ? -kWheelDelta : 0);
        expectShown(testsupport::viewedAt(ref.reduced, view), what);
    };
    act(Action::End, {"key", "End"}, "End: the bottom-right corner");
    act(Action::Home, {"key", "Home"}, "Home");
    act(Action::ScrollRight, {"key", "Right"}, "Right");
    act(Action::ScrollDown, {"key", "Down"}, "Down");
    act(Action::WheelScrollVertical, {"click", "5"}, "the wheel towards the user");

    xdotool({"mousedown", "1", "mousemove", "250", "180", "mousemove", "240", "170", "mouseup", "1"});
    view = dragged(view, pointer, Point{240, 170});
    EXPECT_EQ(view.offsetX, 40 + 60);
    expectShown(testsupport::viewedAt(ref.reduced, view), "dragged by (-60, -30)");
    xdotool({"mousemove", std::to_string(pointer.x), std::to_string(pointer.y)});

    xdotool({"keydown", "space"});
    expectShown(testsupport::viewedAt(picture, view), "the original while Space is held");
    xdotool({"keyup", "space"});
    expectShown(testsupport::viewedAt(ref.reduced, view), "the reduced picture after Space");

    // The difference by its definition: the largest channel difference,
    // the largest in the picture white.
    int largest = 0;
    Picture difference(800, 600);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const Bgr a = picture.pixels[i], b = ref.reduced.pixels[i];
        const int d = std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
        difference.pixels[i] = Bgr{static_cast<std::uint8_t>(d), 0, 0};
        largest = std::max(largest, d);
    }
    for (Bgr& p : difference.pixels) {
        const auto grey = static_cast<std::uint8_t>((p.b * 255 + largest / 2) / largest);
        p = Bgr{grey, grey, grey};
    }
    xdotool({"key", "d"});
    expectShown(testsupport::viewedAt(difference, view), "D: the difference");
    xdotool({"key", "d"});

    xdotool({"key", "plus", "plus", "plus"});
    for (int i = 0; i < 3; ++i) view = applied(view, Action::ZoomIn, pointer);
    ASSERT_EQ(view.zoom, 4);
    expectShown(testsupport::viewedAt(ref.reduced, view), "zoom 4 about the pointer");

    OwnedImage reduced(ref.reduced), original(picture);
    ViewComposer composer(reduced.view(), original.view(), ref.palette, ref.counts);
    xdotool({"key", "f"});
    view = applied(view, Action::Fit, pointer);
    expectShown(composedBy(composer, view), "F: the averaged picture");
    xdotool({"key", "p"});
    view = applied(view, Action::TogglePalette, pointer);
    OwnedImage swatches(Picture(kClient.width, kClient.height));
    composePalette(swatches.view(), ref.palette, ref.counts);
    expectShown(swatches.picture(), "P: the palette");

    xdotool({"key", "Escape"});
    const Exit closed = viewer.finish(10s);
    EXPECT_EQ(closed.exitCode, 0) << closed.err;
    EXPECT_EQ(closed.out, ref.report);
    EXPECT_EQ(closed.err, "");
}

TEST_F(InstrumentOnX, ADisplayItCannotDrawOnIsSaidAndTheRunEndsByItself) {
    testsupport::XServer server("320x240x8");  // PseudoColor, and TrueColor only of 8 bits
    ASSERT_TRUE(server.started()) << server.error();
    const std::string input = dir.file("in.bmp");
    testsupport::writeFile(input, testsupport::bmp24(testsupport::testCard(64, 48, 3)));
    const Exit batch = run({e2e::reducebmp, input, dir.file("out.bmp")}, {{"DISPLAY", std::nullopt}});
    const Exit r = run({e2e::reduceview, input}, {{"DISPLAY", server.display()}}, 20s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, batch.out);
    EXPECT_EQ(r.err, "reduceview: no display available (display " + server.display() +
                         ": its screen shows 8-bit PseudoColor and has no TrueColor visual of 15 bits or more, so the "
                         "picture cannot be shown as it is); drawing off-screen and closing the window after its "
                         "first paint\n");
}

}  // namespace
