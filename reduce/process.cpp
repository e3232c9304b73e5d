#include "process.h"

#include "census.h"
#include "derive_palette.h"
#include "median_cut.h"
#include "remap.h"

#include <string>
#include <vector>

Palette reduceImage(const ImageView& image, TextSink& out) {
    Palette palette;
    ColorTable table = takeCensus(image, out);
    const auto entryCount = static_cast<std::int32_t>(table.size());
    out.write("color count: " + std::to_string(entryCount) + "\n");

    const std::int32_t paletteCount = medianCut(table.data(), entryCount, kMaxPaletteEntries);
    out.write("palette count:" + std::to_string(paletteCount) + "\n");

    derivePalette(table.data(), entryCount, paletteCount, palette, out);

    const std::size_t rowDoubles = (static_cast<std::size_t>(image.empty() ? 0 : image.width) + 2) * 3;
    std::vector<double> currentRow(rowDoubles, 0.0);
    std::vector<double> nextRow(rowDoubles, 0.0);
    if (!image.empty()) remapToPalette(image, palette, paletteCount, currentRow.data(), nextRow.data());
    return palette;
}
