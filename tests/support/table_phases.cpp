#include "table_phases.h"

#include "census.h"
#include "derive_palette.h"
#include "median_cut.h"
#include "pass.h"
#include "remap.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <utility>

ColorTable takeCensus(const ImageView& image, TextSink& out) {
    ColorTable table;
    if (image.empty()) return table;
    const std::int64_t pixelCount = static_cast<std::int64_t>(image.width) * image.height;
    const pass::ColorIndex index(image, pass::workersFor(image));
    // The record number of each colour, by rank; records are numbered as
    // their colours first appear, top row first, left to right.
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> recordOf(index.distinct(), kNone);
    table.reserve(index.distinct());
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.at(0, y);
        for (std::int32_t x = 0; x < image.width; ++x, p += 3) {
            std::uint32_t& record = recordOf[index.rank(static_cast<std::uint32_t>(colorKey(p[2], p[1], p[0])))];
            if (record != kNone) {
                ++table[record].count;
                continue;
            }
            record = static_cast<std::uint32_t>(table.size());
            table.push_back(ColorEntry{p[2], p[1], p[0], 0, 1});
            if (static_cast<std::int64_t>(table.size()) > pixelCount) out.write("Internal error in process()\n");
        }
    }
    return table;
}

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

void derivePalette(const ColorEntry* table, std::int32_t entryCount, std::int32_t paletteCount, Palette& palette,
                   TextSink& out) {
    assert(paletteCount >= 1 && paletteCount <= kMaxPaletteEntries);
    // One pass over the used records, each adding to the sums of its box.
    std::vector<pass::BoxSums> sums(static_cast<std::size_t>(paletteCount));
    for (std::int32_t i = 0; i < entryCount && table[i].box >= 0; ++i) {
        const ColorEntry& e = table[i];
        assert(e.box < paletteCount && "every used record's box has an entry");
        sums[static_cast<std::size_t>(e.box)].add(static_cast<std::uint32_t>(colorKey(e.red, e.green, e.blue)), e.count);
    }
    pass::makePalette(sums.data(), paletteCount, palette, out);
}

void remapToPalette(const ImageView& image, const Palette& palette, std::int32_t paletteCount, double* currentRow,
                    double* nextRow) {
    if (image.empty()) return;
    const std::size_t rowDoubles = (static_cast<std::size_t>(image.width) + 2) * 3;
    // Leaves the rows as the two-row scheme does: the current row holds what
    // the bottom row passed on, the next row is zero.
    pass::remapImage(image, palette, paletteCount, pass::workersFor(image), currentRow, currentRow);
    std::fill(nextRow, nextRow + rowDoubles, 0.0);
}
