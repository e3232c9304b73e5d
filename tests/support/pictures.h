// Generated pictures for tests and benchmarks, and a plain owned 24-bit
// bottom-up buffer to run the reduction pass on without any platform code.
#pragma once

#include "bmp_builder.h"
#include "image_view.h"
#include "palette.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testsupport {

// A colour given in the usual red, green, blue order.
Bgr rgb(int red, int green, int blue);
// A palette of the given colours, in entry order.
Palette paletteOf(std::initializer_list<Bgr> colors);

// Photo-like: sky gradient, a sun, skin-toned faces, foliage texture, fine
// stripes and sensor-like noise. Far more than 256 colours.
Picture testCard(std::int32_t width, std::int32_t height, std::uint32_t seed = 1);
// Independent uniform noise in every channel.
Picture noise(std::int32_t width, std::int32_t height, std::uint32_t seed);
// A smooth diagonal gradient through the colour cube.
Picture gradient(std::int32_t width, std::int32_t height);
// `colours` distinct colours scattered at random (every one used when the
// picture has at least that many pixels).
Picture fewColors(std::int32_t width, std::int32_t height, int colors, std::uint32_t seed);
// Every pixel a colour of its own while the picture has at most 2^24 pixels
// (4096 x 4096 holds every colour once): pixel i, counted in picture order,
// has key i in keyOrder, else key i through a fixed scrambling of the 24-bit
// keys chosen by `seed`, so that neighbours share nothing.
Picture distinctColors(std::int32_t width, std::int32_t height, bool keyOrder, std::uint32_t seed = 1);

// A bottom-up, 4-byte-padded 24-bit buffer, as the program's images are.
class OwnedImage {
public:
    explicit OwnedImage(const Picture& picture);
    ImageView view() { return ImageView{width_ && height_ ? bytes_.data() : nullptr, width_, height_, stride_}; }
    Picture picture() const;

private:
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t stride_;
    std::vector<std::uint8_t> bytes_;
};

Picture pictureOf(const ImageView& view);

}  // namespace testsupport
