// The palette as a picture: the entries as a grid of swatches in entry
// order, row by row, filling the client area; below each swatch's colour a
// bar shows the entry's pixel count against the largest entry's count.
#pragma once

#include "image_view.h"
#include "palette.h"
#include "reduce_image.h"
#include "view_state.h"

struct PaletteGrid {
    int columns = 1;
    int rows = 1;
};

// The columns and rows whose cells have the longest short side; of equals,
// the fewest columns.
PaletteGrid paletteGrid(int entries, Size client);

struct Box {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom excluded
    bool operator==(const Box& o) const { return left == o.left && top == o.top && right == o.right && bottom == o.bottom; }
};

// One entry's cell: its whole share of the client area, and within it the
// swatch, the bar's track below the swatch and the bar on that track, from
// its left end. Cells of more than 3 pixels keep a 1-pixel gap on their
// right and bottom edges; the track is a fifth of the rest's height.
struct PaletteCell {
    Box cell;
    Box swatch;
    Box track;
    Box bar;  // empty for an entry of no pixels
};
PaletteCell paletteCell(const PaletteGrid& grid, Size client, int entry, std::int64_t count, std::int64_t largest);

// The palette view into `target` (a buffer of the client's size): the
// background, then each entry's swatch, track and bar.
void composePalette(const ImageView& target, const Palette& palette, const EntryCounts& counts);
