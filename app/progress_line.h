// The converter's progress on a terminal: once a run has taken more than a
// second, one line on standard error names the current phase ("reducebmp:
// remap 45%" in the remap), rewritten in place as the run goes on and
// cleared when it ends. Drawn by a thread of its own a few times a second,
// so that the pass only stores where it is and never waits for the
// terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "text_sink.h"

class ProgressLine {
public:
    // Starts the drawing thread; the second counts from now.
    ProgressLine(const char* program, std::FILE* terminal);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // From any thread. `phase` is a string that outlives the line.
    void show(const char* phase);
    void showRows(std::int32_t done, std::int32_t total);

    // Clears the line and stops the thread, before the run's last words on
    // the terminal; safe to repeat.
    void stop();

    // Writes text to a stream that shows on the same terminal, with the
    // line cleared first so that the two never run into each other.
    void writeAbove(std::FILE* stream, std::string_view text);

private:
    void draw();
    void clearLocked();

    const char* program_;
    std::FILE* terminal_;
    const std::chrono::steady_clock::time_point started_;
    std::atomic<const char*> phase_{""};
    std::atomic<int> percent_{-1};  // -1 outside the remap
    std::mutex mutex_;               // the terminal, shown_ and stopping_
    std::condition_variable wake_;
    bool stopping_ = false;
    std::size_t shown_ = 0;  // characters of the line now on the terminal
    std::thread thread_;
};

// The pass's statistics, when they show on the progress line's terminal.
class AroundProgressSink final : public TextSink {
public:
    AroundProgressSink(ProgressLine& progress, std::FILE* stream) : progress_(progress), stream_(stream) {}
    void write(std::string_view text) override { progress_.writeAbove(stream_, text); }

private:
    ProgressLine& progress_;
    std::FILE* stream_;
};
