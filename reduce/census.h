// Colour census: one record per distinct colour of the image, numbered by
// first appearance in picture order (top row first, left to right), with the
// number of pixels of that colour.
#pragma once

#include "color_table.h"
#include "image_view.h"
#include "text_sink.h"

// Returns exactly the used records (box 0, count >= 1), so later phases are
// handed table.size() as the entry count and need no end mark. Writes
// "Internal error in process()" to `out` should the records ever outnumber
// the pixels (they cannot: every record has a pixel of its own).
ColorTable takeCensus(const ImageView& image, TextSink& out);
