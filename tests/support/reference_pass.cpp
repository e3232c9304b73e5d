#include "reference_pass.h"

#include "format_g.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace reference {

ColorTable takeCensus(const ImageView& image, TextSink& out) {
    const std::int64_t pixelCount =
        image.empty() ? 0 : static_cast<std::int64_t>(image.width) * static_cast<std::int64_t>(image.height);
    ColorTable table(static_cast<std::size_t>(pixelCount));  // every record empty: box -1
    std::map<std::int32_t, std::int32_t> colorIndex;
    std::int64_t used = 0;
    for (std::int32_t y = 0; y < (image.empty() ? 0 : image.height); ++y) {
        for (std::int32_t x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.at(x, y);
            const std::int32_t key = colorKey(p[2], p[1], p[0]);
            const auto found = colorIndex.find(key);
            if (found != colorIndex.end()) {
                ++table[static_cast<std::size_t>(found->second)].count;
                continue;
            }
            ColorEntry& record = table[static_cast<std::size_t>(used)];
            record.red = p[2];
            record.green = p[1];
            record.blue = p[0];
            record.box = 0;
            record.count = 1;
            colorIndex.emplace(key, static_cast<std::int32_t>(used));
            ++used;
            if (used > pixelCount) out.write("Internal error in process()\n");
        }
    }
    return table;
}

namespace {

std::int32_t channel(const ColorEntry& entry, int which) {
    return which == 0 ? entry.red : which == 1 ? entry.green : entry.blue;
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
    const auto red = static_cast<std::int32_t>((maximum[0] - minimum[0]) + 0.5);
    const auto green = static_cast<std::int32_t>((maximum[1] - minimum[1]) + 0.5);
    const auto blue = static_cast<std::int32_t>((maximum[2] - minimum[2]) * 0.6 + 0.5);
    const std::int32_t largest = std::max(red, std::max(green, blue));
    if (largest <= 0) return;
    const int cut = largest == red ? 0 : largest == green ? 1 : 2;

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
        auto task =
            std::find_if(workList.begin(), workList.end(), [&](const SplitTask& t) { return t.depth == level; });
        if (task == workList.end()) {
            ++level;
            continue;
        }
        const SplitTask taken = *task;
        workList.erase(task);
        reference::splitBox(workList, table, entryCount, boxCount, taken.box, taken.depth, limit);
    }
    return boxCount;
}

void derivePalette(const ColorEntry* table, std::int32_t entryCount, std::int32_t paletteCount, Palette& palette,
                   TextSink& out) {
    palette.count = paletteCount;
    for (std::int32_t k = 0; k < paletteCount; ++k) {
        double total = 0.0;
        double sum[3] = {0.0, 0.0, 0.0};
        for (std::int32_t i = 0; i < entryCount && table[i].box >= 0; ++i) {
            const ColorEntry& e = table[i];
            if (e.box != k) continue;
            total += static_cast<double>(e.count);
            sum[0] += static_cast<double>(static_cast<std::int64_t>(e.red) * e.count);
            sum[1] += static_cast<double>(static_cast<std::int64_t>(e.green) * e.count);
            sum[2] += static_cast<double>(static_cast<std::int64_t>(e.blue) * e.count);
        }
        if (total > 0.0) {
            const double reciprocal = 1.0 / total;
            for (double& s : sum) s = s * reciprocal;
        }
        for (int c = 0; c < 3; ++c) {
            palette.rgb[static_cast<std::size_t>(3 * k + c)] =
                static_cast<std::uint8_t>(static_cast<std::int32_t>(sum[c]) & 0xFF);
        }
        out.write("pal[" + std::to_string(k) + "] (count:" + formatG(total) + ") : " +
                  std::to_string(palette.red(k)) + ", " + std::to_string(palette.green(k)) + ", " +
                  std::to_string(palette.blue(k)) + "\n");
    }
}

void remapToPalette(const ImageView& image, const Palette& palette, std::int32_t paletteCount, double* currentRow,
                    double* nextRow) {
    if (image.empty()) return;
    const std::int32_t width = image.width;
    const std::size_t rowDoubles = (static_cast<std::size_t>(width) + 2) * 3;
    for (std::int32_t y = 0; y < image.height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = image.at(x, y);
            const std::int32_t source[3] = {p[2], p[1], p[0]};
            std::int32_t adjusted[3];
            for (int c = 0; c < 3; ++c) adjusted[c] = static_cast<std::int32_t>(source[c] + currentRow[3 * x + c]);

            std::int32_t chosen = 0;
            std::int32_t best = 0;
            for (std::int32_t k = 0; k < paletteCount; ++k) {
                const std::int32_t dR = std::abs(palette.red(k) - adjusted[0]);
                const std::int32_t dG = std::abs(palette.green(k) - adjusted[1]);
                const std::int32_t dB = std::abs(palette.blue(k) - adjusted[2]);
                std::int32_t distance = std::max(dR, dG);
                distance = std::max(distance, static_cast<std::int32_t>(dB * 0.6));
                if (k == 0 || distance < best) {
                    chosen = k;
                    best = distance;
                }
            }
            const std::int32_t chosenRgb[3] = {palette.red(chosen), palette.green(chosen), palette.blue(chosen)};
            for (int c = 0; c < 3; ++c) {
                const std::int32_t error = source[c] - chosenRgb[c];
                currentRow[3 * (x + 1) + c] += error * 0.35;
                currentRow[3 * (x + 2) + c] += error * 0.1;
                nextRow[3 * x + c] += error * 0.35;
                nextRow[3 * (x + 1) + c] += error * 0.1;
                nextRow[3 * (x + 2) + c] += error * 0.05;
                if (x > 0) nextRow[3 * (x - 1) + c] += error * 0.05;
            }
            p[0] = static_cast<std::uint8_t>(chosenRgb[2]);
            p[1] = static_cast<std::uint8_t>(chosenRgb[1]);
            p[2] = static_cast<std::uint8_t>(chosenRgb[0]);
        }
        std::memcpy(currentRow, nextRow, rowDoubles * sizeof(double));
        std::memset(nextRow, 0, rowDoubles * sizeof(double));
    }
}

Palette reduceImage(const ImageView& image, TextSink& out) {
    const std::int64_t pixelCount =
        image.empty() ? 0 : static_cast<std::int64_t>(image.width) * static_cast<std::int64_t>(image.height);
    const auto entryCount = static_cast<std::int32_t>(pixelCount);
    ColorTable table = reference::takeCensus(image, out);
    std::int32_t colorCount = 0;
    while (colorCount < entryCount && table[static_cast<std::size_t>(colorCount)].box >= 0) ++colorCount;
    out.write("color count: " + std::to_string(colorCount) + "\n");

    const std::int32_t paletteCount = reference::medianCut(table.data(), entryCount, kMaxPaletteEntries);
    out.write("palette count:" + std::to_string(paletteCount) + "\n");

    Palette palette;
    reference::derivePalette(table.data(), entryCount, paletteCount, palette, out);

    const std::size_t rowDoubles = (static_cast<std::size_t>(image.empty() ? 0 : image.width) + 2) * 3;
    std::vector<double> currentRow(rowDoubles, 0.0);
    std::vector<double> nextRow(rowDoubles, 0.0);
    reference::remapToPalette(image, palette, paletteCount, currentRow.data(), nextRow.data());
    return palette;
}

}  // namespace reference
