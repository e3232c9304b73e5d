#include "quality.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

Quality measureQuality(const ImageView& original, const ImageView& reduced, const Palette& palette) {
    assert(original.width == reduced.width && original.height == reduced.height);
    Quality q;
    q.paletteCount = palette.count;
    // Sums of squares kept exact: at most 255^2 per channel and pixel, under
    // 2^50 for the largest picture the reader takes.
    std::uint64_t squares[3] = {0, 0, 0};
    // One bit per possible colour that the reduced picture holds.
    std::vector<std::uint64_t> seen(std::size_t{1} << 18, 0);
    int maxError = 0;
    if (!original.empty() && !reduced.empty()) {
        for (std::int32_t y = 0; y < reduced.height; ++y) {
            const std::uint8_t* before = original.at(0, y);
            const std::uint8_t* after = reduced.at(0, y);
            for (std::int32_t x = 0; x < reduced.width; ++x, before += 3, after += 3) {
                // Stored blue, green, red.
                for (int c = 0; c < 3; ++c) {
                    const int d = std::abs(static_cast<int>(before[2 - c]) - static_cast<int>(after[2 - c]));
                    squares[c] += static_cast<std::uint64_t>(d * d);
                    if (d > maxError) maxError = d;
                }
                const std::uint32_t key = static_cast<std::uint32_t>(after[2]) << 16 |
                                          static_cast<std::uint32_t>(after[1]) << 8 | after[0];
                seen[key >> 6] |= std::uint64_t{1} << (key & 63);
            }
        }
        const double pixels = static_cast<double>(reduced.width) * reduced.height;
        for (int c = 0; c < 3; ++c) q.channelMse[c] = static_cast<double>(squares[c]) / pixels;
        q.mse = static_cast<double>(squares[0] + squares[1] + squares[2]) / (3.0 * pixels);
    }
    q.maxError = maxError;
    q.psnr = q.mse == 0.0 ? std::numeric_limits<double>::infinity() : 10.0 * std::log10(255.0 * 255.0 / q.mse);
    for (int k = 0; k < palette.count; ++k) {
        const std::uint32_t key = static_cast<std::uint32_t>(palette.red(k)) << 16 |
                                  static_cast<std::uint32_t>(palette.green(k)) << 8 | palette.blue(k);
        std::uint64_t& word = seen[key >> 6];
        const std::uint64_t bit = std::uint64_t{1} << (key & 63);
        if (word & bit) {
            ++q.entriesUsed;
            word &= ~bit;  // a later entry of the same colour holds no pixel
        }
    }
    return q;
}

namespace {

// Two decimals, rounded from the exact value of the double: the same bytes
// on every system and in every locale.
std::string twoDecimals(double value) {
    if (std::isinf(value)) return "inf";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string formatQuality(const Quality& q) {
    return "quality: MSE " + twoDecimals(q.mse) + " (R " + twoDecimals(q.channelMse[0]) + " G " +
           twoDecimals(q.channelMse[1]) + " B " + twoDecimals(q.channelMse[2]) + "), PSNR " + twoDecimals(q.psnr) +
           " dB, max error " + std::to_string(q.maxError) + ", " + std::to_string(q.entriesUsed) + " of " +
           std::to_string(q.paletteCount) + " entries used\n";
}
