// The readers' target in plain memory, laid out as the programs' dib24: the
// image of the fuzz targets and of the tests' own decoding (decoded_picture.h),
// which link no window system.
#pragma once

#include "picture_geometry.h"
#include "picture_target.h"

#include <cstdint>
#include <new>
#include <vector>

class MemoryPicture final : public PictureTarget {
public:
    ImageView make(std::int32_t newWidth, std::int32_t newHeight, std::int32_t newResolution) override {
        buffer_.clear();
        buffer_.shrink_to_fit();
        pixels = nullptr;
        width = height = stride = 0;
        resolution = newResolution;
        pelsPerMetre = pelsPerMetreFromDpi(newResolution);
        // As a DIB section: no image with a zero side.
        if (newWidth <= 0 || newHeight <= 0) return view();
        try {
            buffer_.resize(static_cast<std::size_t>(strideForWidth(newWidth)) * static_cast<std::size_t>(newHeight));
        } catch (const std::bad_alloc&) {
            return view();
        }
        pixels = buffer_.data();
        width = newWidth;
        height = newHeight;
        stride = strideForWidth(newWidth);
        return view();
    }

    ImageView view() const { return ImageView{pixels, width, height, stride}; }

    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;
    std::int32_t resolution = 0;
    std::int32_t pelsPerMetre = 0;  // what a BMP file written from it holds

private:
    std::vector<std::uint8_t> buffer_;
};
