#include "derive_palette.h"

#include "format_g.h"
#include "workers.h"

#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The report line of one entry.
std::string paletteLine(int index, double count, int red, int green, int blue) {
    return "pal[" + std::to_string(index) + "] (count:" + formatG(count) + ") : " + std::to_string(red) + ", " +
           std::to_string(green) + ", " + std::to_string(blue) + "\n";
}

}  // namespace

namespace pass {

std::vector<BoxSums> sumBoxes(const ColorCount* colors, const std::vector<BoxRange>& boxes, int workers) {
    std::vector<BoxSums> sums(boxes.size());
    // Whole boxes to each worker, about the same number of colours to each;
    // the sums are exact, so who adds which box does not show.
    std::uint64_t total = 0;
    for (const BoxRange& b : boxes) total += b.end - b.begin;
    std::vector<std::size_t> firstBox;
    runWorkers(
        total < (std::uint64_t{1} << 16) ? 1 : workers,
        [&](int started) {
            firstBox.assign(static_cast<std::size_t>(started) + 1, boxes.size());
            std::uint64_t given = 0;
            int worker = 0;
            firstBox[0] = 0;
            for (std::size_t k = 0; k < boxes.size(); ++k) {
                while (worker + 1 < started && given >= total * static_cast<std::uint64_t>(worker + 1) / started) {
                    firstBox[static_cast<std::size_t>(++worker)] = k;
                }
                given += boxes[k].end - boxes[k].begin;
            }
        },
        [&](int worker) {
            const auto w = static_cast<std::size_t>(worker);
            for (std::size_t k = firstBox[w]; k < firstBox[w + 1]; ++k) {
                for (std::uint32_t i = boxes[k].begin; i < boxes[k].end; ++i) {
                    sums[k].add(colors[i].key, colors[i].count);
                }
            }
        });
    return sums;
}

void makePalette(const BoxSums* sums, std::int32_t paletteCount, Palette& palette, TextSink& out) {
    assert(paletteCount >= 1 && paletteCount <= kMaxPaletteEntries);
    palette.count = paletteCount;
    for (std::int32_t k = 0; k < paletteCount; ++k) {
        // The sums are whole numbers below 2^53, so these doubles are exactly
        // what adding up record by record in doubles would give.
        const BoxSums& s = sums[k];
        const auto total = static_cast<double>(s.total);
        double component[3] = {static_cast<double>(s.red), static_cast<double>(s.green),
                               static_cast<double>(s.blue)};
        if (total > 0.0) {
            // A product with the reciprocal, not a quotient: 255 x 49 gives 254.
            const double reciprocal = 1.0 / total;
            for (double& c : component) c *= reciprocal;
        }
        for (int c = 0; c < 3; ++c) {
            palette.rgb[static_cast<std::size_t>(3 * k + c)] =
                static_cast<std::uint8_t>(static_cast<std::int32_t>(component[c]) & 0xFF);
        }
        out.write(paletteLine(k, total, palette.red(k), palette.green(k), palette.blue(k)));
    }
}

}  // namespace pass
