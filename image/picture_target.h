// Where a reader puts the picture it read. The readers know only this, not
// the image that holds the picture, so that they link no window system: the
// programs' image is dib24, a GDI bitmap; a fuzz target's is plain memory.
#pragma once

#include "image_view.h"

#include <cstdint>

class PictureTarget {
public:
    // Makes the image at the picture's size, its old contents gone, laid out
    // as picture_geometry.h says, with `resolution` in dots per inch. Returns
    // its pixels, or a view with null pixels when it could not be made (a
    // zero side, or not enough memory).
    virtual ImageView make(std::int32_t width, std::int32_t height, std::int32_t resolution) = 0;

protected:
    ~PictureTarget() = default;
};
