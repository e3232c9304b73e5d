#include "pass_internals.h"
#include "phases.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

namespace pass {

Cut chooseCut(const ColorCount* first, const ColorCount* last) {
    std::int32_t minimum[3] = {255, 255, 255};
    std::int32_t maximum[3] = {0, 0, 0};
    std::int64_t weighted[3] = {0, 0, 0};
    std::int64_t total = 0;
    for (const ColorCount* c = first; c != last; ++c) {
        for (int ch = 0; ch < 3; ++ch) {
            const std::int32_t v = channelOf(c->key, ch);
            minimum[ch] = std::min(minimum[ch], v);
            maximum[ch] = std::max(maximum[ch], v);
            weighted[ch] += static_cast<std::int64_t>(v) * c->count;
        }
        total += c->count;
    }
    // Spreads are rounded by adding 0.5 and truncating; blue weighs 0.6.
    const auto red = static_cast<std::int32_t>((maximum[0] - minimum[0]) + 0.5);
    const auto green = static_cast<std::int32_t>((maximum[1] - minimum[1]) + 0.5);
    const auto blue = static_cast<std::int32_t>((maximum[2] - minimum[2]) * 0.6 + 0.5);
    const std::int32_t largest = std::max(red, std::max(green, blue));
    if (largest <= 0) return Cut{-1, 0};
    const int channel = largest == red ? 0 : largest == green ? 1 : 2;
    // The count-weighted mean, rounded down; 64-bit sums keep it exact on
    // images of any size the reader accepts.
    return Cut{channel, weighted[channel] / total};
}

bool cutBox(ColorCount* colors, std::vector<BoxRange>& boxes, std::int32_t box) {
    const BoxRange range = boxes[static_cast<std::size_t>(box)];
    const Cut cut = chooseCut(colors + range.begin, colors + range.end);
    if (cut.channel < 0) return false;
    // The lower part becomes the new box, the upper part keeps the number.
    const ColorCount* middle = std::partition(colors + range.begin, colors + range.end, [&cut](const ColorCount& c) {
        return channelOf(c.key, cut.channel) <= cut.mean;
    });
    const auto split = static_cast<std::uint32_t>(middle - colors);
    boxes[static_cast<std::size_t>(box)].begin = split;
    boxes.push_back(BoxRange{range.begin, split});
    return true;
}

std::int32_t cutBoxes(ColorCount* colors, std::uint32_t colorCount, std::int32_t limit,
                      std::vector<BoxRange>& boxes) {
    assert(limit >= 1);
    boxes.assign(1, BoxRange{0, colorCount});
    boxes.reserve(static_cast<std::size_t>(limit));
    // Tasks are appended one depth deeper than the task being split, so
    // taking them in the order of appending is breadth-first.
    std::vector<SplitTask> tasks{{0, 0}};
    tasks.reserve(2 * static_cast<std::size_t>(limit) + 1);
    for (std::size_t next = 0; next < tasks.size() && static_cast<std::int32_t>(boxes.size()) < limit; ++next) {
        const SplitTask task = tasks[next];
        if (!cutBox(colors, boxes, task.box)) continue;
        tasks.push_back({task.box, task.depth + 1});
        tasks.push_back({static_cast<std::int32_t>(boxes.size()) - 1, task.depth + 1});
    }
    return static_cast<std::int32_t>(boxes.size());
}

}  // namespace pass

namespace {

// The used records: up to the first with a negative box, or all of them.
std::int32_t usedRecords(const ColorEntry* table, std::int32_t entryCount) {
    std::int32_t used = 0;
    while (used < entryCount && table[used].box >= 0) ++used;
    return used;
}

std::uint32_t keyOf(const ColorEntry& e) { return static_cast<std::uint32_t>(colorKey(e.red, e.green, e.blue)); }

}  // namespace

void splitBox(std::vector<SplitTask>& workList, ColorEntry* table, std::int32_t entryCount, std::int32_t& boxCount,
              std::int32_t box, std::int32_t depth, std::int32_t limit) {
    if (boxCount >= limit) return;
    const std::int32_t used = usedRecords(table, entryCount);
    // The colours of the box, as the one box of a compact array, cut by the pass.
    std::vector<pass::ColorCount> members;
    for (std::int32_t i = 0; i < used; ++i) {
        if (table[i].box == box) members.push_back({keyOf(table[i]), static_cast<std::uint32_t>(table[i].count)});
    }
    std::vector<pass::BoxRange> halves{{0, static_cast<std::uint32_t>(members.size())}};
    if (!pass::cutBox(members.data(), halves, 0)) return;
    // halves[1], the lower part, becomes the new box.
    std::vector<std::uint32_t> lower;
    for (std::uint32_t i = halves[1].begin; i < halves[1].end; ++i) lower.push_back(members[i].key);
    std::sort(lower.begin(), lower.end());
    const std::int32_t newBox = boxCount++;
    for (std::int32_t i = 0; i < used; ++i) {
        if (table[i].box == box && std::binary_search(lower.begin(), lower.end(), keyOf(table[i]))) table[i].box = newBox;
    }
    workList.push_back({box, depth + 1});
    workList.push_back({newBox, depth + 1});
}

std::int32_t medianCut(ColorEntry* table, std::int32_t entryCount, std::int32_t limit) {
    assert(limit >= 1);
    const std::int32_t used = usedRecords(table, entryCount);
    // Cut a compact copy in key order, then give each record the box of its
    // colour (records of one colour always share a box).
    std::vector<pass::ColorCount> colors(static_cast<std::size_t>(used));
    for (std::int32_t i = 0; i < used; ++i) {
        colors[static_cast<std::size_t>(i)] = {keyOf(table[i]), static_cast<std::uint32_t>(table[i].count)};
    }
    std::vector<pass::BoxRange> boxes;
    const std::int32_t boxCount =
        pass::cutBoxes(colors.data(), static_cast<std::uint32_t>(used), limit, boxes);
    std::vector<std::pair<std::uint32_t, std::int32_t>> boxOfKey(static_cast<std::size_t>(used));
    for (std::int32_t b = 0; b < boxCount; ++b) {
        const pass::BoxRange& range = boxes[static_cast<std::size_t>(b)];
        for (std::uint32_t i = range.begin; i < range.end; ++i) boxOfKey[i] = {colors[i].key, b};
    }
    std::sort(boxOfKey.begin(), boxOfKey.end());
    for (std::int32_t i = 0; i < used; ++i) {
        const auto found = std::lower_bound(boxOfKey.begin(), boxOfKey.end(),
                                            std::pair<std::uint32_t, std::int32_t>{keyOf(table[i]), -1});
        table[i].box = found->second;
    }
    return boxCount;
}
