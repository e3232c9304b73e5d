// The viewer on a real X server (an Xvfb of the test's own, no window
// manager): its window has the title and the image's size, cannot be
// resized, shows the reduced image pixel for pixel (compared with what the
// batch converter writes for the same file), repaints when uncovered, and a
// close request ends the program with exit code 0; a file that cannot be
// loaded makes no window at all.
#include "e2e_support.h"
#include "x_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

using testsupport::Exit;
using testsupport::kViewerTitleUtf8;
using testsupport::run;
using namespace std::chrono_literals;

class ViewerOnX : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = std::make_unique<testsupport::XServer>(); }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override {
        ASSERT_TRUE(server && server->started()) << (server ? server->error() : "");
        env = {{"DISPLAY", server->display()}};
    }

    std::string write(const std::string& name, const testsupport::Bytes& bytes) {
        const std::string path = dir.file(name);
        testsupport::writeFile(path, bytes);
        return path;
    }
    Exit tool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{e2e::windowTool};
        argv.insert(argv.end(), args.begin(), args.end());
        return run(argv, env);
    }

    // Reports every top-level window made on the display from now until
    // endWatch().
    void startWatch() {
        watch = std::make_unique<testsupport::Child>(std::vector<std::string>{e2e::windowTool, "watch"}, env);
        for (int i = 0; i < 1000 && watch->out().empty() && !watch->wait(10ms); ++i) {
        }
        ASSERT_EQ(watch->out(), "watching\n") << watch->err();
    }
    // The windows made since startWatch(): a "created ID" line for each.
    std::string endWatch() {
        EXPECT_EQ(tool({"end-watch"}).exitCode, 0);
        const Exit watched = watch->finish(10s);
        const std::string& out = watched.out;
        const std::string first = "watching\n", last = "end\n";
        const bool whole = watched.exitCode == 0 && out.size() >= first.size() + last.size() &&
                           out.compare(0, first.size(), first) == 0 &&
                           out.compare(out.size() - last.size(), last.size(), last) == 0;
        EXPECT_TRUE(whole) << out << watched.err;
        return whole ? out.substr(first.size(), out.size() - first.size() - last.size()) : out;
    }

    static std::unique_ptr<testsupport::XServer> server;
    testsupport::Environment env;
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::Child> watch;
};
std::unique_ptr<testsupport::XServer> ViewerOnX::server;

// Bytes as x11_window_tool's "info" lists them: " 1b 24 29 ...".
std::string listed(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", c);
        out += hex;
    }
    return out;
}

struct Shown {
    const char* what;
    testsupport::Bytes file;
    int width, height;
};

TEST_F(ViewerOnX, ShowsTheReducedImageAndClosesLikeAWindowManagerAsks) {
    const Shown cases[] = {
        {"24-bit photo-like, odd width", testsupport::bmp24(testsupport::testCard(97, 61, 11)), 97, 61},
        {"8-bit indexed", e2e::indexedFile(40, 30, 256, 9), 40, 30},
        {"24-bit top-down noise", testsupport::bmp24(testsupport::noise(33, 17, 4), 2835, true), 33, 17},
    };
    for (const Shown& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string input = write("in.bmp", c.file);
        const std::string reduced = dir.file("reduced.bmp");
        const Exit batch = run({e2e::reducebmp, input, reduced}, {{"DISPLAY", std::nullopt}});
        ASSERT_EQ(batch.exitCode, 0) << batch.err;

        testsupport::Child viewer({e2e::reduceview, input}, env);
        const Exit compared = tool({"compare", kViewerTitleUtf8, reduced, "10000"});
        EXPECT_EQ(compared.exitCode, 0) << compared.out << compared.err;
        EXPECT_EQ(compared.out, "match " + std::to_string(c.width) + "x" + std::to_string(c.height) + "\n");

        const Exit info = tool({"info", kViewerTitleUtf8});
        ASSERT_EQ(info.exitCode, 0);
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        EXPECT_NE(info.out.find("size " + size + "\n"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find(std::string("_NET_WM_NAME ") + kViewerTitleUtf8 + "\n"), std::string::npos) << info.out;
        // WM_NAME carries the same text as JIS X 0208 in COMPOUND_TEXT.
        EXPECT_NE(info.out.find("WM_NAME type COMPOUND_TEXT bytes" + listed(testsupport::kViewerTitleCompoundText) + "\n"),
                  std::string::npos)
            << info.out;
        // Not resizable, not maximisable; minimisable and closable.
        EXPECT_NE(info.out.find("min size " + size + "\nmax size " + size + "\n"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("motif functions 0x2c decorations 0x3a\n"), std::string::npos) << info.out;

        EXPECT_EQ(tool({"close", kViewerTitleUtf8}).exitCode, 0);
        const Exit r = viewer.finish(10s);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, batch.out);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(ViewerOnX, RepaintsWhenUncovered) {
    const std::string input = write("in.bmp", testsupport::bmp24(testsupport::testCard(64, 48, 2)));
    const std::string reduced = dir.file("reduced.bmp");
    ASSERT_EQ(run({e2e::reducebmp, input, reduced}, {{"DISPLAY", std::nullopt}}).exitCode, 0);
    startWatch();
    testsupport::Child viewer({e2e::reduceview, input}, env);
    ASSERT_EQ(tool({"compare", kViewerTitleUtf8, reduced, "10000"}).exitCode, 0);
    // A black window laid over it and taken away again leaves the area to be repainted.
    ASSERT_EQ(tool({"cover", kViewerTitleUtf8}).exitCode, 0);
    const Exit again = tool({"compare", kViewerTitleUtf8, reduced, "10000"});
    EXPECT_EQ(again.exitCode, 0) << again.out;
    EXPECT_EQ(tool({"close", kViewerTitleUtf8}).exitCode, 0);
    EXPECT_EQ(viewer.finish(10s).exitCode, 0);
    // The watch sees the windows a viewer makes, which
    // AFileThatCannotBeLoadedMakesNoWindow relies on.
    EXPECT_NE(endWatch(), "");
}

TEST_F(ViewerOnX, AFileThatCannotBeLoadedMakesNoWindow) {
    const std::string input = write("sixteen.bmp", e2e::sixteenBitFile());
    startWatch();
    const Exit r = run({e2e::reduceview, input}, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Cannot load input file : " + input + "\n");
    EXPECT_EQ(r.err, "reduceview: " + input + ": 16 bits per pixel is not supported (1, 4, 8 or 24 only)\n");
    EXPECT_EQ(endWatch(), "") << "windows were made";
}

}  // namespace
