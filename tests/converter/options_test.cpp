// The converter's options: what each wrong command line is told, -q and -v,
// and the refusal of an output that would replace the input, whatever name
// it goes by.
#include "converter_support.h"
#include "quality.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace testsupport;
using namespace converter;
namespace fs = std::filesystem;

namespace {

const char kTryHelp[] = "Try 'reducebmp --help' for more information.\n";

// The lines of a text, without their newlines.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find('\n', from)) != std::string::npos; from = end + 1)
        lines.push_back(text.substr(from, end - from));
    return lines;
}

}  // namespace

TEST_F(Reducebmp, EachWrongCommandLineSaysWhatIsWrongAndExitsWithTwo) {
    writeFile(path("in.bmp"), bmp24(testCard(5, 4)));
    const std::string in = path("in.bmp");
    const std::string out = path("out.bmp");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "missing the input and output paths"},
        {{in}, "missing the output path"},
        {{"--", in}, "missing the output path"},
        {{in, out, "c.bmp"}, "unexpected argument 'c.bmp' after the paths"},
        {{"--", in, out, "c.bmp"}, "unexpected argument 'c.bmp' after the paths"},
        {{"--foo", in, out}, "unrecognized option '--foo'"},
        {{"-o", out}, "invalid option -- 'o'"},
        {{"-qx", in, out}, "invalid option -- 'x'"},
        {{"--ver", in, out}, "option '--ver' is ambiguous; possibilities: '--verbose' '--version'"},
        {{"--quiet=yes", in, out}, "option '--quiet' doesn't allow an argument"},
        {{"--verb=1", in, out}, "option '--verbose' doesn't allow an argument"},
        {{in, out, "-v"}, "'-v' after a path: options come before the paths"},
        {{in, "-q", out}, "'-q' after a path: options come before the paths"},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(message);
        const Exit r = run(arguments);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "reducebmp: " + message + "\n" + kTryHelp);
        EXPECT_FALSE(fs::exists(out));
    }
}

// "--qu", a unique beginning of a long option, is that option, as
// getopt_long takes it.
TEST_F(Reducebmp, QuietPrintsNothingOnStandardOutputAndKeepsTheExitCodes) {
    const Bytes file = bmp24(testCard(23, 17));
    writeFile(path("in.bmp"), file);
    const Exit plain = run({path("in.bmp"), path("plain.bmp")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    for (const char* option : {"-q", "--quiet", "--qu"}) {
        SCOPED_TRACE(option);
        const Exit quiet = run({option, path("in.bmp"), path("quiet.bmp")});
        EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
        EXPECT_EQ(quiet.out, "");
        EXPECT_EQ(quiet.err, "");
        EXPECT_EQ(readFile(path("quiet.bmp")), readFile(path("plain.bmp")));
    }
    // A failure keeps its reason on standard error, and the one line that
    // standard output would have had is gone with the statistics.
    const Exit missing = run({"-q", path("missing.bmp"), path("out.bmp")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "reducebmp: " + path("missing.bmp") + ": cannot open (No such file or directory)\n");
}

TEST_F(Reducebmp, VerboseLeavesStandardOutputAsItIsAndReportsOnStandardError) {
    const Bytes file = bmp24(testCard(61, 43, 3));
    writeFile(path("in.bmp"), file);
    const Expected expected = reduceInProcess(file);
    OwnedImage original(loadPicture(file));
    OwnedImage reduced(expected.reduced);
    const std::string quality = formatQuality(measureQuality(original.view(), reduced.view(), expected.palette));

    for (const std::vector<std::string>& options : {std::vector<std::string>{"-v"}, {"--verbose"}, {"-qv"}}) {
        SCOPED_TRACE(options.front());
        std::vector<std::string> arguments = options;
        arguments.push_back(path("in.bmp"));
        arguments.push_back(path("out.bmp"));
        const Exit r = run(arguments);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, options.front() == "-qv" ? "" : expected.report);
        EXPECT_EQ(loadPicture(path("out.bmp")), expected.reduced);
        const std::vector<std::string> lines = linesOf(r.err);
        ASSERT_EQ(lines.size(), 3u) << r.err;
        EXPECT_EQ(lines[0], "input: BMP, 24 bits per pixel, 61 x 43 pixels");
        const std::regex times(
            "times: read [0-9]+\\.[0-9]{3} s, census [0-9.]+ s, median cut [0-9.]+ s, palette [0-9.]+ s, "
            "remap [0-9.]+ s, write [0-9.]+ s, total [0-9.]+ s");
        EXPECT_TRUE(std::regex_match(lines[1], times)) << lines[1];
        EXPECT_EQ(lines[2] + "\n", quality);
    }
}

// Files, not names, are compared: every other name of the input is refused
// too, in either order where the two names differ, before anything is read
// or written.
TEST_F(Reducebmp, AnOutputThatWouldReplaceTheInputIsRefusedWhateverItsName) {
    const Bytes original = bmp24(testCard(19, 11));
    writeFile(path("photo.bmp"), original);
    fs::create_symlink("photo.bmp", path("link.bmp"));
    fs::create_hard_link(path("photo.bmp"), path("hard.bmp"));
    const std::pair<std::string, std::string> cases[] = {
        {"photo.bmp", "photo.bmp"}, {"photo.bmp", "./photo.bmp"}, {"./photo.bmp", "photo.bmp"},
        {"photo.bmp", "link.bmp"},  {"link.bmp", "photo.bmp"},    {"photo.bmp", "hard.bmp"},
        {"hard.bmp", "photo.bmp"},  {"link.bmp", "hard.bmp"},     {dir.path() + "/photo.bmp", "photo.bmp"},
    };
    const std::vector<std::string> entries = dir.entries();
    for (const auto& [in, out] : cases) {
        SCOPED_TRACE(in + " " + out);
        Command same = command({in, out});
        same.workingFolder = dir.path();
        const Exit r = run(same);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "reducebmp: " + in + ": the output would replace the input\n");
        EXPECT_EQ(readFile(path("photo.bmp")), original);
        EXPECT_EQ(dir.entries(), entries);  // no temporary file left
    }
    // Standard input from the file is the file.
    Command fromInput = command({"-", "photo.bmp"});
    fromInput.workingFolder = dir.path();
    fromInput.in = Stream::file(path("photo.bmp"));
    const Exit r = run(fromInput);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "reducebmp: standard input: the output would replace the input\n");
    EXPECT_EQ(readFile(path("photo.bmp")), original);

    // A copy is another file.
    writeFile(path("copy.bmp"), original);
    const Exit copied = run({path("copy.bmp"), path("photo.bmp")});
    EXPECT_EQ(copied.exitCode, 0) << copied.err;
}
