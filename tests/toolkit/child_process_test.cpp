// Starting programs, on the system's shell as the program under test: what
// the fault tests rely on when they assert "no signal", "exit code 1" or
// "no hang" must be what the program did.
#include "bmp_builder.h"
#include "child_process.h"
#include "measured_run.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;
using testsupport::Child;
using testsupport::Command;
using testsupport::Exit;
using testsupport::Stream;

std::vector<std::string> shell(const std::string& script) { return {"/bin/sh", "-c", script}; }

TEST(ChildProcess, TheExitCodeAndBothStreamsAreReported) {
    const Exit done = testsupport::run(shell("printf 'to out'; printf 'to err' >&2; exit 3"));
    EXPECT_EQ(done.exitCode, 3);
    EXPECT_EQ(done.signal, 0);
    EXPECT_FALSE(done.timedOut);
    EXPECT_EQ(done.out, "to out");
    EXPECT_EQ(done.err, "to err");
}

// A signal the test process ignores (as a run started in the background
// ignores SIGINT) still ends the program, and is reported as its end.
TEST(ChildProcess, TheSignalThatEndsTheProgramIsReported) {
    struct sigaction ignore {}, before {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGINT, &ignore, &before);
    const Exit done = testsupport::run(shell("kill -INT $$; sleep 5"));
    sigaction(SIGINT, &before, nullptr);
    EXPECT_EQ(done.signal, SIGINT);
    EXPECT_EQ(done.exitCode, -1);
    EXPECT_FALSE(done.timedOut);
}

// Ended, or a zombie that nobody has reaped yet.
bool gone(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string field;
    for (int i = 0; i < 3 && stat >> field; ++i) {
    }
    return !stat || field == "Z";
}

TEST(ChildProcess, AProgramStillRunningAtItsTimeIsKilledWithItsGroup) {
    Command command(shell("sleep 60 & echo $!; wait"));
    command.ownProcessGroup = true;
    Child child(command);
    EXPECT_FALSE(child.wait(50ms).has_value()) << "ended by itself";
    const Exit done = child.finish(100ms);
    EXPECT_TRUE(done.timedOut);
    EXPECT_EQ(done.signal, SIGKILL);
    const std::string sleeper = done.out.substr(0, done.out.find('\n'));
    ASSERT_FALSE(sleeper.empty());
    // The group's other process goes with it; a moment for the kill to land.
    for (int i = 0; i < 500 && !gone(sleeper); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(gone(sleeper)) << "process " << sleeper << " of the group still runs";
}

TEST(ChildProcess, TheEnvironmentChangesAndTheWorkingFolderApply) {
    testsupport::TempDir dir;
    setenv("CR_TOOLKIT_REMOVED", "still here", 1);
    Command command(shell("printf '%s|%s|%s' \"$CR_TOOLKIT_SET\" \"${CR_TOOLKIT_REMOVED-removed}\" \"$(pwd -P)\""),
                    {{"CR_TOOLKIT_SET", "set"}, {"CR_TOOLKIT_REMOVED", std::nullopt}});
    command.workingFolder = dir.path();
    const Exit done = testsupport::run(command);
    unsetenv("CR_TOOLKIT_REMOVED");
    EXPECT_EQ(done.out, "set|removed|" + std::filesystem::canonical(dir.path()).string());
}

TEST(ChildProcess, StreamsComeFromTextAndGoToFilesAndDescriptors) {
    testsupport::TempDir dir;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    Command command(shell("read line; echo \"$line\"; echo \"to the pipe\" >&2"));
    command.in = Stream::text("given\n");
    command.out = Stream::file(dir.file("out.txt"));
    command.err = Stream::descriptor(fds[1]);
    const Exit done = testsupport::run(command);
    close(fds[1]);
    char piped[64] = {};
    EXPECT_EQ(read(fds[0], piped, sizeof piped - 1), 12);
    close(fds[0]);
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_EQ(std::string(piped), "to the pipe\n");
    const testsupport::Bytes written = testsupport::readFile(dir.file("out.txt"));
    EXPECT_EQ(std::string(written.begin(), written.end()), "given\n");
    EXPECT_EQ(done.out, "") << "not captured";
}

TEST(ChildProcess, AProgramThatCannotBeStartedIsAnError) {
    EXPECT_THROW(Child({"/no/such/program"}), std::runtime_error);
    EXPECT_THROW(Child({"cr-no-such-program-in-path"}), std::runtime_error);
    Command elsewhere({"/bin/sh", "-c", "true"});
    elsewhere.workingFolder = "/no/such/folder";
    EXPECT_THROW(Child{elsewhere}, std::runtime_error);
}

TEST(MeasuredRun, ReportsTheProgramsEndAndItsOwnPeakMemory) {
    const testsupport::MeasuredExit done = testsupport::runMeasured(shell("printf measured; exit 4"));
    EXPECT_EQ(done.exitCode, 4);
    EXPECT_EQ(done.signal, 0);
    EXPECT_EQ(done.out, "measured");
    EXPECT_GT(done.peakRssKb, 0);
    // The shell's own, not the test process's, which is larger.
    EXPECT_LT(done.peakRssKb, 16 * 1024);

    testsupport::Limits small;
    small.fileSizeBytes = 10;
    testsupport::TempDir dir;
    const testsupport::MeasuredExit limited =
        testsupport::runMeasured(shell("printf 0123456789ABCDEF > '" + dir.file("big") + "'"), small);
    EXPECT_NE(limited.exitCode, 0) << "the write past the file size limit failed";
    EXPECT_EQ(limited.signal, 0) << "SIGXFSZ is ignored: the write fails instead";
}

}  // namespace
