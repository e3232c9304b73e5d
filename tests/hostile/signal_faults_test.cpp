// The batch converter told to stop (SIGTERM, SIGINT, SIGHUP) at several
// points of its run: it ends by that signal, leaves no temporary file, and
// an earlier file at the output path is exactly as it was. A standard
// output that closes early is a failed write of the statistics.
//
// The points are found by what the converter shows, never by time: its input
// is a pipe that the test fills (loading), its statistics go to a pipe that
// the test reads (during the pass, during the write).
#include "bmp_builder.h"
#include "child_process.h"
#include "pictures.h"
#include "temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace hostile {
namespace {

using namespace std::chrono_literals;
using testsupport::Bytes;
using testsupport::Child;
using testsupport::Exit;
using testsupport::TempDir;

const Bytes kOldContents{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e', '\n'};
constexpr std::int32_t kWidth = 2000;
constexpr std::int32_t kHeight = 1500;

// Noise: a full palette (long statistics) and the slowest remap there is, so
// that the pass and the write take a good while after the points are seen.
class SignalFaultTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        inputs_ = new TempDir;
        picture_ = testsupport::bmp24(testsupport::noise(kWidth, kHeight, 23));
        testsupport::writeFile(inputs_->file("noise.bmp"), picture_);
    }
    static void TearDownTestSuite() {
        delete inputs_;
        inputs_ = nullptr;
        Bytes().swap(picture_);
    }

    void SetUp() override {
        output_ = dir_.file("out.bmp");
        testsupport::writeFile(output_, kOldContents);
    }

    static std::string input() { return inputs_->file("noise.bmp"); }

    // The converter on the noise, its statistics written to `fd`.
    testsupport::Command statisticsTo(int fd) const {
        testsupport::Command command({REDUCEBMP_PATH, input(), output_});
        command.out = testsupport::Stream::descriptor(fd);
        return command;
    }

    // Ended by `signal`, with the folder and the old file as before.
    void expectEndedBy(Child& child, int signal, const std::vector<std::string>& others = {}) {
        const Exit finished = child.finish(60s);
        EXPECT_EQ(finished.signal, signal) << "exit code " << finished.exitCode << ": " << finished.err;
        std::vector<std::string> names = others;
        names.push_back("out.bmp");
        std::sort(names.begin(), names.end());
        EXPECT_EQ(dir_.entries(), names) << "a temporary file was left";
        EXPECT_EQ(testsupport::readFile(output_), kOldContents);
    }

    TempDir dir_;
    std::string output_;
    static TempDir* inputs_;
    static Bytes picture_;
};

TempDir* SignalFaultTest::inputs_ = nullptr;
Bytes SignalFaultTest::picture_;

const int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The read end of a pipe that the converter writes its statistics to.
class StatisticsPipe {
public:
    explicit StatisticsPipe(int capacity = 0) {
        if (pipe(fds_) != 0) return;
        shrunk_ = capacity > 0 && fcntl(fds_[1], F_SETPIPE_SZ, capacity) == capacity;
    }
    bool shrunk() const { return shrunk_; }
    ~StatisticsPipe() {
        closeWriteEnd();
        if (fds_[0] >= 0) close(fds_[0]);
    }
    int writeEnd() const { return fds_[1]; }
    void closeWriteEnd() {
        if (fds_[1] >= 0) close(fds_[1]);
        fds_[1] = -1;
    }
    // Reads until the text holds `line` and the end of that line, or up to
    // the end; an empty `line`: until anything has come.
    std::string readThrough(const std::string& line) {
        const auto seen = [&] {
            if (line.empty()) return !text_.empty();
            const std::size_t at = text_.find(line);
            return at != std::string::npos && text_.find('\n', at) != std::string::npos;
        };
        while (!seen()) {
            char buffer[4096];
            const ssize_t got = read(fds_[0], buffer, sizeof buffer);
            if (got <= 0) break;
            text_.append(buffer, static_cast<std::size_t>(got));
        }
        return text_;
    }
    // Waits until the converter has put some bytes in the pipe, reading none.
    bool waitForBytes() {
        pollfd p{fds_[0], POLLIN, 0};
        return poll(&p, 1, 60000) == 1 && (p.revents & POLLIN) != 0;
    }
    const std::string& text() const { return text_; }

private:
    int fds_[2] = {-1, -1};
    bool shrunk_ = false;
    std::string text_;
};

