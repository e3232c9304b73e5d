#include "write_indexed_png.h"

#include <cstring>

int indexedPngBitDepth(int paletteCount) {
    if (paletteCount <= 2) return 1;
    if (paletteCount <= 4) return 2;
    if (paletteCount <= 16) return 4;
    return 8;
}

void packIndexRow(const ImageView& image, const ColorToIndex& indexOf, std::int32_t y, int bitDepth,
                  std::uint8_t* out) {
    const std::uint8_t* source = image.pixels + static_cast<std::int64_t>(image.height - 1 - y) * image.stride;
    if (bitDepth == 8) {
        for (std::int32_t x = 0; x < image.width; ++x, source += 3) {
            out[x] = indexOf.find(ColorToIndex::key(source[2], source[1], source[0]));
        }
        return;
    }
    std::memset(out, 0, (static_cast<std::size_t>(image.width) * bitDepth + 7) / 8);
    for (std::int32_t x = 0; x < image.width; ++x, source += 3) {
        const std::uint32_t index = indexOf.find(ColorToIndex::key(source[2], source[1], source[0]));
        const std::size_t bit = static_cast<std::size_t>(x) * bitDepth;
        out[bit / 8] = static_cast<std::uint8_t>(out[bit / 8] | index << (8 - bitDepth - bit % 8));
    }
}
