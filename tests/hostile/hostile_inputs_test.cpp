// Hostile files through the programs (BMP, PNG, JPEG and the formats named
// but not read): a refusal of each kind reaches the user as the one load
// message on standard output, its reason on standard error ("PROGRAM: PATH:
// REASON") and exit code 1, writes nothing, and costs little memory whatever
// the header claims (peak resident size measured by rss_probe; a 20000 x
// 20000 claim would be 1.2 GB). Every reason of every hostile file is the
// reader's, checked in tests/app; here one file of each kind shows that the
// programs pass the refusal on. Beside them, the refusals of the programs'
// own: files that cannot be opened or read, or pictures too large for the
// memory at hand.
#include "bmp_cases.h"
#include "picture_cases.h"
#include "measured_run.h"
#include "sanitizer_build.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace hostile {
namespace {

using testsupport::Limits;
using testsupport::MeasuredExit;
using testsupport::TempDir;

// Far below any picture the hostile headers claim, far above what loading
// a few bytes needs, also under the sanitizers' own overhead.
constexpr long kPeakRssBoundKb = 64 * 1024;

struct Program {
    std::string name;
    std::string path;
};

std::vector<Program> programs() {
    std::vector<Program> list{{"reducebmp", REDUCEBMP_PATH}};
#ifdef REDUCEVIEW_PATH
    list.push_back({"reduceview", REDUCEVIEW_PATH});
#endif
    return list;
}

// The viewer must not get as far as a window for a refused file; a display
// that cannot exist makes sure no test ever shows one.
testsupport::Command commandFor(const Program& program, const std::string& input, const TempDir& dir) {
    testsupport::Command command({program.path, input});
    if (program.name == "reducebmp") command.argv.push_back(dir.file("out.bmp"));
    command.env = {{"DISPLAY", ":59999"}};
    return command;
}

void expectRefused(const Program& program, const std::string& input, const TempDir& dir, const std::string& reason,
                   const Limits& limits = {}) {
    const auto before = dir.entries();
    const MeasuredExit run = testsupport::runMeasured(commandFor(program, input, dir), limits);
    if (run.couldNotStart) GTEST_SKIP() << program.name << " cannot be run as user " << limits.user << ": " << run.err;
    EXPECT_FALSE(run.timedOut) << program.name << " hung";
    EXPECT_EQ(run.signal, 0) << program.name << " died: " << run.err;
    EXPECT_EQ(run.exitCode, 1) << program.name;
    EXPECT_EQ(run.out, "Cannot load input file : " + input + "\n") << program.name;
    EXPECT_EQ(run.err, program.name + ": " + input + ": " + reason + "\n") << program.name;
    EXPECT_LT(run.peakRssKb, kPeakRssBoundKb) << program.name << " used " << run.peakRssKb << " kB";
    EXPECT_EQ(dir.entries(), before) << program.name << " left a file behind";
}

class HostileFileTest : public ::testing::TestWithParam<NamedFile> {};

TEST_P(HostileFileTest, EveryProgramPassesTheRefusalOnWithLittleMemory) {
    TempDir dir;
    // The BMP cases are named without their extension.
    const std::string& name = GetParam().name;
    const std::string input = dir.file(name.find('.') == std::string::npos ? name + ".bmp" : name);
    testsupport::writeFile(input, GetParam().bytes);
    for (const auto& program : programs()) expectRefused(program, input, dir, GetParam().reason);
}

std::string testName(const ::testing::TestParamInfo<NamedFile>& param) {
    std::string name = param.param.name;
    for (char& c : name) {
        if (c == '-' || c == '.') c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFileTest, ::testing::ValuesIn(hostileFilesOfEachKind()), testName);
INSTANTIATE_TEST_SUITE_P(Pictures, HostileFileTest, ::testing::ValuesIn(hostilePictureFilesOfEachKind()), testName);

TEST(HostileInputTest, ADirectoryIsRefused) {
    TempDir dir;
    const std::string input = dir.file("folder.bmp");
    ASSERT_EQ(mkdir(input.c_str(), 0755), 0);
    for (const auto& program : programs()) expectRefused(program, input, dir, "cannot read (Is a directory)");
}

TEST(HostileInputTest, AnEmptyFileIsRefused) {
    TempDir dir;
    const std::string input = dir.file("empty.bmp");
    testsupport::writeFile(input, {});
    for (const auto& program : programs()) expectRefused(program, input, dir, "the file is empty");
}

TEST(HostileInputTest, AMissingFileIsRefusedWithThePathAsTyped) {
    TempDir dir;
    for (const auto& program : programs()) {
        expectRefused(program, dir.path() + "/./no such file.bmp", dir, "cannot open (No such file or directory)");
    }
}

TEST(HostileInputTest, AFileWithoutReadPermissionIsRefused) {
    TempDir dir;
    const std::string input = dir.file("secret.bmp");
    testsupport::writeFile(input, validFiles().front().bytes);
    ASSERT_EQ(chmod(input.c_str(), 0000), 0);
    Limits limits;
    // Root reads every file whatever its mode: run the program as an
    // unprivileged user instead, so that the permission really stops it.
    if (testsupport::runningAsRoot()) limits.user = "nobody";
    for (const auto& program : programs())
        expectRefused(program, input, dir, "cannot open (Permission denied)", limits);
}

// A valid file whose picture is too large for the memory the program may
// have: the image's buffer cannot be made, the file is reported like any
// other that cannot be loaded, and nothing is written through a missing buffer.
TEST(HostileInputTest, APictureTooLargeForTheMemoryAtHandIsRefused) {
    if (testsupport::kSanitizerBuild) GTEST_SKIP() << "an address-space limit cannot be used with a sanitizer's shadow memory";
    TempDir dir;
    const std::int32_t side = 12000;  // 18 MB of 1-bit pixels, 432 MB as a 24-bit image
    const std::size_t rowBytes = side / 8;
    testsupport::Bytes file(62 + rowBytes * side, 0x55);
    testsupport::putU16(file, 0, 0x4D42);
    testsupport::putU32(file, 10, 62);
    testsupport::putU32(file, 14, 40);
    testsupport::putU32(file, 18, static_cast<std::uint32_t>(side));
    testsupport::putU32(file, 22, static_cast<std::uint32_t>(side));
    testsupport::putU16(file, 26, 1);
    testsupport::putU16(file, 28, 1);
    testsupport::putU32(file, 30, 0);
    testsupport::putU32(file, 46, 2);
    const std::string input = dir.file("large.bmp");
    testsupport::writeFile(input, file);
    Limits limits;
    limits.addressSpaceBytes = 256ll << 20;
    for (const auto& program : programs()) {
        expectRefused(program, input, dir, "not enough memory for a picture of 12000 x 12000 pixels", limits);
    }
}

}  // namespace
}  // namespace hostile
