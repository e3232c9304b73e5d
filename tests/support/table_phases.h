// The reduction pass one phase at a time, on the colour table of
// color_table.h: census, median cut (and its single split), palette
// derivation, remap. The plain reference pass (reference_pass.h) works on the
// same table, so the differential tests compare the two phase by phase.
//
// The programs never go this way: reduceImage (reduce_image.h) runs the pass's own
// code on a compact array of colours in key order (pass.h and the header of
// each phase). Each function here converts between the table and the pass's
// own forms around that same code (the colour index, the cut of a box, the
// making of the entries, the remap), so that a phase checked here is the
// phase the programs run.
#pragma once

#include "color_table.h"
#include "image_view.h"
#include "palette.h"
#include "text_sink.h"

#include <cstdint>
#include <vector>

// Census: one record per distinct colour of the image, numbered by first
// appearance in picture order (top row first, left to right), with the number
// of pixels of that colour. Returns exactly the used records (box 0,
// count >= 1), so later phases are handed table.size() as the entry count
// and need no end mark. Writes "Internal error in process()" to `out` should
// the records ever outnumber the pixels (they cannot: every record has a
// pixel of its own).
ColorTable takeCensus(const ImageView& image, TextSink& out);

// Median cut: divides the used records (the first `entryCount`, up to the
// first empty one) into at most `limit` boxes, breadth-first, each split on
// the channel of largest spread (blue weighted by 0.6) at the count-weighted
// mean of that channel. Rewrites the `box` of every used record and returns
// the number of boxes, 1 to `limit`.
// REQUIRES: limit >= 1.
std::int32_t medianCut(ColorEntry* table, std::int32_t entryCount, std::int32_t limit);

struct SplitTask {
    std::int32_t box;
    std::int32_t depth;
};

// One split of the median cut: splits box `box` at `depth` in two, or leaves
// it alone when it has one colour or `boxCount` has reached `limit`. A split
// appends (box, depth + 1) and (new box, depth + 1) to the work list and
// raises `boxCount` by one.
void splitBox(std::vector<SplitTask>& workList, ColorEntry* table, std::int32_t entryCount, std::int32_t& boxCount,
              std::int32_t box, std::int32_t depth, std::int32_t limit);

// Palette derivation: entry k is the count-weighted mean colour of box k,
// each component sum x (1.0 / total), truncated. Reports each entry as
//   "pal[%d] (count:%g) : %d, %d, %d\n"
// in entry order.
// REQUIRES: 1 <= paletteCount <= 256; every used record's box below paletteCount.
void derivePalette(const ColorEntry* table, std::int32_t entryCount, std::int32_t paletteCount, Palette& palette,
                   TextSink& out);

// Remap: nearest-colour remap with six-tap error diffusion. Pixels are
// visited in picture order. Each takes trunc(source + received error) per
// channel (not clamped), chooses the palette entry at the smallest distance
// max(|dR|, |dG|, trunc(|dB| x 0.6)) (the lowest index on a tie), passes on
// source - chosen with the weights 0.35 right, 0.1 two right, 0.35 below,
// 0.1 below right, 0.05 below two right and 0.05 below left, and is
// overwritten with the chosen colour. `currentRow` holds the error already
// waiting for the top row (zeros in the pass); on return it holds what the
// bottom row passed on, and `nextRow` is zero.
// REQUIRES: 1 <= paletteCount <= 256 when the image has pixels; currentRow and
// nextRow each hold (width + 2) x 3 doubles.
void remapToPalette(const ImageView& image, const Palette& palette, std::int32_t paletteCount, double* currentRow,
                    double* nextRow);
