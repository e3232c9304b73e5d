#include "write_indexed_bmp.h"

#include "color_to_index.h"
#include "pass.h"
#include "workers.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <vector>

namespace {

void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, v & 0xFFFFu);
    put16(p + 2, v >> 16);
}

constexpr std::int64_t kBlockBytes = std::int64_t{1} << 21;

// The index of each pixel of a row; the lookups look at Reach slots.
template <std::uint32_t Reach>
void indexRow(const ColorToIndex& indexOf, const std::uint8_t* source, std::int64_t width, std::uint8_t* target) {
    for (std::int64_t x = 0; x < width; ++x, source += 3) {
        target[x] = indexOf.findWithin<Reach>(ColorToIndex::key(source[2], source[1], source[0]));
    }
}

void indexRow(const ColorToIndex& indexOf, const std::uint8_t* source, std::int64_t width, std::uint8_t* target) {
    switch (indexOf.reach()) {
        case 1: return indexRow<1>(indexOf, source, width, target);
        case 2: return indexRow<2>(indexOf, source, width, target);
        case 3: case 4: return indexRow<4>(indexOf, source, width, target);
        default:
            for (std::int64_t x = 0; x < width; ++x, source += 3) {
                target[x] = indexOf.find(ColorToIndex::key(source[2], source[1], source[0]));
            }
    }
}

// Rows go out in blocks of about 2 MB: few system calls, little memory.
// fill(first, rows, block) writes the indices of file rows first ..
// first + rows - 1 (bottom row first) into the block, rowBytes to a row; the
// padding stays zero. The block lies on one large page where it can: a
// block of small pages took 500 page faults to clear.
template <typename Fill>
bool writeRowBlocks(std::int64_t height, std::int64_t rowBytes, const ByteWriter& write, Fill fill) {
    const std::int64_t rowsPerBlock = std::max<std::int64_t>(1, kBlockBytes / std::max<std::int64_t>(rowBytes, 1));
    std::vector<std::uint8_t, pass::UnsetAllocator<std::uint8_t>> block(
        static_cast<std::size_t>(rowBytes * std::min(rowsPerBlock, height)), 0);
    for (std::int64_t first = 0; first < height; first += rowsPerBlock) {
        const std::int64_t rows = std::min(rowsPerBlock, height - first);
        fill(first, rows, block.data());
        if (!write(block.data(), static_cast<std::size_t>(rows * rowBytes))) return false;
    }
    return true;
}

}  // namespace

bool writeIndexedBmp(const ImageView& image, const Palette& palette, std::int32_t pelsPerMetre,
                     const ByteWriter& write, const std::uint8_t* chosen) {
    // A count of 0 would write biClrUsed = 0, which announces 256 entries.
    assert(palette.count >= 1 && palette.count <= kMaxPaletteEntries);
    const std::int64_t width = image.empty() ? 0 : image.width;
    const std::int64_t height = image.empty() ? 0 : image.height;
    const std::int64_t rowBytes = (width + 3) / 4 * 4;
    const std::int64_t paletteBytes = 4 * static_cast<std::int64_t>(palette.count);
    const std::int64_t offBits = 14 + 40 + paletteBytes;
    const std::int64_t fileSize = offBits + rowBytes * height;
    if (fileSize > std::numeric_limits<std::int32_t>::max()) return false;

    std::vector<std::uint8_t> head(static_cast<std::size_t>(offBits), 0);
    std::uint8_t* p = head.data();
    put16(p, 0x4D42);
    put32(p + 2, static_cast<std::uint32_t>(fileSize));
    put32(p + 10, static_cast<std::uint32_t>(offBits));
    std::uint8_t* info = p + 14;
    put32(info, 40);
    put32(info + 4, static_cast<std::uint32_t>(width));
    put32(info + 8, static_cast<std::uint32_t>(height));
    put16(info + 12, 1);
    put16(info + 14, 8);
    put32(info + 16, 0);
    put32(info + 20, static_cast<std::uint32_t>(rowBytes * height));
    put32(info + 24, static_cast<std::uint32_t>(pelsPerMetre));
    put32(info + 28, static_cast<std::uint32_t>(pelsPerMetre));
    put32(info + 32, static_cast<std::uint32_t>(palette.count));
    put32(info + 36, 0);
    for (int k = 0; k < palette.count; ++k) {
        std::uint8_t* entry = info + 40 + 4 * k;
        entry[0] = palette.blue(k);
        entry[1] = palette.green(k);
        entry[2] = palette.red(k);
        entry[3] = 0;
    }
    if (!write(head.data(), head.size())) return false;
    if (chosen) {
        // The pass's entries are kept top row first.
        return writeRowBlocks(height, rowBytes, write, [&](std::int64_t first, std::int64_t rows, std::uint8_t* block) {
            for (std::int64_t r = 0; r < rows; ++r) {
                std::memcpy(block + r * rowBytes, chosen + (height - 1 - first - r) * width,
                            static_cast<std::size_t>(width));
            }
        });
    }

    // The workers of the pass share each block's rows, for a lookup per
    // pixel on one thread is a fifth of a photograph's whole run.
    const ColorToIndex indexOf(palette);
    const int workers = pass::workersFor(image);
    return writeRowBlocks(height, rowBytes, write, [&](std::int64_t first, std::int64_t rows, std::uint8_t* block) {
        int sharing = 1;
        pass::runWorkers(
            workers, [&](int started) { sharing = started; },
            [&](int worker) {
                for (std::int64_t r = rows * worker / sharing; r < rows * (worker + 1) / sharing; ++r) {
                    indexRow(indexOf, image.pixels + (first + r) * image.stride, width, block + r * rowBytes);
                }
            });
    });
}
