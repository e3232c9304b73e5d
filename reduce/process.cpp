#include "process.h"

#include "pass_internals.h"

#include <string>
#include <vector>

Palette reduceImage(const ImageView& image, TextSink& out) {
    const int workers = pass::workersFor(image);

    std::vector<pass::ColorCount> colors = pass::countColors(image, workers);
    const std::int64_t pixelCount = image.empty() ? 0 : static_cast<std::int64_t>(image.width) * image.height;
    if (static_cast<std::int64_t>(colors.size()) > pixelCount) out.write("Internal error in process()\n");
    out.write("color count: " + std::to_string(colors.size()) + "\n");

    std::vector<pass::BoxRange> boxes;
    const std::int32_t paletteCount = pass::cutBoxes(colors.data(), static_cast<std::uint32_t>(colors.size()),
                                                     kMaxPaletteEntries, boxes);
    out.write("palette count:" + std::to_string(paletteCount) + "\n");

    std::vector<pass::BoxSums> sums(static_cast<std::size_t>(paletteCount));
    for (std::int32_t k = 0; k < paletteCount; ++k) {
        const pass::BoxRange& box = boxes[static_cast<std::size_t>(k)];
        for (std::uint32_t i = box.begin; i < box.end; ++i) sums[static_cast<std::size_t>(k)].add(colors[i].key, colors[i].count);
    }
    std::vector<pass::ColorCount>().swap(colors);
    Palette palette;
    pass::makePalette(sums.data(), paletteCount, palette, out);

    pass::remapImage(image, palette, paletteCount, workers, nullptr, nullptr);
    return palette;
}
