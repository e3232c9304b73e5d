// Writes a reduced image as an 8-bit indexed BMP: 14-byte file header,
// 40-byte information header with biClrUsed = the palette's count, the
// palette in entry order as blue, green, red, 0, then bottom-up rows of
// palette indices padded to 4 bytes. Each pixel is the lowest index of its
// colour, which is the entry the remap chose for it.
#pragma once

#include "image_view.h"
#include "palette.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// Receives the file's bytes in order; false stops the writing.
using ByteWriter = std::function<bool(const std::uint8_t* data, std::size_t size)>;

// REQUIRES: 1 <= palette.count <= 256; every pixel of `image` has a colour of
// `palette` (as the pass leaves both). `pelsPerMetre` goes to both resolution
// fields. `chosen`, when not null, holds the pass's entry for every pixel
// (width bytes to a row, the rows from the top), which saves looking each
// pixel's colour up. false when the writer refused a piece or the file would
// exceed the format's 32-bit sizes.
bool writeIndexedBmp(const ImageView& image, const Palette& palette, std::int32_t pelsPerMetre,
                     const ByteWriter& write, const std::uint8_t* chosen = nullptr);
