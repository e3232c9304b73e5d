#include "reduce_image.h"

#include "census.h"
#include "derive_palette.h"
#include "key_order_cut.h"
#include "median_cut.h"
#include "pass.h"
#include "remap.h"

#include <string>
#include <vector>

Palette reduceImage(const ImageView& image, TextSink& out, PassObserver* observer) {
    return pass::reduce(image, out, pass::Variant::Best, observer);
}

Palette reduceImage(const ImageView& image, TextSink& out, EntryCounts& counts, PassObserver* observer) {
    return pass::reduce(image, out, pass::Variant::Best, observer, &counts);
}

Palette reduceImage(const ImageView& image, TextSink& out, ChosenEntries& chosen, PassObserver* observer) {
    return pass::reduce(image, out, pass::Variant::Best, observer, nullptr, &chosen);
}

namespace pass {

namespace {

void announce(PassObserver* observer, PassPhase phase) {
    if (observer) observer->phaseBegins(phase);
}

}  // namespace

Palette reduce(const ImageView& image, TextSink& out, Variant variant, PassObserver* observer, EntryCounts* counts,
               ChosenEntries* chosen) {
    const int workers = workersFor(image);

    announce(observer, PassPhase::census);
    ColorList colors = countColors(image, workers, variant);
    const std::int64_t pixelCount = image.empty() ? 0 : static_cast<std::int64_t>(image.width) * image.height;
    // The census's consistency check. It cannot fire (every colour has a pixel of
    // its own); the line is the one the report has always had for it.
    if (static_cast<std::int64_t>(colors.size()) > pixelCount) out.write("Internal error in process()\n");
    out.write("color count: " + std::to_string(colors.size()) + "\n");

    announce(observer, PassPhase::medianCut);
    const auto colorCount = static_cast<std::uint32_t>(colors.size());
    std::vector<BoxSums> sums;
    std::vector<BoxRange> boxes;
    // Millions of colours are cut where the census left them, and their
    // sums come with the cut; fewer are cut apart, which is then cheaper.
    const bool inKeyOrder = variant == Variant::Best && colorCount >= kKeyOrderCutFrom;
    const std::int32_t paletteCount =
        inKeyOrder ? cutInKeyOrder(colors.data(), colorCount, kMaxPaletteEntries, sums, workers)
                   : cutBoxes(colors.data(), colorCount, kMaxPaletteEntries, boxes, variant, workers);
    out.write("palette count:" + std::to_string(paletteCount) + "\n");

    announce(observer, PassPhase::palette);
    if (!inKeyOrder) sums = sumBoxes(colors.data(), boxes, workers);
    const std::uint64_t colorBytes = colors.size() * sizeof(ColorCount);
    ColorList().swap(colors);
    if (counts) {
        counts->fill(0);
        for (std::size_t k = 0; k < sums.size(); ++k) (*counts)[k] = sums[k].total;
    }
    Palette palette;
    makePalette(sums.data(), paletteCount, palette, out);

    if (chosen) {
        // A byte a pixel, made where it fits in what the colours gave back
        // and 8 MB more: then it never takes the pass much past the memory
        // that the census needed. A large picture of few colours goes
        // without, and its writer looks the pixels up.
        constexpr std::uint64_t kEntriesAllowance = std::uint64_t{8} << 20;
        const auto wanted = static_cast<std::uint64_t>(pixelCount);
        chosen->allocate(wanted <= colorBytes + kEntriesAllowance ? static_cast<std::size_t>(wanted) : 0);
    }
    announce(observer, PassPhase::remap);
    remapImage(image, palette, paletteCount, workers, nullptr, nullptr, variant, observer,
               chosen ? chosen->data() : nullptr);
    return palette;
}

}  // namespace pass
