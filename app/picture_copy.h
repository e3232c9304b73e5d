// A copy of a loaded picture's pixels, made before the reduction pass
// rewrites the picture in place: what the viewer compares the reduced
// picture with, and what any other comparison with the original can use.
#pragma once

#include "image_view.h"

#include <cstdint>
#include <memory>

class PictureCopy {
public:
    PictureCopy() = default;
    // The copy, in the same layout; empty when its memory cannot be had
    // (or the picture is empty).
    static PictureCopy of(const ImageView& picture);

    bool empty() const { return view_.empty(); }
    // Read-only by intent: nothing writes to the original.
    ImageView view() const { return view_; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    ImageView view_;
};
