#include "run_watch.h"

#include <charconv>

namespace {

const char* const kNames[] = {"read", "census", "median cut", "palette", "remap", "write"};

RunPhase runPhaseOf(PassPhase phase) {
    switch (phase) {
        case PassPhase::census: return RunPhase::census;
        case PassPhase::medianCut: return RunPhase::medianCut;
        case PassPhase::palette: return RunPhase::palette;
        case PassPhase::remap: break;
    }
    return RunPhase::remap;
}

std::string seconds(std::chrono::steady_clock::duration duration) {
    const double value = std::chrono::duration<double>(duration).count();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    return std::string(buffer, result.ptr) + " s";
}

}  // namespace

void RunWatch::begin(RunPhase phase) {
    pause();
    current_ = static_cast<int>(phase);
    since_ = Clock::now();
    if (phase == RunPhase::read) first_ = since_;
    if (progress_) progress_->show(kNames[current_]);
}

void RunWatch::pause() {
    if (current_ < 0) return;
    last_ = Clock::now();
    spent_[current_] += last_ - since_;
    current_ = -1;
}

void RunWatch::phaseBegins(PassPhase phase) { begin(runPhaseOf(phase)); }

void RunWatch::rowsRemapped(std::int32_t done, std::int32_t total) {
    if (progress_) progress_->showRows(done, total);
}

std::string RunWatch::timesLine() const {
    std::string line = "times:";
    for (int p = 0; p < kPhases; ++p) line += std::string(p == 0 ? " " : ", ") + kNames[p] + " " + seconds(spent_[p]);
    return line + ", total " + seconds(last_ - first_) + "\n";
}
