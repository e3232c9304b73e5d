// The pixels that the reduction pass reads and rewrites: a 24-bit bottom-up
// buffer laid out as the program's images are (blue, green, red; each buffer
// row `stride` bytes; picture row y, counted from the top, is buffer row
// height - 1 - y). The pass needs nothing else of an image.
#pragma once

#include <cstdint>

struct ImageView {
    std::uint8_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t stride = 0;

    // First byte of column x of picture row y (counted from the top).
    std::uint8_t* at(std::int32_t x, std::int32_t y) const {
        return pixels + static_cast<std::int64_t>(height - 1 - y) * stride + 3 * static_cast<std::int64_t>(x);
    }
    bool empty() const { return pixels == nullptr || width <= 0 || height <= 0; }
};