TEST_F(SignalFaultTest, WhileTheInputIsBeingReadNothingIsWritten) {
    for (const int signal : kSignals) {
        const std::string fifo = dir_.file("in.fifo");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        Child child({REDUCEBMP_PATH, fifo, output_});
        {
            // Half the file, then the converter waits for more.
            const int writer = open(fifo.c_str(), O_WRONLY);
            ASSERT_GE(writer, 0);
            ASSERT_EQ(write(writer, picture_.data(), picture_.size() / 2), static_cast<ssize_t>(picture_.size() / 2));
            kill(child.pid(), signal);
            expectEndedBy(child, signal, {"in.fifo"});
            close(writer);
        }
        unlink(fifo.c_str());
    }
}

// The statistics are longer than the pipe and the converter's own buffer
// together: once it has written some, it cannot leave the pass until the
// test reads, and the test does not.
TEST_F(SignalFaultTest, DuringThePassTheTemporaryFileIsRemoved) {
    for (const int signal : kSignals) {
        StatisticsPipe statistics(4096);
        ASSERT_TRUE(statistics.shrunk()) << "cannot make the pipe small";
        Child child(statisticsTo(statistics.writeEnd()));
        statistics.closeWriteEnd();
        ASSERT_TRUE(statistics.waitForBytes());
        kill(child.pid(), signal);
        expectEndedBy(child, signal);
    }
}

// The last statistics come out after the remap, just before the picture is
// written: the signal comes while the remap runs or while it is written.
TEST_F(SignalFaultTest, DuringTheRemapOrTheWriteTheTemporaryFileIsRemoved) {
    int stopped = 0;
    for (const int signal : kSignals) {
        for (const bool allStatistics : {false, true}) {
            StatisticsPipe statistics;
            Child child(statisticsTo(statistics.writeEnd()));
            statistics.closeWriteEnd();
            // Before the remap the converter has written a buffer or two of
            // statistics; the rest, after it.
            statistics.readThrough(allStatistics ? "pal[255] " : "");
            kill(child.pid(), signal);
            const Exit finished = child.finish(60s);
            if (finished.exitCode == 0) {
                // It was done before the signal came: the whole picture, at
                // its place. Nothing else may have happened.
                EXPECT_EQ(dir_.entries(), (std::vector<std::string>{"out.bmp"}));
                EXPECT_EQ(testsupport::getU32(testsupport::readFile(output_), 2), 54u + 1024u + kWidth * kHeight);
                testsupport::writeFile(output_, kOldContents);
                continue;
            }
            EXPECT_EQ(finished.signal, signal) << finished.err;
            EXPECT_EQ(dir_.entries(), (std::vector<std::string>{"out.bmp"})) << "a temporary file was left";
            EXPECT_EQ(testsupport::readFile(output_), kOldContents);
            ++stopped;
        }
    }
    // A signal sent before the remap has long to wait for its end.
    EXPECT_GT(stopped, 0) << "every run was done before its signal came: nothing was tested";
}

// `reducebmp IN OUT | head -2`: the reader goes away. The statistics cannot
// be written, which is reported, and no temporary file is left.
TEST_F(SignalFaultTest, AStandardOutputThatClosesEarlyIsAFailedWrite) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    Child child(statisticsTo(fds[1]));
    close(fds[1]);
    const Exit finished = child.finish(60s);
    EXPECT_EQ(finished.signal, 0) << "ended by a signal instead of reporting the failed write";
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_NE(finished.err.find("reducebmp: cannot write the statistics to standard output"), std::string::npos)
        << finished.err;
    EXPECT_EQ(dir_.entries(), (std::vector<std::string>{"out.bmp"}));
}

}  // namespace
}  // namespace hostile
