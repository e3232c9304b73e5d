// The reduction pass: census, median cut, palette derivation and remap, run
// in that order on one image, rewriting its pixels in place so that it uses
// at most 256 colours. Writes, in this order:
//   "color count: %d\n", "palette count:%d\n", and one
//   "pal[%d] (count:%g) : %d, %d, %d\n" per palette entry.
//
// This is the programs' way into the pass; pass.h and the header of each
// phase hold the parts it runs.
#pragma once

#include "chosen_entries.h"
#include "image_view.h"
#include "palette.h"
#include "pass_observer.h"
#include "text_sink.h"

#include <array>
#include <cstdint>

// Returns the palette that every pixel now holds one colour of. The lowest
// index of a colour in it is the entry that its pixels chose. Running short
// of memory throws std::bad_alloc, with every worker thread of the pass
// joined; the image may then be partly rewritten. `observer`, when given,
// hears of each phase and of the remap's rows; the lines and the pixels are
// the same with it or without.
Palette reduceImage(const ImageView& image, TextSink& out, PassObserver* observer = nullptr);

// The pixel count of each entry's box, the counts the report prints; entries
// past the palette's count are 0.
using EntryCounts = std::array<std::int64_t, kMaxPaletteEntries>;

// The same pass, also handing back the count of each entry.
Palette reduceImage(const ImageView& image, TextSink& out, EntryCounts& counts, PassObserver* observer = nullptr);

// The same pass, also handing back the entry of each pixel. The entries take
// a byte a pixel, allocated once the census's colours are given back, and
// only where they fit in what those colours took and 8 MB more; otherwise
// `chosen` comes back empty.
Palette reduceImage(const ImageView& image, TextSink& out, ChosenEntries& chosen, PassObserver* observer = nullptr);
