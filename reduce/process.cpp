#include "process.h"

#include "pass_internals.h"

#include <string>
#include <vector>

Palette reduceImage(const ImageView& image, TextSink& out) { return pass::reduce(image, out, pass::Variant::Best); }

namespace pass {

Palette reduce(const ImageView& image, TextSink& out, Variant variant) {
    const int workers = workersFor(image);

    std::vector<ColorCount> colors = countColors(image, workers, variant);
    const std::int64_t pixelCount = image.empty() ? 0 : static_cast<std::int64_t>(image.width) * image.height;
    // The census's consistency check. It cannot fire (every colour has a pixel of
    // its own); the line is the one the report has always had for it.
    if (static_cast<std::int64_t>(colors.size()) > pixelCount) out.write("Internal error in process()\n");
    out.write("color count: " + std::to_string(colors.size()) + "\n");

    std::vector<BoxRange> boxes;
    const std::int32_t paletteCount =
        cutBoxes(colors.data(), static_cast<std::uint32_t>(colors.size()), kMaxPaletteEntries, boxes, variant, workers);
    out.write("palette count:" + std::to_string(paletteCount) + "\n");

    const std::vector<BoxSums> sums = sumBoxes(colors.data(), boxes);
    std::vector<ColorCount>().swap(colors);
    Palette palette;
    makePalette(sums.data(), paletteCount, palette, out);

    remapImage(image, palette, paletteCount, workers, nullptr, nullptr, variant);
    return palette;
}

}  // namespace pass
