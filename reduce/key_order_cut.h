// The median cut for pictures of millions of colours, without moving them.
//
// Every box of the median cut is the set of colours within a block of the
// colour cube: each cut halves a block at its mean on one channel. The
// census leaves the colours in key order, so the colours of one red and
// green lie side by side, in order of blue; a box is then measured by
// visiting the runs of the red and green values of its block and, within
// each, the stretch of its blue values. This reads the colours once a depth
// and writes nothing, where cutting them apart reads them twice and moves
// half of them: with millions of colours, most of the median cut's time.
#pragma once

#include "derive_palette.h"
#include "pass.h"

#include <cstdint>
#include <vector>

namespace pass {

// From this many colours the pass cuts them where they lie: below it the
// runs are short, and finding each box's stretch of a run costs more than
// cutting the colours apart.
constexpr std::uint32_t kKeyOrderCutFrom = std::uint32_t{1} << 23;

// The median cut of cutBoxes over `colors`, which are in ascending key
// order and stay as they are: the same boxes, numbered alike, up to `limit`.
// Fills `sums` with each box's sums, by box number, and returns the box
// count. Up to `workers` workers share each depth.
// REQUIRES: limit >= 1, workers >= 1, keys ascending.
std::int32_t cutInKeyOrder(const ColorCount* colors, std::uint32_t colorCount, std::int32_t limit,
                           std::vector<BoxSums>& sums, int workers = 1);

}  // namespace pass
