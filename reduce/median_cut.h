// Median cut: divides the used records of the colour table into at most
// `limit` boxes, breadth-first, each split on the channel of largest spread
// (blue weighted by 0.6) at the count-weighted mean of that channel.
#pragma once

#include "color_table.h"

#include <vector>

struct SplitTask {
    std::int32_t box;
    std::int32_t depth;
};

// Rewrites the `box` of every used record (the first `entryCount` records,
// up to the first empty one) and returns the number of boxes, 1 to `limit`.
std::int32_t medianCut(ColorEntry* table, std::int32_t entryCount, std::int32_t limit);

// Splits box `box` at `depth` in two, or leaves it alone when it has one
// colour or the limit is reached. A split appends (box, depth + 1) and
// (new box, depth + 1) to the work list and raises `boxCount` by one.
void splitBox(std::vector<SplitTask>& workList, ColorEntry* table, std::int32_t entryCount, std::int32_t& boxCount,
              std::int32_t box, std::int32_t depth, std::int32_t limit);
