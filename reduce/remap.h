// The remap: every pixel to its nearest palette entry, the error diffused.
#pragma once

#include "image_view.h"
#include "palette.h"
#include "pass.h"
#include "pass_observer.h"

#include <cstdint>
#include <vector>

namespace pass {

// The remap with error diffusion over the whole image. `firstRow`, when not
// null, holds (width + 2) x 3 doubles of error already waiting for the top
// row (zeros in the pass); when `lastRow` is not null it receives the
// (width + 2) x 3 doubles that the bottom row passed on. With more than one
// worker, rows go round the workers and each row trails the row above it
// (wavefront.h). `observer`, when not null, hears of the rows done
// (pass_observer.h). `chosen`, when not null, receives the number of the
// entry each pixel chose: image.width bytes to a row, the rows from the top.
// Running short of memory throws std::bad_alloc on the calling thread, once
// every worker has stopped.
// REQUIRES: 1 <= paletteCount <= 256 when the image has pixels.
void remapImage(const ImageView& image, const Palette& palette, std::int32_t paletteCount, int workers,
                const double* firstRow, double* lastRow, Variant variant = Variant::Best,
                PassObserver* observer = nullptr, std::uint8_t* chosen = nullptr);

}  // namespace pass
