#include "derive_palette.h"

#include "format_g.h"

#include <cstdint>
#include <string>

std::string paletteLine(int index, double count, int red, int green, int blue) {
    return "pal[" + std::to_string(index) + "] (count:" + formatG(count) + ") : " + std::to_string(red) + ", " +
           std::to_string(green) + ", " + std::to_string(blue) + "\n";
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
            // Products in 64 bits: exact beyond 8,421,504 pixels, and still
            // whole numbers below 2^53 once added up as doubles.
            total += static_cast<double>(e.count);
            sum[0] += static_cast<double>(static_cast<std::int64_t>(e.red) * e.count);
            sum[1] += static_cast<double>(static_cast<std::int64_t>(e.green) * e.count);
            sum[2] += static_cast<double>(static_cast<std::int64_t>(e.blue) * e.count);
        }
        double component[3] = {sum[0], sum[1], sum[2]};
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
