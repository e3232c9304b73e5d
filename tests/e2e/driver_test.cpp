// The viewer program without a display: exit codes and standard output,
// the reduction's lines exactly as the batch converter prints them, the one
// notice on standard error when a window had to be drawn off-screen, and the
// reason on standard error when a file cannot be loaded.
#include "e2e_support.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Exit;
using testsupport::run;

const testsupport::Environment noDisplay{{"DISPLAY", std::nullopt}};

class ViewerWithoutDisplay : public ::testing::Test {
protected:
    testsupport::TempDir dir;

    std::string write(const std::string& name, const testsupport::Bytes& bytes) {
        const std::string path = dir.file(name);
        testsupport::writeFile(path, bytes);
        return path;
    }
    // The statistics that the batch converter prints for the same file.
    std::string expectedLines(const std::string& input) {
        const Exit batch = run({e2e::reducebmp, input, dir.file("reduced.bmp")}, noDisplay);
        EXPECT_EQ(batch.exitCode, 0) << batch.err;
        return batch.out;
    }
};

TEST_F(ViewerWithoutDisplay, NoArgumentExitsOneAndPrintsNothing) {
    const Exit r = run({e2e::reduceview}, noDisplay);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(ViewerWithoutDisplay, UnloadableFilesGiveTheOneMessageTheirReasonAndNoWindow) {
    struct Case {
        const char* what;
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {"missing file", dir.file("no such file.bmp"), "cannot open (No such file or directory)"},
        {"16-bit BMP", write("sixteen.bmp", e2e::sixteenBitFile()),
         "16 bits per pixel is not supported (1, 4, 8 or 24 only)"},
        {"not a BMP", write("text.bmp", testsupport::Bytes{'h', 'e', 'l', 'l', 'o'}),
         "the file is shorter than its headers: 5 bytes, where they take 14"},
        {"truncated BMP",
         [&] {
             testsupport::Bytes bytes = testsupport::bmp24(testsupport::gradient(16, 16));
             bytes.resize(bytes.size() / 2);
             return write("short.bmp", bytes);
         }(),
         "pixel array cut short: 768 bytes expected, 357 present"},
    };
    for (const Case& c : cases) {
        const Exit r = run({e2e::reduceview, c.path}, noDisplay);
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_EQ(r.out, "Cannot load input file : " + c.path + "\n") << c.what;
        // The reason only: no window was made, so there is no word about the display.
        EXPECT_EQ(r.err, "reduceview: " + c.path + ": " + c.reason + "\n") << c.what;
    }
}

TEST_F(ViewerWithoutDisplay, ReducesPaintsOffScreenAndExitsByItself) {
    struct Case {
        const char* what;
        testsupport::Bytes file;
    };
    const Case cases[] = {
        {"24-bit photo-like", testsupport::bmp24(testsupport::testCard(61, 43, 5))},
        {"8-bit indexed", e2e::indexedFile(30, 20, 200, 3)},
        {"one pixel", testsupport::bmp24(testsupport::Picture(1, 1, {10, 20, 30}))},
    };
    for (const Case& c : cases) {
        const std::string input = write("in.bmp", c.file);
        const std::string expected = expectedLines(input);
        ASSERT_NE(expected, "") << c.what;
        const Exit r = run({e2e::reduceview, input}, noDisplay);
        EXPECT_EQ(r.exitCode, 0) << c.what << "\n" << r.err;
        EXPECT_EQ(r.out, expected) << c.what;
        EXPECT_NE(r.err.find("no display available"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

// A longer header changes nothing past the reader (whose tests cover every
// header, depth and palette): the viewer prints the same lines for a 4-bit
// file with an OS/2 2.x header and a gap before the pixels as for one with a
// 40-byte header.
TEST_F(ViewerWithoutDisplay, ALongerHeaderGivesTheSameLinesAsA40ByteHeader) {
    std::vector<testsupport::Bgr> palette;
    for (int i = 0; i < 11; ++i)
        palette.push_back(
            {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 7)});
    std::vector<std::uint8_t> indices(23 * 9);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>((i * 7 + i / 5) % 11);
    const std::string expected =
        expectedLines(write("v3.bmp", testsupport::bmpIndexed(4, 23, 9, palette, indices, 11)));
    const testsupport::BmpLayout layout =
        testsupport::layoutOf(testsupport::kHeaderOs2v2, testsupport::ColorSpace::sRGB, 17);
    const std::string input = write("longer.bmp", testsupport::bmpIndexed(4, 23, 9, palette, indices, 11, layout));
    const Exit r = run({e2e::reduceview, input}, noDisplay);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

TEST_F(ViewerWithoutDisplay, ExtraArgumentsAreIgnored) {
    const std::string input = write("in.bmp", testsupport::bmp24(testsupport::fewColors(12, 9, 7, 2)));
    const Exit r = run({e2e::reduceview, input, "--extra", "more"}, noDisplay);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expectedLines(input));
}

TEST_F(ViewerWithoutDisplay, HelpAndVersionAnswerOnStandardOutputWithoutAWindow) {
    // With a display named that has no server behind it, a window attempt
    // would show on standard error.
    const testsupport::Environment display{{"DISPLAY", ":65000"}};
    for (const char* option : {"--help", "-h"}) {
        const Exit r = run({e2e::reduceview, option, "ignored.bmp"}, display);
        EXPECT_EQ(r.exitCode, 0) << option;
        EXPECT_EQ(r.out.rfind("Usage: reduceview [OPTION]... IN\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--verbose"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "") << option;
    }
    const Exit version = run({e2e::reduceview, "--version"}, display);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "reduceview " CR_PROJECT_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

// "--" makes the next argument the path whatever it looks like.
TEST_F(ViewerWithoutDisplay, ADoubleDashMakesTheNextArgumentThePath) {
    const std::string input = write("in.bmp", testsupport::bmp24(testsupport::gradient(6, 4)));
    const Exit opened = run({e2e::reduceview, "--", input}, noDisplay);
    EXPECT_EQ(opened.exitCode, 0) << opened.err;
    EXPECT_EQ(opened.out, expectedLines(input));

    const Exit named = run({e2e::reduceview, "--", "--version"}, noDisplay);
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_EQ(named.out, "Cannot load input file : --version\n");

}

// Only a bare "reduceview" exits silently; options without a path, or
// options it does not know, are told what is wrong.
TEST_F(ViewerWithoutDisplay, AWrongCommandLineSaysWhatIsWrongAndExitsWithTwo) {
    const std::string input = write("in.bmp", testsupport::bmp24(testsupport::gradient(6, 4)));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--"}, "missing the input path"},
        {{"-v"}, "missing the input path"},
        {{"--foo", input}, "unrecognized option '--foo'"},
        {{"-q", input}, "invalid option -- 'q'"},  // the converter's, not the viewer's
    };
    for (const auto& [arguments, message] : cases) {
        std::vector<std::string> command = {e2e::reduceview};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const Exit r = run(command, noDisplay);
        EXPECT_EQ(r.exitCode, 2) << message;
        EXPECT_EQ(r.out, "") << message;
        EXPECT_EQ(r.err, "reduceview: " + message + "\nTry 'reduceview --help' for more information.\n");
    }
}

// -v: once the pass has run, the converter's quality line, on standard
// error; standard output as without it. "-" reads standard input.
TEST_F(ViewerWithoutDisplay, VerbosePrintsTheConvertersQualityLine) {
    const std::string input = write("in.bmp", testsupport::bmp24(testsupport::testCard(33, 21)));
    const Exit batch = run({e2e::reducebmp, "-v", input, dir.file("reduced.bmp")}, noDisplay);
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    const std::string quality = batch.err.substr(batch.err.find("quality: "));

    testsupport::Command viewer({e2e::reduceview, "-v", "-"}, noDisplay);
    viewer.in = testsupport::Stream::file(input);
    const Exit r = testsupport::run(viewer);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, batch.out);
    EXPECT_NE(r.err.find("no display available"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\n" + quality), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
}

TEST_F(ViewerWithoutDisplay, AnUnreachableDisplayIsLikeNone) {
    const std::string input = write("in.bmp", testsupport::bmp24(testsupport::gradient(9, 7)));
    // A display number with no server behind it.
    const Exit r = run({e2e::reduceview, input}, {{"DISPLAY", ":65000"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expectedLines(input));
    EXPECT_NE(r.err.find("cannot open display :65000"), std::string::npos) << r.err;
}

}  // namespace
