// Memory running short and threads that cannot be started, in the programs.
// Under every address-space limit a run either ends with the whole result,
// the same as without the limit, or with one message and exit code 1: never
// a signal, never a temporary file left behind, an earlier output untouched.
// Threads that cannot be started leave their work to the others.
#include "bmp_builder.h"
#include "pictures.h"
#include "measured_run.h"
#include "sanitizer_build.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hostile {
namespace {

using testsupport::Exit;
using testsupport::Limits;
using testsupport::MeasuredExit;
using testsupport::TempDir;

using testsupport::Bytes;

const Bytes kOldContents{'o', 'l', 'd', '\n'};

// An address-space limit cannot be used with a sanitizer's shadow memory.
constexpr bool kAddressSpaceLimitsWork = !testsupport::kSanitizerBuild;

#define SKIP_WITHOUT_ADDRESS_SPACE_LIMITS()                                                                   \
    if (!kAddressSpaceLimitsWork)                                                                               \
    GTEST_SKIP() << "built with a sanitizer, whose shadow memory does not fit under an address-space limit: " \
                    "memory exhaustion is tested in the plain build"

// Many rows (both workers have bands) and many colours (the census and the
// search tables are large).
std::string writeNoise(const TempDir& dir) {
    const std::string input = dir.file("in.bmp");
    testsupport::writeFile(input, testsupport::bmp24(testsupport::noise(1500, 1000, 17)));
    return input;
}

struct Expected {
    std::string statistics;
    Bytes output;
};

Expected unlimitedRun(const std::string& input, const TempDir& dir) {
    const std::string output = dir.file("expected.bmp");
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, output});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    Expected expected{run.out, testsupport::readFile(output)};
    std::remove(output.c_str());
    return expected;
}

constexpr long long kMegabyte = 1 << 20;

TEST(MemoryFaultTest, TheConverterEndsWholeOrWithOneMessageUnderEveryAddressSpaceLimit) {
    SKIP_WITHOUT_ADDRESS_SPACE_LIMITS();
    TempDir dir;
    const std::string input = writeNoise(dir);
    const Expected expected = unlimitedRun(input, dir);
    const std::string output = dir.file("out.bmp");
    int failedInsideThePass = 0;
    for (const long long megabytes : {12, 16, 20, 24, 28, 32, 40, 48, 64, 96}) {
        testsupport::writeFile(output, kOldContents);
        Limits limits;
        limits.addressSpaceBytes = megabytes * kMegabyte;
        const MeasuredExit run = testsupport::runMeasured({REDUCEBMP_PATH, input, output}, limits);
        SCOPED_TRACE(std::to_string(megabytes) + " MB: " + run.err);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"})) << "a temporary file was left";
        if (run.exitCode == 0) {
            EXPECT_EQ(run.out, expected.statistics);
            EXPECT_TRUE(testsupport::readFile(output) == expected.output) << "a different picture";
            continue;
        }
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(testsupport::readFile(output), kOldContents);
        if (run.out == "Cannot load input file : " + input + "\n") continue;
        EXPECT_EQ(run.err, "reducebmp: not enough memory to reduce " + input + "\n");
        // The statistics printed before the failure are the first lines of the whole run's.
        // (The census holds the pass's largest buffers, so the pass mostly runs short there,
        // before its first line.)
        EXPECT_EQ(expected.statistics.compare(0, run.out.size(), run.out), 0) << run.out;
        ++failedInsideThePass;
    }
    EXPECT_GT(failedInsideThePass, 0) << "no limit made the pass itself run short: the limits need moving";
}

