// The viewer on a real X server (an Xvfb of the test's own, no window
// manager): its window has the title and the image's size, cannot be
// resized, shows the reduced image pixel for pixel (compared with what the
// batch converter writes for the same file), repaints when uncovered, and a
// close request ends the program with exit code 0.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using e2e::Finished;

class ViewerOnX : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = std::make_unique<e2e::XServer>(); }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override {
        ASSERT_TRUE(server && server->started()) << (server ? server->error() : "");
        env = {{"DISPLAY", server->display()}};
    }

    std::string write(const std::string& name, const testsupport::Bytes& bytes) {
        const std::string path = dir.path(name);
        testsupport::writeFile(path, bytes);
        return path;
    }
    Finished tool(const std::vector<std::string>& args) {
        std::vector<std::string> argv{e2e::windowTool};
        argv.insert(argv.end(), args.begin(), args.end());
        return e2e::run(argv, env);
    }

    static std::unique_ptr<e2e::XServer> server;
    std::map<std::string, std::optional<std::string>> env;
    e2e::TempDir dir;
};
std::unique_ptr<e2e::XServer> ViewerOnX::server;

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
        const std::string reduced = dir.path("reduced.bmp");
        const Finished batch = e2e::run({e2e::reducebmp, input, reduced}, {{"DISPLAY", std::nullopt}});
        ASSERT_EQ(batch.exitCode, 0) << batch.err;

        e2e::Child viewer({e2e::reduceview, input}, env);
        const Finished compared = tool({"compare", e2e::viewerTitle, reduced, "10000"});
        EXPECT_EQ(compared.exitCode, 0) << compared.out << compared.err;
        EXPECT_EQ(compared.out, "match " + std::to_string(c.width) + "x" + std::to_string(c.height) + "\n");

        const Finished info = tool({"info", e2e::viewerTitle});
        ASSERT_EQ(info.exitCode, 0);
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        EXPECT_NE(info.out.find("size " + size + "\n"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("_NET_WM_NAME " + e2e::viewerTitle + "\n"), std::string::npos) << info.out;
        // WM_NAME carries the same text as JIS X 0208 in COMPOUND_TEXT.
        EXPECT_NE(info.out.find("WM_NAME type COMPOUND_TEXT bytes 1b 24 29 42 b8 ba bf a7 a5 c6 a5 b9 a5 c8\n"),
                  std::string::npos)
            << info.out;
        // Not resizable, not maximisable; minimisable and closable.
        EXPECT_NE(info.out.find("min size " + size + "\nmax size " + size + "\n"), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("motif functions 0x2c decorations 0x3a\n"), std::string::npos) << info.out;

        EXPECT_EQ(tool({"close", e2e::viewerTitle}).exitCode, 0);
        const Finished r = viewer.finish(10000);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, batch.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(tool({"find", e2e::viewerTitle}).exitCode, 1) << "the window is gone";
    }
}

TEST_F(ViewerOnX, RepaintsWhenUncovered) {
    const std::string input = write("in.bmp", testsupport::bmp24(testsupport::testCard(64, 48, 2)));
    const std::string reduced = dir.path("reduced.bmp");
    ASSERT_EQ(e2e::run({e2e::reducebmp, input, reduced}, {{"DISPLAY", std::nullopt}}).exitCode, 0);
    e2e::Child viewer({e2e::reduceview, input}, env);
    ASSERT_EQ(tool({"compare", e2e::viewerTitle, reduced, "10000"}).exitCode, 0);
    // A black window laid over it and taken away again leaves the area to be repainted.
    ASSERT_EQ(tool({"cover", e2e::viewerTitle}).exitCode, 0);
    const Finished again = tool({"compare", e2e::viewerTitle, reduced, "10000"});
    EXPECT_EQ(again.exitCode, 0) << again.out;
    EXPECT_EQ(tool({"close", e2e::viewerTitle}).exitCode, 0);
    EXPECT_EQ(viewer.finish(10000).exitCode, 0);
}

TEST_F(ViewerOnX, AFileThatCannotBeLoadedMakesNoWindow) {
    const std::string input = write("sixteen.bmp", e2e::sixteenBitFile());
    const Finished r = e2e::run({e2e::reduceview, input}, env);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Cannot load input file : " + input + "\n");
    EXPECT_EQ(r.err, "reduceview: " + input + ": 16 bits per pixel is not supported (1, 4, 8 or 24 only)\n");
    EXPECT_EQ(tool({"find", e2e::viewerTitle}).exitCode, 1);
}

}  // namespace
