// Palette derivation: entry k is the count-weighted mean colour of box k,
// each component sum x (1.0 / total), truncated. Reports each entry as
//   "pal[%d] (count:%g) : %d, %d, %d\n"
// in entry order.
#pragma once

#include "color_table.h"
#include "palette.h"
#include "text_sink.h"

// REQUIRES: 1 <= paletteCount <= 256; every used record's box below paletteCount.
void derivePalette(const ColorEntry* table, std::int32_t entryCount, std::int32_t paletteCount, Palette& palette,
                   TextSink& out);

// The report line of one entry.
std::string paletteLine(int index, double count, int red, int green, int blue);
