// The batch converter's output faults: a folder that does not exist, a path
// that is a folder, a read-only folder, a full disk and a file size limit.
// Each ends with a message on standard error and exit code 1, leaves any
// file already at the path exactly as it was, and leaves no temporary file.
#include "bmp_builder.h"
#include "pictures.h"
#include "measured_run.h"
#include "sanitizer_build.h"
#include "temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace hostile {
namespace {

using testsupport::Exit;
using testsupport::Limits;
using testsupport::MeasuredExit;
using testsupport::TempDir;

using testsupport::Bytes;

const Bytes kOldContents{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e', '\n'};

// A picture whose indexed output (about 60 kB) does not fit the small disk.
std::string writeInput(const TempDir& dir) {
    const std::string input = dir.file("in.bmp");
    testsupport::writeFile(input, testsupport::bmp24(testsupport::testCard(240, 240, 5)));
    return input;
}

void expectWriteFailure(const Exit& run, const std::string& output) {
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("reducebmp: cannot write " + output), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Cannot load input file"), std::string::npos);
}

// Only the given names remain in the folder: nothing half-written, no
// temporary file beside the target.
void expectOnly(const TempDir& dir, std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.entries(), names);
}

TEST(OutputFaultTest, AFolderThatDoesNotExist) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string output = dir.file("missing/out.bmp");
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, output});
    expectWriteFailure(run, output);
    // Checked before the pass: nothing is reduced for an output that cannot be made.
    EXPECT_EQ(run.out, "");
    expectOnly(dir, {"in.bmp"});
}

TEST(OutputFaultTest, AnOutputPathThatIsAFolder) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string output = dir.file("out.bmp");
    ASSERT_EQ(mkdir(output.c_str(), 0755), 0);
    testsupport::writeFile(output + "/keep", kOldContents);
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, output});
    expectWriteFailure(run, output);
    EXPECT_EQ(testsupport::readFile(output + "/keep"), kOldContents);
    expectOnly(dir, {"in.bmp", "out.bmp"});
}

TEST(OutputFaultTest, AReadOnlyFolderKeepsItsFile) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string output = dir.file("out.bmp");
    testsupport::writeFile(output, kOldContents);
    ASSERT_EQ(chmod(output.c_str(), 0644), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    Limits limits;
    // Root writes into any folder whatever its mode: run the converter as
    // an unprivileged user so that the folder really is read-only to it.
    if (testsupport::runningAsRoot()) limits.user = "nobody";
    const MeasuredExit run = testsupport::runMeasured({REDUCEBMP_PATH, input, output}, limits);
    chmod(dir.path().c_str(), 0755);
    if (run.couldNotStart) GTEST_SKIP() << "reducebmp cannot be run as " << limits.user << ": " << run.err;
    expectWriteFailure(run, output);
    EXPECT_EQ(testsupport::readFile(output), kOldContents);
    expectOnly(dir, {"in.bmp", "out.bmp"});
}

// A mounted tmpfs of a few kilobytes. Mounting needs privileges that a
// developer's account or a container may not have.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& path) : path_(path) {
        mkdir(path.c_str(), 0755);
        mounted_ = mount("tmpfs", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=16k,mode=0755") == 0;
        if (!mounted_) why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }

private:
    std::string path_;
    bool mounted_ = false;
    std::string why_;
};

TEST(OutputFaultTest, AFullDiskKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string disk = dir.file("disk");
    SmallDisk small(disk);
    if (!small.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (" << small.why() << "): full-disk case skipped";
    const std::string output = disk + "/out.bmp";
    testsupport::writeFile(output, kOldContents);
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, output});
    expectWriteFailure(run, output);
    EXPECT_NE(run.out.find("palette count:"), std::string::npos) << "the statistics come before the write";
    EXPECT_EQ(testsupport::readFile(output), kOldContents);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(disk)) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"out.bmp"});
}

// The same fault without a mount: the process may write no file larger
// than 4 kB, and its writes fail with EFBIG.
TEST(OutputFaultTest, AFileSizeLimitKeepsTheOldFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string output = dir.file("out.bmp");
    testsupport::writeFile(output, kOldContents);
    Limits limits;
    limits.fileSizeBytes = 4096;
    const MeasuredExit run = testsupport::runMeasured({REDUCEBMP_PATH, input, output}, limits);
    expectWriteFailure(run, output);
    EXPECT_EQ(testsupport::readFile(output), kOldContents);
    expectOnly(dir, {"in.bmp", "out.bmp"});
}

// An old file longer than the new one leaves nothing of itself behind the
// new picture: the result is byte for byte what a new file gets.
TEST(OutputFaultTest, ASuccessfulRunReplacesTheOldFileWhole) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string fresh = dir.file("fresh.bmp");
    ASSERT_EQ(testsupport::run({REDUCEBMP_PATH, input, fresh}).exitCode, 0);
    const Bytes expected = testsupport::readFile(fresh);
    const std::string output = dir.file("out.bmp");
    testsupport::writeFile(output, Bytes(expected.size() + 5000, 0x11));
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, output});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const Bytes written = testsupport::readFile(output);
    EXPECT_TRUE(written == expected) << written.size() << " bytes written, " << expected.size() << " expected";
    EXPECT_EQ(testsupport::getU32(written, 2), written.size());
    expectOnly(dir, {"fresh.bmp", "in.bmp", "out.bmp"});
}

