// The converter on streams: "-" for standard input and output, the
// statistics moved to standard error when the picture takes standard
// output, and the progress line, which shows on a terminal only.
#include "converter_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace testsupport;
using namespace converter;
namespace fs = std::filesystem;

namespace {

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class Streams : public Reducebmp {
protected:
    void SetUp() override {
        writeFile(path("in.bmp"), input);
        reference = run({path("in.bmp"), path("reference.bmp")});
        ASSERT_EQ(reference.exitCode, 0) << reference.err;
        ASSERT_NE(reference.out, "");
    }
    const Bytes input = bmp24(testCard(47, 29, 2));
    Exit reference;
};

}  // namespace

TEST_F(Streams, DashReadsStandardInputAndWritesStandardOutput) {
    const std::string picture = textOf(readFile(path("reference.bmp")));

    Command fromInput = command({"-", path("from-input.bmp")});
    fromInput.in = Stream::file(path("in.bmp"));
    const Exit read = run(fromInput);
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, reference.out);
    EXPECT_EQ(read.err, "");
    EXPECT_EQ(readFile(path("from-input.bmp")), readFile(path("reference.bmp")));

    // The picture alone on standard output, the statistics on standard error;
    // by "-" or by another name of standard output.
    for (const char* output : {"-", "/dev/stdout"}) {
        SCOPED_TRACE(output);
        const Exit written = run({path("in.bmp"), output});
        EXPECT_EQ(written.exitCode, 0) << written.err;
        EXPECT_EQ(written.out, picture);
        EXPECT_EQ(written.err, reference.out);
    }

    Command both = command({"-v", "-", "-"});
    both.in = Stream::text(textOf(input));  // a pipe
    const Exit streamed = run(both);
    EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
    EXPECT_EQ(streamed.out, picture);
    ASSERT_EQ(streamed.err.rfind(reference.out, 0), 0u) << streamed.err;
    EXPECT_NE(streamed.err.find("\nquality: MSE "), std::string::npos) << streamed.err;
}

TEST_F(Streams, AStreamThatIsNotAPictureIsReportedWithoutTouchingStandardOutput) {
    Command notBmp = command({"-", "-"});
    notBmp.in = Stream::text("hello");
    const Exit r = run(notBmp);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Cannot load input file : -\nreducebmp: -: the file is shorter than its headers: 5 bytes, where they "
                     "take 14\n");
}

TEST_F(Streams, AStandardOutputThatFailsIsAFailedWrite) {
    Command full = command({path("in.bmp"), "-"});
    full.out = Stream::file("/dev/full");
    const Exit r = run(full);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("reducebmp: cannot write standard output: write failed"), std::string::npos) << r.err;
}

namespace {

// A pseudo-terminal: the converter's end, and what the terminal received.
class Terminal {
public:
    Terminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) throw std::runtime_error("no pty slave");
        reader_ = std::thread([this] {
            char buffer[4096];
            for (;;) {
                const ssize_t got = read(master_, buffer, sizeof buffer);
                if (got > 0) received_.append(buffer, static_cast<std::size_t>(got));
                else if (got < 0 && errno == EINTR) continue;
                else break;  // EIO once every copy of the converter's end is closed
            }
        });
    }
    ~Terminal() {
        closeOurEnd();
        if (reader_.joinable()) reader_.join();
        close(master_);
    }
    int end() const { return slave_; }
    // Once the converter has started with its copy.
    void closeOurEnd() {
        if (slave_ >= 0) close(slave_);
        slave_ = -1;
    }
    // Everything, once the converter has ended.
    std::string received() {
        closeOurEnd();
        reader_.join();
        return received_;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::thread reader_;
    std::string received_;
};

// What a terminal shows for that text: a carriage return goes back to the
// start of the line and what follows overwrites it. Trailing blanks dropped.
std::vector<std::string> screenOf(const std::string& text) {
    std::vector<std::string> lines(1);
    std::size_t column = 0;
    for (const char c : text) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& line = lines.back();
            if (column < line.size()) line[column] = c;
            else line.push_back(c);
            ++column;
        }
    }
    for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

// The input comes in two pieces, the second two seconds after the first,
// so that the run lasts past the second after which progress shows.
void feedSlowly(int pipeEnd, const Bytes& file) {
    const std::size_t first = 54;
    EXPECT_EQ(write(pipeEnd, file.data(), first), static_cast<ssize_t>(first));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(write(pipeEnd, file.data() + first, file.size() - first), static_cast<ssize_t>(file.size() - first));
    close(pipeEnd);
}

Exit runFedSlowly(Command command, const Bytes& file) {
    int feed[2];
    if (pipe2(feed, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    command.in = Stream::descriptor(feed[0]);
    Child converter(command);
    close(feed[0]);
    feedSlowly(feed[1], file);
    return converter.finish(std::chrono::seconds(30));
}

}  // namespace

TEST_F(Streams, ALongRunShowsItsPhaseOnATerminalAndClearsItAtTheEnd) {
    Terminal terminal;
    Command slow = command({"-v", "-", path("out.bmp")});
    slow.err = Stream::descriptor(terminal.end());
    const Exit r = runFedSlowly(slow, input);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, reference.out);  // standard output is no terminal here: untouched
    const std::string shown = terminal.received();
    EXPECT_NE(shown.find("\rreducebmp: read"), std::string::npos) << shown;
    // Cleared before the last words: the screen holds the three lines of -v alone.
    const std::vector<std::string> screen = screenOf(shown);
    ASSERT_EQ(screen.size(), 3u) << shown;
    EXPECT_EQ(screen[0].rfind("input: ", 0), 0u) << shown;
    EXPECT_EQ(screen[2].rfind("quality: ", 0), 0u) << shown;
}

// The statistics on the same terminal are written around the progress line,
// which never runs into them.
TEST_F(Streams, StatisticsOnTheSameTerminalKeepTheirLines) {
    Terminal terminal;
    Command slow = command({"-", path("out.bmp")});
    slow.out = Stream::descriptor(terminal.end());
    slow.err = Stream::descriptor(terminal.end());
    const Exit r = runFedSlowly(slow, input);
    EXPECT_EQ(r.exitCode, 0);
    const std::string shown = terminal.received();
    EXPECT_NE(shown.find("reducebmp: read"), std::string::npos) << shown;
    std::vector<std::string> expected = screenOf(reference.out);
    EXPECT_EQ(screenOf(shown), expected);
}

TEST_F(Streams, NoProgressThroughAPipeNorWhenQuiet) {
    const Exit piped = runFedSlowly(command({"-", path("out.bmp")}), input);
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(piped.err, "");

    Terminal terminal;
    Command quiet = command({"-q", "-", path("out.bmp")});
    quiet.err = Stream::descriptor(terminal.end());
    const Exit r = runFedSlowly(quiet, input);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(terminal.received(), "");
}