#ifdef REDUCEVIEW_PATH
TEST(MemoryFaultTest, TheViewerEndsWholeOrWithOneMessageUnderEveryAddressSpaceLimit) {
    SKIP_WITHOUT_ADDRESS_SPACE_LIMITS();
    TempDir dir;
    const std::string input = writeNoise(dir);
    const Expected expected = unlimitedRun(input, dir);
    int failures = 0;
    for (const long long megabytes : {16, 20, 24, 28, 32, 40, 64}) {
        Limits limits;
        limits.addressSpaceBytes = megabytes * kMegabyte;
        // Off-screen: the window closes itself.
        const testsupport::Command viewer({REDUCEVIEW_PATH, input}, {{"DISPLAY", ":59999"}});
        const MeasuredExit run = testsupport::runMeasured(viewer, limits);
        SCOPED_TRACE(std::to_string(megabytes) + " MB: " + run.err);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.signal, 0);
        if (run.exitCode == 0) {
            EXPECT_EQ(run.out, expected.statistics);
            continue;
        }
        EXPECT_EQ(run.exitCode, 1);
        if (run.out == "Cannot load input file : " + input + "\n") continue;
        const std::string message = "reduceview: not enough memory to reduce " + input + "\n";
        ASSERT_GE(run.err.size(), message.size());
        EXPECT_EQ(run.err.substr(run.err.size() - message.size()), message) << "the last line";
        EXPECT_EQ(expected.statistics.compare(0, run.out.size(), run.out), 0) << run.out;
        ++failures;
    }
    EXPECT_GT(failures, 0) << "no limit made the viewer run short: the limits need moving";
}
#endif

#ifdef REDUCEVIEW_PATH
// A picture of 48 MB in eight colours, whose pass needs less memory than a
// copy of it: there is a limit under which the copy kept for the
// comparisons cannot be made but the pass can run.
std::string writeLargeFewColours(const TempDir& dir) {
    const std::int32_t side = 4000;
    const std::uint32_t stride = side * 3, bytes = stride * side;
    testsupport::Bytes file(54 + std::size_t{bytes});
    file[0] = 'B', file[1] = 'M';
    testsupport::putU32(file, 2, 54 + bytes);
    testsupport::putU32(file, 10, 54);
    testsupport::putU32(file, 14, 40);
    testsupport::putU32(file, 18, side);
    testsupport::putU32(file, 22, side);
    testsupport::putU16(file, 26, 1);
    testsupport::putU16(file, 28, 24);
    for (std::uint32_t x = 0; x < stride; ++x) file[54 + x] = static_cast<std::uint8_t>((x / 3 / 500) * 30 + x % 3 * 70);
    for (std::int32_t y = 1; y < side; ++y) std::copy(file.begin() + 54, file.begin() + 54 + stride, file.begin() + 54 + y * stride);
    const std::string input = dir.file("large.bmp");
    testsupport::writeFile(input, file);
    return input;
}

TEST(MemoryFaultTest, WithoutMemoryForTheOriginalTheViewerSaysSoAndStillRuns) {
    SKIP_WITHOUT_ADDRESS_SPACE_LIMITS();
    TempDir dir;
    const std::string input = writeLargeFewColours(dir);
    const Expected expected = unlimitedRun(input, dir);
    const std::string off = "reduceview: not enough memory to keep the original of " + input +
                            "; the comparison with it is off\n";
    int ranWithoutTheCopy = 0;
    for (long long megabytes = 72; megabytes <= 136 && !ranWithoutTheCopy; megabytes += 8) {
        Limits limits;
        limits.addressSpaceBytes = megabytes * kMegabyte;
        const MeasuredExit run =
            testsupport::runMeasured(testsupport::Command({REDUCEVIEW_PATH, input}, {{"DISPLAY", std::nullopt}}), limits);
        SCOPED_TRACE(std::to_string(megabytes) + " MB: " + run.err);
        EXPECT_EQ(run.signal, 0);
        if (run.exitCode != 0 || run.err.find(off) == std::string::npos) continue;
        EXPECT_EQ(run.out, expected.statistics);
        ++ranWithoutTheCopy;
    }
    EXPECT_EQ(ranWithoutTheCopy, 1) << "no limit left the pass its memory without the copy's: the limits need moving";
}
#endif

// Every thread would need a stack larger than any address space: the
// calling thread does all the work, with the same result.
TEST(MemoryFaultTest, ThreadsThatCannotStartLeaveTheSameOutput) {
    TempDir dir;
    const std::string input = writeNoise(dir);
    const Expected expected = unlimitedRun(input, dir);
    const std::string output = dir.file("out.bmp");
    Limits limits;
    limits.stackBytes = 1ll << 50;
    const MeasuredExit run = testsupport::runMeasured({REDUCEBMP_PATH, input, output}, limits);
    EXPECT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected.statistics);
    EXPECT_TRUE(testsupport::readFile(output) == expected.output) << "a different picture";
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
}

}  // namespace
}  // namespace hostile