// Renaming a file over a device or a pipe would destroy it (as root, over
// /dev/null): such a target is written in place and stays what it was.
TEST(OutputFaultTest, APipeIsWrittenInPlaceAndStaysAPipe) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string output = dir.file("fifo.bmp");
    ASSERT_EQ(mkfifo(output.c_str(), 0644), 0);
    // Reader first (non-blocking), then a writer of our own so that the
    // reader sees no end of file before the program has written.
    const int reader = open(output.c_str(), O_RDONLY | O_NONBLOCK);
    const int keepOpen = open(output.c_str(), O_WRONLY);
    ASSERT_GE(reader, 0);
    ASSERT_GE(keepOpen, 0);
    Bytes received;
    std::thread drain([&] {
        for (;;) {
            pollfd p{reader, POLLIN, 0};
            poll(&p, 1, -1);
            std::uint8_t buffer[65536];
            const ssize_t got = read(reader, buffer, sizeof buffer);
            if (got == 0) return;
            if (got > 0) received.insert(received.end(), buffer, buffer + got);
        }
    });
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, output});
    close(keepOpen);
    drain.join();
    close(reader);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    struct stat info {};
    ASSERT_EQ(stat(output.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the pipe was replaced by a file";
    ASSERT_GE(received.size(), 54u);
    EXPECT_EQ(testsupport::getU32(received, 2), received.size());
    expectOnly(dir, {"fifo.bmp", "in.bmp"});
}

TEST(OutputFaultTest, ASymbolicLinkIsKeptAndTheFileItPointsToReplaced) {
    TempDir dir;
    const std::string input = writeInput(dir);
    ASSERT_EQ(mkdir(dir.file("real").c_str(), 0755), 0);
    const std::string real = dir.file("real/target.bmp");
    testsupport::writeFile(real, kOldContents);
    const std::string link = dir.file("out.bmp");
    ASSERT_EQ(symlink("real/target.bmp", link.c_str()), 0);
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, link});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link was replaced by a file";
    const Bytes written = testsupport::readFile(real);
    ASSERT_GE(written.size(), 54u);
    EXPECT_EQ(testsupport::getU32(written, 2), written.size());
    expectOnly(dir, {"in.bmp", "out.bmp", "real"});
}

// A target whose name leaves no room for the temporary file's suffix.
TEST(OutputFaultTest, ANameTooLongForTheUsualTemporaryNameStillWorks) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string name = std::string(250, 'n') + ".bmp";
    const Exit run = testsupport::run({REDUCEBMP_PATH, input, dir.file(name)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    expectOnly(dir, {"in.bmp", name});
}

TEST(OutputFaultTest, StatisticsThatCannotBeWrittenFailTheRun) {
    TempDir dir;
    const std::string input = writeInput(dir);
    testsupport::Command command({REDUCEBMP_PATH, input, dir.file("out.bmp")});
    command.out = testsupport::Stream::file("/dev/full");
    const Exit run = testsupport::run(command);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("reducebmp: cannot write the statistics to standard output"), std::string::npos) << run.err;
}

// A picture the reader accepts whose pass needs more memory than there is:
// one row of 20 million pixels (a 2.5 MB 1-bit file) needs two rows of
// doubles of 480 MB each. The failure is reported, and the temporary file,
// made before the pass, is removed.
TEST(OutputFaultTest, RunningOutOfMemoryLeavesNoTemporaryAndKeepsTheOldFile) {
    if (testsupport::kSanitizerBuild) GTEST_SKIP() << "an address-space limit cannot be used with a sanitizer's shadow memory";
    TempDir dir;
    const std::int32_t width = 20000000;
    Bytes wide(54 + 8 + static_cast<std::size_t>(width / 8), 0);
    testsupport::putU16(wide, 0, 0x4D42);
    testsupport::putU32(wide, 10, 62);
    testsupport::putU32(wide, 14, 40);
    testsupport::putU32(wide, 18, static_cast<std::uint32_t>(width));
    testsupport::putU32(wide, 22, 1);
    testsupport::putU16(wide, 26, 1);
    testsupport::putU16(wide, 28, 1);
    wide[58] = wide[59] = wide[60] = 0xFF;  // palette entry 1 is white
    for (std::size_t i = 62; i < wide.size(); i += 3) wide[i] = 0x5A;
    const std::string input = dir.file("wide.bmp");
    testsupport::writeFile(input, wide);
    const std::string output = dir.file("out.bmp");
    testsupport::writeFile(output, kOldContents);
    Limits limits;
    limits.addressSpaceBytes = 512ll << 20;
    const MeasuredExit run = testsupport::runMeasured({REDUCEBMP_PATH, input, output}, limits);
    EXPECT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("reducebmp: not enough memory to reduce " + input), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::readFile(output), kOldContents);
    expectOnly(dir, {"out.bmp", "wide.bmp"});
}

}  // namespace
}  // namespace hostile
