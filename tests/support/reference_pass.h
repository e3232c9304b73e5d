// The reduction pass written in its plainest form, kept beside the tests as
// the yardstick for the fast pass in reduce/: an ordered map for the census,
// a colour table of width x height records ended by the first record with a
// negative box, three rescans of the table per split, one rescan per palette
// entry, and a scan of the whole palette for every pixel. Slow on purpose;
// every line it prints and every pixel it leaves must match the fast pass.
//
// The only liberty taken: sums that would overflow 32 bits on images of more
// than 8,421,504 pixels are held in 64 bits, as in the fast pass.
#pragma once

#include "color_table.h"
#include "image_view.h"
#include "palette.h"
#include "table_phases.h"
#include "text_sink.h"

#include <cstdint>
#include <vector>

namespace reference {

// A table of width x height records; the used ones come first, in order of
// first appearance, and the first record with a negative box ends them
// (unless every pixel has a colour of its own).
ColorTable takeCensus(const ImageView& image, TextSink& out);

std::int32_t medianCut(ColorEntry* table, std::int32_t entryCount, std::int32_t limit);
void splitBox(std::vector<SplitTask>& workList, ColorEntry* table, std::int32_t entryCount, std::int32_t& boxCount,
              std::int32_t box, std::int32_t depth, std::int32_t limit);

void derivePalette(const ColorEntry* table, std::int32_t entryCount, std::int32_t paletteCount, Palette& palette,
                   TextSink& out);

void remapToPalette(const ImageView& image, const Palette& palette, std::int32_t paletteCount, double* currentRow,
                    double* nextRow);

// The whole pass: census, "color count", median cut, "palette count",
// palette lines, remap.
Palette reduceImage(const ImageView& image, TextSink& out);

}  // namespace reference
