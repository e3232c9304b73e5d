// Nearest-colour remap with six-tap error diffusion.
//
// Pixels are visited in picture order. Each takes trunc(source + received
// error) per channel (not clamped), chooses the palette entry at the smallest
// distance max(|dR|, |dG|, trunc(|dB| x 0.6)) (the lowest index on a tie),
// passes on source - chosen with the weights 0.35 right, 0.1 two right,
// 0.35 below, 0.1 below right, 0.05 below two right and 0.05 below left,
// and is overwritten with the chosen colour.
#pragma once

#include "image_view.h"
#include "palette.h"

#include <cstdint>

// REQUIRES: 1 <= paletteCount <= 256 when the image has pixels; currentRow and
// nextRow each hold (width + 2) x 3 zeroed doubles.
void remapToPalette(const ImageView& image, const Palette& palette, std::int32_t paletteCount, double* currentRow,
                    double* nextRow);
