// The colour table of the reduction pass: one record per distinct colour.
//
// The census fills records 0, 1, 2, ... in the order in which their colours
// first appear, top row first, left to right. A record whose `box` is
// negative is empty and ends the used part of the table; scans stop there or
// after `entryCount` records, whichever comes first. After the census only
// `box` ever changes, and never to a negative value.
#pragma once

#include <cstdint>
#include <vector>

struct ColorEntry {
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    std::int32_t box = -1;
    std::int32_t count = 0;
};

using ColorTable = std::vector<ColorEntry>;

// The key that identifies a colour: red << 16 | green << 8 | blue.
inline std::int32_t colorKey(std::int32_t red, std::int32_t green, std::int32_t blue) {
    return (red << 16) | (green << 8) | blue;
}
