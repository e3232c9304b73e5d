// Writes a reduced image as an indexed PNG: the palette with exactly its
// count of entries, the smallest bit depth of 1, 2, 4 or 8 that holds them,
// pHYs from the resolution (none when it is 0) and no gamma chunk. Each
// pixel is the lowest index of its colour, as in the indexed BMP. Written by
// libpng on Linux (write_indexed_png_libpng.cpp) and by the Windows Imaging
// Component's PNG encoder on Windows (write_indexed_png_wic.cpp).
#pragma once

#include "color_to_index.h"
#include "image_view.h"
#include "palette.h"
#include "write_indexed_bmp.h"

#include <cstdint>

// 1, 2, 4 or 8: the fewest bits per index that reach every entry.
int indexedPngBitDepth(int paletteCount);

// REQUIRES: 1 <= palette.count <= 256; every pixel of `image` has a colour
// of `palette` (as the pass leaves both). false when the image is empty
// (a PNG has at least one pixel) or the writer refused a piece.
bool writeIndexedPng(const ImageView& image, const Palette& palette, std::int32_t pelsPerMetre,
                     const ByteWriter& write);

// Picture row y (counted from the top) as packed indices of `bitDepth` bits,
// the leftmost pixel in the high bits; `out` holds (width x bitDepth + 7) / 8 bytes.
void packIndexRow(const ImageView& image, const ColorToIndex& indexOf, std::int32_t y, int bitDepth,
                  std::uint8_t* out);
