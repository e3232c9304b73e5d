#include "bmp_builder.h"
#include "dib24.h"
#include "pictures.h"
#include "process.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct ChildRun {
    int exitCode;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Reducebmp : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("reducebmp_test_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    ChildRun run(const std::string& arguments) {
        const std::string command = std::string(REDUCEBMP_PATH) + " " + arguments + " >" + (dir / "stdout").string() +
                                    " 2>" + (dir / "stderr").string() + " </dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "stdout"), slurp(dir / "stderr")};
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

// What the pass prints and leaves for a file, computed in this process.
struct Expected {
    std::string report;
    Picture reduced;
};

Expected reduceInProcess(const Bytes& file) {
    dib24 image;
    image.create(1, 1, 0);
    FilePtr stream = openBytes(file);
    EXPECT_TRUE(image.readBmp(stream.get()));
    StringSink out;
    reduceImage(image.view(), out);
    return {out.text(), pictureOf(image.view())};
}

Picture loadPicture(const std::string& filePath) {
    dib24 image;
    image.create(1, 1, 0);
    FilePtr stream = openBytes(readFile(filePath));
    EXPECT_TRUE(image.readBmp(stream.get()));
    return pictureOf(image.view());
}

}  // namespace

TEST_F(Reducebmp, OutputReloadsAsTheReducedImageAndPrintsThePassLines) {
    const std::vector<std::pair<std::string, Bytes>> inputs = {
        {"card.bmp", bmp24(testCard(37, 23))},
        {"few.bmp", bmp24(fewColours(9, 5, 12, 4))},
        {"indexed.bmp", bmpIndexed(4, 7, 3, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}}, std::vector<std::uint8_t>(21, 1), 3)},
        {"topdown.bmp", bmp24(testCard(6, 5), 3780, true)},
    };
    for (const auto& [name, bytes] : inputs) {
        SCOPED_TRACE(name);
        writeFile(path(name), bytes);
        const ChildRun r = run(path(name) + " " + path("out.bmp"));
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

TEST_F(Reducebmp, WrongArgumentsPrintUsageAndExitWithTwo) {
    for (const char* arguments : {"", "one.bmp", "a.bmp b.bmp c.bmp"}) {
        const ChildRun r = run(arguments);
        EXPECT_EQ(r.exitCode, 2) << arguments;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: reducebmp IN.bmp OUT.bmp"), std::string::npos);
    }
}

TEST_F(Reducebmp, HelpAndVersionAnswerOnStandardOutputAndExitWithZero) {
    for (const char* option : {"--help", "-h"}) {
        const ChildRun r = run(option);
        EXPECT_EQ(r.exitCode, 0) << option;
        EXPECT_EQ(r.out.rfind("usage: reducebmp IN.bmp OUT.bmp\n", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("256 colours"), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
    const ChildRun version = run("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "reducebmp " CR_PROJECT_VERSION "\n");
    EXPECT_EQ(version.err, "");
}

TEST_F(Reducebmp, HelpThatCannotBeWrittenFailsTheRun) {
    const int status = std::system((std::string(REDUCEBMP_PATH) + " --help >/dev/full 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

// Two arguments are always the two paths, so a script that converts a file
// named like an option does what it did before; "--" before them is allowed.
TEST_F(Reducebmp, TwoArgumentsAreAlwaysPaths) {
    const ChildRun named = run("--help " + path("out.bmp"));
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_EQ(named.out, "Cannot load input file : --help\n");

    writeFile(path("in.bmp"), bmp24(testCard(7, 5)));
    const ChildRun separated = run("-- " + path("in.bmp") + " " + path("out.bmp"));
    EXPECT_EQ(separated.exitCode, 0) << separated.err;
    EXPECT_EQ(separated.out, reduceInProcess(bmp24(testCard(7, 5))).report);
    EXPECT_TRUE(fs::exists(path("out.bmp")));

    for (const char* arguments : {"--", "-- a.bmp b.bmp c.bmp", "--version a.bmp b.bmp"}) {
        const ChildRun r = run(arguments);
        EXPECT_EQ(r.exitCode, 2) << arguments;
        EXPECT_EQ(r.err, "usage: reducebmp IN.bmp OUT.bmp\n") << arguments;
    }
}

TEST_F(Reducebmp, AnUnloadableInputIsReportedOnStandardOutput) {
    writeFile(path("bad.bmp"), Bytes{'M', 'B', 0, 0});
    for (const std::string& input : {path("missing.bmp"), path("bad.bmp")}) {
        const ChildRun r = run(input + " " + path("out.bmp"));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "Cannot load input file : " + input + "\n");
        EXPECT_FALSE(fs::exists(path("out.bmp")));
    }
}

TEST_F(Reducebmp, AnUnwritableOutputLeavesNothingBehind) {
    writeFile(path("in.bmp"), bmp24(testCard(8, 8)));
    fs::create_directory(path("taken"));
    for (const std::string& output : {path("no/such/folder/out.bmp"), path("taken")}) {
        const ChildRun r = run(path("in.bmp") + " " + output);
        EXPECT_EQ(r.exitCode, 1) << output;
        EXPECT_NE(r.err.find("cannot write " + output), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_directory(path("taken")));
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 3u);  // in.bmp, stdout, stderr: no temporary file left
}

TEST_F(Reducebmp, AnExistingOutputIsReplacedWhole) {
    writeFile(path("in.bmp"), bmp24(testCard(10, 6)));
    writeFile(path("out.bmp"), Bytes(5000, 0x11));
    ASSERT_EQ(run(path("in.bmp") + " " + path("out.bmp")).exitCode, 0);
    EXPECT_EQ(loadPicture(path("out.bmp")), reduceInProcess(bmp24(testCard(10, 6))).reduced);
}
