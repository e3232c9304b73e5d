#include "median_cut.h"

#include <algorithm>
#include <cstdint>

namespace {

std::int32_t channel(const ColorEntry& entry, int which) {
    return which == 0 ? entry.red : which == 1 ? entry.green : entry.blue;
}

// Spreads are rounded by adding 0.5 and truncating; blue weighs 0.6.
std::int32_t roundedSpread(std::int32_t spread, double weight) {
    return static_cast<std::int32_t>(spread * weight + 0.5);
}

}  // namespace

void splitBox(std::vector<SplitTask>& workList, ColorEntry* table, std::int32_t entryCount, std::int32_t& boxCount,
              std::int32_t box, std::int32_t depth, std::int32_t limit) {
    if (boxCount >= limit) return;
    const std::int32_t newBox = boxCount;

    std::int32_t minimum[3] = {255, 255, 255};
    std::int32_t maximum[3] = {0, 0, 0};
    for (std::int32_t i = 0; i < entryCount && table[i].box >= 0; ++i) {
        if (table[i].box != box) continue;
        for (int c = 0; c < 3; ++c) {
            const std::int32_t v = channel(table[i], c);
            if (v > maximum[c]) maximum[c] = v;
            if (v < minimum[c]) minimum[c] = v;
        }
    }
    const std::int32_t red = roundedSpread(maximum[0] - minimum[0], 1.0);
    const std::int32_t green = roundedSpread(maximum[1] - minimum[1], 1.0);
    const std::int32_t blue = roundedSpread(maximum[2] - minimum[2], 0.6);
    const std::int32_t largest = std::max(red, std::max(green, blue));
    if (largest <= 0) return;
    const int cut = largest == red ? 0 : largest == green ? 1 : 2;

    // 64-bit sums keep the mean exact beyond 8,421,504 pixels.
    std::int64_t weighted = 0;
    std::int64_t total = 0;
    for (std::int32_t i = 0; i < entryCount && table[i].box >= 0; ++i) {
        if (table[i].box != box) continue;
        weighted += static_cast<std::int64_t>(channel(table[i], cut)) * table[i].count;
        total += table[i].count;
    }
    const std::int64_t mean = weighted / total;

    for (std::int32_t i = 0; i < entryCount && table[i].box >= 0; ++i) {
        if (table[i].box == box && channel(table[i], cut) <= mean) table[i].box = newBox;
    }
    ++boxCount;
    workList.push_back({box, depth + 1});
    workList.push_back({newBox, depth + 1});
}

std::int32_t medianCut(ColorEntry* table, std::int32_t entryCount, std::int32_t limit) {
    std::int32_t boxCount = 1;
    std::int32_t level = 0;
    std::vector<SplitTask> workList{{0, 0}};
    while (!workList.empty()) {
        auto task = std::find_if(workList.begin(), workList.end(), [&](const SplitTask& t) { return t.depth == level; });
        if (task == workList.end()) {
            ++level;
            continue;
        }
        const SplitTask taken = *task;
        workList.erase(task);
        splitBox(workList, table, entryCount, boxCount, taken.box, taken.depth, limit);
    }
    return boxCount;
}
