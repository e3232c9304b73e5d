// The median cut: the colours divided into boxes, breadth-first, each box
// cut on its channel of largest spread at the count-weighted mean.
#pragma once

#include "pass.h"

#include <cstdint>
#include <vector>

namespace pass {

// A box of the median cut: the colours [begin, end) of the array it cuts.
struct BoxRange {
    std::uint32_t begin;
    std::uint32_t end;
};

// How a box is cut: on `channel` (0 red, 1 green, 2 blue) at `mean`, colours
// at or below the mean going to the new box; channel -1 when the box holds
// one colour (or none) and stays whole.
struct Cut {
    int channel;
    std::int64_t mean;
};

// The least and greatest value of each channel over some colours, the
// count-weighted sum of each channel and the pixel count; all exact, and
// the same whatever the order of the colours.
struct Extent {
    std::uint32_t minimum[3];
    std::uint32_t maximum[3];
    std::uint64_t weighted[3];
    std::uint64_t total;
    // The extent of no colours, which adds nothing to another.
    static Extent none() { return Extent{{255, 255, 255}, {0, 0, 0}, {0, 0, 0}, 0}; }
};
void add(Extent& to, const Extent& e);
// The cut of a box of this extent.
Cut cutOf(const Extent& e);
// REQUIRES: every count at least 1.
Cut chooseCut(const ColorCount* first, const ColorCount* last, Variant variant = Variant::Best);

// Splits box `box` of `colors` at its cut: its colours at or below the mean
// move to the front of its range and become a new box, numbered
// boxes.size(), and box `box` keeps the rest. false, with nothing changed,
// when the box stays whole.
bool cutBox(ColorCount* colors, std::vector<BoxRange>& boxes, std::int32_t box, Variant variant = Variant::Best);

// Median cut over `colors` (reordered in place): fills `boxes`, indexed by
// box number, and returns the box count, 1 to limit. Up to `workers`
// workers share the colours of each depth of the cut.
// REQUIRES: limit >= 1, workers >= 1.
std::int32_t cutBoxes(ColorCount* colors, std::uint32_t colorCount, std::int32_t limit,
                      std::vector<BoxRange>& boxes, Variant variant = Variant::Best, int workers = 1);

}  // namespace pass
