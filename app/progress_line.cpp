#include "progress_line.h"

namespace {

constexpr std::chrono::seconds kQuietStart{1};               // short runs show nothing
constexpr std::chrono::milliseconds kRedrawEvery{125};

}  // namespace

ProgressLine::ProgressLine(const char* program, std::FILE* terminal)
    : program_(program), terminal_(terminal), started_(std::chrono::steady_clock::now()) {
    thread_ = std::thread([this] { draw(); });
}

ProgressLine::~ProgressLine() { stop(); }

void ProgressLine::show(const char* phase) {
    percent_.store(-1, std::memory_order_relaxed);
    phase_.store(phase, std::memory_order_relaxed);
}

void ProgressLine::showRows(std::int32_t done, std::int32_t total) {
    if (total > 0) percent_.store(static_cast<int>(std::int64_t{done} * 100 / total), std::memory_order_relaxed);
}

void ProgressLine::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    const std::lock_guard<std::mutex> lock(mutex_);
    clearLocked();
}

void ProgressLine::writeAbove(std::FILE* stream, std::string_view text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    clearLocked();
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// Spaces over the old text rather than an escape sequence: every terminal
// and every Windows console takes them.
void ProgressLine::clearLocked() {
    if (shown_ == 0) return;
    std::fprintf(terminal_, "\r%s\r", std::string(shown_, ' ').c_str());
    std::fflush(terminal_);
    shown_ = 0;
}

void ProgressLine::draw() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_until(lock, started_ + kQuietStart, [this] { return stopping_; })) return;
    std::string last;
    do {
        std::string text = std::string(program_) + ": " + phase_.load(std::memory_order_relaxed);
        const int percent = percent_.load(std::memory_order_relaxed);
        if (percent >= 0) text += " " + std::to_string(percent) + "%";
        if (text != last || shown_ == 0) {
            // Padded to the old length, so that a shorter text leaves nothing of it.
            std::string padded = text;
            if (padded.size() < shown_) padded.append(shown_ - padded.size(), ' ');
            std::fprintf(terminal_, "\r%s", padded.c_str());
            std::fflush(terminal_);
            shown_ = padded.size();
            last = text;
        }
    } while (!wake_.wait_for(lock, kRedrawEvery, [this] { return stopping_; }));
}
