// The batch converter as a program: what it prints where, the file it
// writes, and the reasons it gives for a file it cannot load. Its options
// and streams are tested in options_test.cpp, its output faults (folders,
// permissions, full disks, pipes, links) in tests/hostile/output_faults_test.cpp.
#include "converter_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace testsupport;
using namespace converter;
namespace fs = std::filesystem;

TEST_F(Reducebmp, OutputReloadsAsTheReducedImageAndPrintsThePassLines) {
    const std::vector<std::pair<std::string, Bytes>> inputs = {
        {"card.bmp", bmp24(testCard(37, 23))},
        {"few.bmp", bmp24(fewColors(9, 5, 12, 4))},
        {"indexed.bmp", bmpIndexed(4, 7, 3, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}}, std::vector<std::uint8_t>(21, 1), 3)},
        {"topdown.bmp", bmp24(testCard(6, 5), 3780, true)},
        // Over a megabyte of output: the disk is asked to take it while it
        // is written, the rows' lookup is shared by two workers.
        {"large.bmp", bmp24(testCard(1400, 900))},
    };
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        writeFile(path(name), bytes);
        const Exit r = run({path(name), path("out.bmp")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Expected expected = reduceInProcess(bytes);
        EXPECT_EQ(r.out, expected.report);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(loadPicture(path("out.bmp")), expected.reduced);
        const Bytes written = readFile(path("out.bmp"));
        EXPECT_EQ(written[28], 8);  // 8 bits per pixel
        EXPECT_EQ(getU32(written, 46), static_cast<std::uint32_t>(std::count(r.out.begin(), r.out.end(), '\n') - 2));
    }
}

TEST_F(Reducebmp, HelpAndVersionAnswerOnStandardOutputAndExitWithZero) {
    for (const char* option : {"--help", "-h"}) {
        const Exit r = run({option});
        EXPECT_EQ(r.exitCode, 0) << option;
        EXPECT_EQ(r.out.rfind("Usage: reducebmp [OPTION]... IN OUT\n", 0), 0u) << r.out;
        for (const char* listed : {"--quiet", "--verbose", "--help", "--version", "Exit status"})
            EXPECT_NE(r.out.find(listed), std::string::npos) << listed;
        EXPECT_NE(r.out.find("256 colours"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
    const Exit version = run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "reducebmp " CR_PROJECT_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

TEST_F(Reducebmp, HelpThatCannotBeWrittenFailsTheRun) {
    Command help({REDUCEBMP_PATH, "--help"});
    help.out = Stream::file("/dev/full");
    const Exit r = testsupport::run(help);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1) << r.err;
}

// "--" ends the options: a file named like one is converted from there.
TEST_F(Reducebmp, ADoubleDashMakesTheNextArgumentsPaths) {
    writeFile(path("--help"), bmp24(testCard(7, 5)));
    const Exit named = run({"--", path("--help"), path("out.bmp")});
    EXPECT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(named.out, reduceInProcess(bmp24(testCard(7, 5))).report);
    EXPECT_TRUE(fs::exists(path("out.bmp")));
}

TEST_F(Reducebmp, AnUnloadableInputIsReportedOnStandardOutputWithItsReasonOnStandardError) {
    writeFile(path("bad.bmp"), Bytes{'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0});
    Bytes rle = bmpIndexed(8, 4, 4, {{0, 0, 0}, {255, 255, 255}}, std::vector<std::uint8_t>(16, 1), 2);
    putU32(rle, 30, 1);
    writeFile(path("rle.bmp"), rle);
    Bytes os2 = bmpOs2v1(4, 3, 3, {{0, 0, 0}}, std::vector<std::uint8_t>(9, 0));
    writeFile(path("os2.bmp"), os2);
    const std::pair<std::string, std::string> cases[] = {
        {path("missing.bmp"), "cannot open (No such file or directory)"},
        {path("bad.bmp"), "not a BMP file (it does not begin with \"BM\")"},
        {path("rle.bmp"), "run-length compressed (RLE8) BMP is not supported; save it uncompressed"},
        {path("os2.bmp"), "OS/2 1.x BMP (12-byte header) is not supported; save it as a Windows BMP"},
    };
    for (const auto& [input, reason] : cases) {
        const Exit r = run({input, path("out.bmp")});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "Cannot load input file : " + input + "\n");
        EXPECT_EQ(r.err, "reducebmp: " + input + ": " + reason + "\n");
        EXPECT_FALSE(fs::exists(path("out.bmp")));
    }
}

// A longer header changes nothing past the reader (whose tests cover every
// header, depth and palette): a file with a V5 header, a colour profile
// before the pixels and rows top-down gives the same lines and the same file
// as with a 40-byte header.
TEST_F(Reducebmp, ALongerHeaderGivesTheSameResultAsA40ByteHeader) {
    std::vector<Bgr> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(
            {static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 11)});
    std::vector<std::uint8_t> indices(31 * 7);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>((i * 5 + i / 7) % 256);
    writeFile(path("v3.bmp"), bmpIndexed(8, 31, 7, palette, indices, 0));
    const Exit plain = run({path("v3.bmp"), path("v3-out.bmp")});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const BmpLayout layout = layoutOf(kHeaderV5, ColorSpace::embeddedProfile, 200, true);
    writeFile(path("longer.bmp"), bmpIndexed(8, 31, 7, palette, indices, 0, layout));
    const Exit r = run({path("longer.bmp"), path("longer-out.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, plain.out);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(readFile(path("longer-out.bmp")) == readFile(path("v3-out.bmp")));
}
