// What a program can learn while the reduction pass runs: which phase it is
// in, and in the remap how many rows are done. The converter times the
// phases with it and shows its progress on a terminal; a pass given no
// observer runs exactly as before, with nothing to report to.
#pragma once

#include <cstdint>

enum class PassPhase { census, medianCut, palette, remap };

class PassObserver {
public:
    virtual ~PassObserver() = default;

    // As each phase begins, on the thread that called the pass. The pass
    // ends when reduceImage returns.
    virtual void phaseBegins(PassPhase phase) = 0;

    // During the remap, on the thread that called the pass, about a hundred
    // times over the picture: rows `done` of `total` are remapped (with
    // several workers, give or take the few rows they hold at once).
    // Must be quick and must not throw: the remap waits for it.
    virtual void rowsRemapped(std::int32_t done, std::int32_t total) = 0;
};
