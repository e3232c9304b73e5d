// The converter's watch over its own run: how long each phase took, for the
// times line of --verbose,
//   times: read 0.004 s, census 0.011 s, median cut 0.002 s, palette 0.000 s,
//   remap 0.030 s, write 0.002 s, total 0.050 s   (one line)
// and, when there is one, the progress line told which phase is on.
#pragma once

#include "pass_observer.h"
#include "progress_line.h"

#include <chrono>
#include <string>

enum class RunPhase { read, census, medianCut, palette, remap, write };

class RunWatch final : public PassObserver {
public:
    // Tells the progress line, from now on, which phase is on.
    void showOn(ProgressLine* progress) { progress_ = progress; }

    // The converter's own phases; the pass reports its four itself.
    void begin(RunPhase phase);
    // The current phase is over, and no other has begun.
    void pause();

    void phaseBegins(PassPhase phase) override;
    void rowsRemapped(std::int32_t done, std::int32_t total) override;

    // The line above, ending in a newline; "total" is from the start of the
    // read to the end of the last phase.
    std::string timesLine() const;

private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPhases = 6;

    ProgressLine* progress_ = nullptr;
    int current_ = -1;
    Clock::time_point since_;
    Clock::time_point first_;
    Clock::time_point last_;
    Clock::duration spent_[kPhases] = {};
};
