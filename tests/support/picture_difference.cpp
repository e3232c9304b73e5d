#include "picture_difference.h"

#include <cstdio>

namespace testsupport {

std::string pictureDifference(const Picture& shown, const Picture& expected) {
    char text[160];
    if (shown.width != expected.width || shown.height != expected.height) {
        std::snprintf(text, sizeof text, "size %dx%d, expected %dx%d", shown.width, shown.height, expected.width,
                      expected.height);
        return text;
    }
    std::size_t differing = 0, first = 0;
    for (std::size_t i = 0; i < shown.pixels.size(); ++i)
        if (!(shown.pixels[i] == expected.pixels[i]) && differing++ == 0) first = i;
    if (differing == 0) return {};
    const Bgr a = shown.pixels[first], b = expected.pixels[first];
    const auto width = static_cast<std::size_t>(shown.width);
    std::snprintf(text, sizeof text,
                  "%zu pixels differ; first difference at (%zu, %zu): shown #%02x%02x%02x, expected #%02x%02x%02x",
                  differing, first % width, first / width, a.r, a.g, a.b, b.r, b.g, b.b);
    return text;
}

}  // namespace testsupport
