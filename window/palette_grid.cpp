#include "palette_grid.h"

#include "view_compose.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kTrackGrey = 0x00;
constexpr std::uint8_t kBarGrey = 0xFF;

void fill(const ImageView& target, const Box& box, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    for (std::int32_t y = box.top; y < box.bottom; ++y) {
        std::uint8_t* p = target.at(box.left, y);
        for (std::int32_t x = box.left; x < box.right; ++x, p += 3) {
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    }
}

}  // namespace

PaletteGrid paletteGrid(int entries, Size client) {
    PaletteGrid best;
    std::int32_t bestSide = -1;
    for (int columns = 1; columns <= std::max(entries, 1); ++columns) {
        const int rows = (std::max(entries, 1) + columns - 1) / columns;
        const std::int32_t side = std::min(client.width / columns, client.height / rows);
        if (side > bestSide) {
            bestSide = side;
            best = PaletteGrid{columns, rows};
        }
    }
    return best;
}

PaletteCell paletteCell(const PaletteGrid& grid, Size client, int entry, std::int64_t count, std::int64_t largest) {
    const int column = entry % grid.columns, row = entry / grid.columns;
    PaletteCell c;
    // Cell edges at even shares of the client, so that the cells fill it.
    c.cell = Box{static_cast<std::int32_t>(static_cast<std::int64_t>(column) * client.width / grid.columns),
                 static_cast<std::int32_t>(static_cast<std::int64_t>(row) * client.height / grid.rows),
                 static_cast<std::int32_t>(static_cast<std::int64_t>(column + 1) * client.width / grid.columns),
                 static_cast<std::int32_t>(static_cast<std::int64_t>(row + 1) * client.height / grid.rows)};
    Box inner = c.cell;
    if (inner.right - inner.left > 3) --inner.right;
    if (inner.bottom - inner.top > 3) --inner.bottom;
    const std::int32_t height = inner.bottom - inner.top;
    const std::int32_t trackHeight = height >= 2 ? std::max(1, height / 5) : 0;
    c.swatch = Box{inner.left, inner.top, inner.right, inner.bottom - trackHeight};
    c.track = Box{inner.left, inner.bottom - trackHeight, inner.right, inner.bottom};
    std::int64_t length = 0;
    if (count > 0 && largest > 0)
        length = std::max<std::int64_t>(1, (inner.right - inner.left) * std::min(count, largest) / largest);
    c.bar = Box{c.track.left, c.track.top, c.track.left + static_cast<std::int32_t>(length), c.track.bottom};
    if (length == 0) c.bar.bottom = c.bar.top;
    return c;
}

void composePalette(const ImageView& target, const Palette& palette, const EntryCounts& counts) {
    const Size client{target.width, target.height};
    fill(target, Box{0, 0, client.width, client.height}, kBackgroundGrey, kBackgroundGrey, kBackgroundGrey);
    const int entries = std::max(palette.count, 0);
    const std::int64_t largest = entries ? *std::max_element(counts.begin(), counts.begin() + entries) : 0;
    const PaletteGrid grid = paletteGrid(entries, client);
    for (int k = 0; k < entries; ++k) {
        const PaletteCell c = paletteCell(grid, client, k, counts[static_cast<std::size_t>(k)], largest);
        fill(target, c.swatch, palette.blue(k), palette.green(k), palette.red(k));
        fill(target, c.track, kTrackGrey, kTrackGrey, kTrackGrey);
        fill(target, c.bar, kBarGrey, kBarGrey, kBarGrey);
    }
}
