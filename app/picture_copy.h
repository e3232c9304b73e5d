// A copy of a picture's pixels as they were before the pass, which rewrites
// the picture in place: what the reduced picture is measured against (the
// quality figures of --verbose) and, in the viewer, what Space shows and the
// difference compares with.
#pragma once

#include "image_view.h"

#include <cstdint>
#include <vector>

class PictureCopy {
public:
    // false, with nothing kept, when memory is too short for the copy.
    bool take(const ImageView& image) noexcept {
        try {
            const std::size_t bytes =
                image.empty() ? 0 : static_cast<std::size_t>(image.stride) * static_cast<std::size_t>(image.height);
            bytes_.assign(image.pixels, image.pixels + bytes);
            view_ = image;
            view_.pixels = bytes_.empty() ? nullptr : bytes_.data();
            return true;
        } catch (...) {
            std::vector<std::uint8_t>().swap(bytes_);
            view_ = ImageView{};
            return false;
        }
    }
    const ImageView& view() const { return view_; }

private:
    std::vector<std::uint8_t> bytes_;
    ImageView view_;
};
