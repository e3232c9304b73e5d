// Palette derivation: one entry per box, its count-weighted mean colour,
// with the report line of each entry.
#pragma once

#include "median_cut.h"
#include "palette.h"
#include "pass.h"
#include "text_sink.h"

#include <cstdint>
#include <vector>

namespace pass {

// The pixel count of a box and its count-weighted colour sums; exact.
struct BoxSums {
    std::int64_t total = 0;
    std::int64_t red = 0;
    std::int64_t green = 0;
    std::int64_t blue = 0;
    void add(std::uint32_t key, std::int64_t count) {
        total += count;
        red += channelOf(key, 0) * count;
        green += channelOf(key, 1) * count;
        blue += channelOf(key, 2) * count;
    }
};

// The sums of each box of `colors`, by box number, added by up to `workers`
// workers.
std::vector<BoxSums> sumBoxes(const ColorCount* colors, const std::vector<BoxRange>& boxes, int workers = 1);

// Makes entry k of the palette from sums[k] and writes its report line, for
// k = 0 .. paletteCount - 1.
// REQUIRES: 1 <= paletteCount <= 256.
void makePalette(const BoxSums* sums, std::int32_t paletteCount, Palette& palette, TextSink& out);

}  // namespace pass
