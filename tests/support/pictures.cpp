#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace testsupport {
namespace {

std::uint8_t clampByte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); }

// A one-to-one map of the 24-bit keys onto themselves: each step (xor with a
// shifted copy, multiplication by an odd number, addition, all modulo 2^24)
// can be undone, so distinct keys stay distinct.
std::uint32_t scramble(std::uint32_t key, std::uint32_t seed) {
    constexpr std::uint32_t kMask = 0xFFFFFFu;
    std::uint32_t x = (key + seed * 0x9E3779u) & kMask;
    for (int round = 0; round < 3; ++round) {
        x ^= x >> 13;
        x = (x * 0x2C1B3Du) & kMask;
        x ^= x >> 11;
        x = (x + 0x5BD1E9u) & kMask;
    }
    return x;
}

}  // namespace

Bgr rgb(int red, int green, int blue) {
    return {static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green), static_cast<std::uint8_t>(red)};
}

Palette paletteOf(std::initializer_list<Bgr> colors) {
    Palette p;
    for (const Bgr& c : colors) {
        p.rgb[static_cast<std::size_t>(3 * p.count)] = c.r;
        p.rgb[static_cast<std::size_t>(3 * p.count + 1)] = c.g;
        p.rgb[static_cast<std::size_t>(3 * p.count + 2)] = c.b;
        ++p.count;
    }
    return p;
}

Picture testCard(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    Picture p(width, height);
    std::mt19937 random(seed);
    std::normal_distribution<double> grain(0.0, 3.0);
    const double w = std::max(width, 1), h = std::max(height, 1);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const double u = x / w, v = y / h;
            double r, g, b;
            if (v < 0.45) {  // sky: deep blue overhead, pale at the horizon
                r = 60 + 150 * v;
                g = 110 + 200 * v;
                b = 230 - 40 * v;
                const double sun = std::hypot(u - 0.8, v - 0.15);
                if (sun < 0.08) r = 255, g = 240 - 300 * sun, b = 150;
            } else {  // ground: foliage texture in greens and browns
                const double t = std::sin(u * 60 + std::sin(v * 40) * 3) * std::cos(v * 50);
                r = 70 + 50 * t + 60 * (v - 0.45);
                g = 110 + 60 * t;
                b = 40 + 20 * t;
            }
            // Two faces in skin tones, with shading.
            for (const double cx : {0.3, 0.55}) {
                const double d = std::hypot((u - cx) * 1.3, v - 0.55);
                if (d < 0.12) {
                    const double shade = 1.0 - d * 2.5;
                    r = 225 * shade + 20, g = 172 * shade + 15, b = 140 * shade + 10;
                }
            }
            // Fine stripes along the bottom edge: detail the cut must keep.
            if (v > 0.92) {
                const bool on = (x / 2 + y) % 3 == 0;
                r = on ? 250 : 20, g = on ? 60 + 150 * u : 20, b = on ? 200 * (1 - u) : 90;
            }
            p.at(x, y) = {clampByte(b + grain(random)), clampByte(g + grain(random)), clampByte(r + grain(random))};
        }
    }
    return p;
}

Picture noise(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    Picture p(width, height);
    std::mt19937 random(seed);
    for (auto& px : p.pixels) {
        const auto v = static_cast<std::uint32_t>(random());
        px = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16)};
    }
    return p;
}

Picture gradient(std::int32_t width, std::int32_t height) {
    Picture p(width, height);
    const double w = std::max(width - 1, 1), h = std::max(height - 1, 1);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            p.at(x, y) = {clampByte(255 * (1 - x / w)), clampByte(255 * y / h), clampByte(128 * (x / w + y / h))};
    return p;
}

Picture fewColors(std::int32_t width, std::int32_t height, int colors, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Bgr> set;
    while (static_cast<int>(set.size()) < colors) {
        const auto v = static_cast<std::uint32_t>(random());
        const Bgr c{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16)};
        if (std::find(set.begin(), set.end(), c) == set.end()) set.push_back(c);
    }
    Picture p(width, height);
    for (std::size_t i = 0; i < p.pixels.size(); ++i) {
        p.pixels[i] = i < set.size() ? set[i] : set[random() % set.size()];
    }
    std::shuffle(p.pixels.begin(), p.pixels.end(), random);
    return p;
}

Picture distinctColors(std::int32_t width, std::int32_t height, bool keyOrder, std::uint32_t seed) {
    Picture p(width, height);
    for (std::size_t i = 0; i < p.pixels.size(); ++i) {
        const auto index = static_cast<std::uint32_t>(i & 0xFFFFFFu);
        const std::uint32_t key = keyOrder ? index : scramble(index, seed);
        p.pixels[i] = {static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                       static_cast<std::uint8_t>(key >> 16)};
    }
    return p;
}

OwnedImage::OwnedImage(const Picture& picture)
    : width_(picture.width), height_(picture.height), stride_((picture.width * 3 + 3) / 4 * 4),
      bytes_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(picture.height), 0xCD) {
    for (std::int32_t y = 0; y < height_; ++y) {
        std::uint8_t* row = bytes_.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_;
        for (std::int32_t x = 0; x < width_; ++x) {
            const Bgr& px = picture.at(x, y);
            row[3 * x] = px.b;
            row[3 * x + 1] = px.g;
            row[3 * x + 2] = px.r;
        }
    }
}

Picture OwnedImage::picture() const {
    ImageView v{const_cast<std::uint8_t*>(bytes_.data()), width_, height_, stride_};
    return pictureOf(v);
}

Picture pictureOf(const ImageView& view) {
    if (view.empty()) return Picture(0, 0);
    Picture p(view.width, view.height);
    for (std::int32_t y = 0; y < view.height; ++y)
        for (std::int32_t x = 0; x < view.width; ++x) {
            const std::uint8_t* px = view.at(x, y);
            p.at(x, y) = {px[0], px[1], px[2]};
        }
    return p;
}

}  // namespace testsupport
