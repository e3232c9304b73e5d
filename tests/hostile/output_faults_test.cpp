// The batch converter's output faults: a folder that does not exist, a path
// that is a folder, a read-only folder, a full disk and a file size limit.
// Each ends with a message on standard error and exit code 1, leaves any
// file already at the path exactly as it was, and leaves no temporary file.
#include "bmp_builder.h"
#include "pictures.h"
#include "program_runner.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace hostile {
namespace {

using testsupport::Bytes;

const Bytes kOldContents{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e', '\n'};

// A picture whose indexed output (about 60 kB) does not fit the small disk.
std::string writeInput(const TempDir& dir) {
    const std::string input = dir.file("in.bmp");
    testsupport::writeFile(input, testsupport::bmp24(testsupport::testCard(240, 240, 5)));
    return input;
}

void expectWriteFailure(const RunResult& run, const std::string& output) {
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
    const RunResult run = runProgram({REDUCEBMP_PATH, input, output});
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
    const RunResult run = runProgram({REDUCEBMP_PATH, input, output});
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
    RunOptions options;
    // Root writes into any folder whatever its mode: run the converter as
    // an unprivileged user so that the folder really is read-only to it.
    if (runningAsRoot()) options.user = "nobody";
    const RunResult run = runProgram({REDUCEBMP_PATH, input, output}, options);
    chmod(dir.path().c_str(), 0755);
    if (run.couldNotStart) GTEST_SKIP() << "reducebmp cannot be run as " << options.user << ": " << run.err;
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
    const RunResult run = runProgram({REDUCEBMP_PATH, input, output});
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
    RunOptions options;
    options.fileSizeLimit = 4096;
    const RunResult run = runProgram({REDUCEBMP_PATH, input, output}, options);
    expectWriteFailure(run, output);
    EXPECT_EQ(testsupport::readFile(output), kOldContents);
    expectOnly(dir, {"in.bmp", "out.bmp"});
}

TEST(OutputFaultTest, ASuccessfulRunReplacesTheOldFileWhole) {
    TempDir dir;
    const std::string input = writeInput(dir);
    const std::string output = dir.file("out.bmp");
    testsupport::writeFile(output, kOldContents);
    const RunResult run = runProgram({REDUCEBMP_PATH, input, output});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const Bytes written = testsupport::readFile(output);
    ASSERT_GE(written.size(), 54u);
    EXPECT_EQ(testsupport::getU32(written, 2), written.size());
    expectOnly(dir, {"in.bmp", "out.bmp"});
}

}  // namespace
}  // namespace hostile
