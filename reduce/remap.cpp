#include "remap.h"

#include <cstdlib>
#include <cstring>

void remapToPalette(const ImageView& image, const Palette& palette, std::int32_t paletteCount, double* currentRow,
                    double* nextRow) {
    const std::int32_t width = image.width;
    const std::size_t rowDoubles = (static_cast<std::size_t>(width) + 2) * 3;
    for (std::int32_t y = 0; y < image.height; ++y) {
        std::uint8_t* p = image.at(0, y);
        for (std::int32_t x = 0; x < width; ++x, p += 3) {
            const std::int32_t source[3] = {p[2], p[1], p[0]};
            std::int32_t adjusted[3];
            for (int c = 0; c < 3; ++c) adjusted[c] = static_cast<std::int32_t>(source[c] + currentRow[3 * x + c]);

            int chosen = 0;
            std::int32_t best = 0;
            for (std::int32_t k = 0; k < paletteCount; ++k) {
                const std::int32_t dR = std::abs(palette.red(k) - adjusted[0]);
                const std::int32_t dG = std::abs(palette.green(k) - adjusted[1]);
                const std::int32_t dB = std::abs(palette.blue(k) - adjusted[2]);
                std::int32_t distance = dR > dG ? dR : dG;
                const auto weightedBlue = static_cast<std::int32_t>(dB * 0.6);
                if (weightedBlue > distance) distance = weightedBlue;
                if (k == 0 || distance < best) {
                    chosen = static_cast<int>(k);
                    best = distance;
                }
            }
            const std::int32_t chosenRgb[3] = {palette.red(chosen), palette.green(chosen), palette.blue(chosen)};
            for (int c = 0; c < 3; ++c) {
                // The error passed on comes from the source, not the adjusted value.
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
