// Builds BMP files in memory for tests, fuzz seeds and benchmarks, and opens
// byte vectors as C streams for the reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

struct Bgr {
    std::uint8_t b, g, r;
    bool operator==(const Bgr& o) const { return b == o.b && g == o.g && r == o.r; }
};

// A picture held top row first, left to right.
struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<Bgr> pixels;

    Picture() = default;
    Picture(std::int32_t w, std::int32_t h, Bgr fill = {0, 0, 0})
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
    Bgr& at(std::int32_t x, std::int32_t y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    const Bgr& at(std::int32_t x, std::int32_t y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    bool operator==(const Picture& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
};

// A 24-bit file of the picture, rows bottom-up (top-down when topDown).
Bytes bmp24(const Picture& picture, std::int32_t pelsPerMetre = 2835, bool topDown = false);

// An indexed file: `indices` top row first, one per pixel; the palette as
// given (biClrUsed written as clrUsed, which may differ from palette.size()).
Bytes bmpIndexed(int bitCount, std::int32_t width, std::int32_t height, const std::vector<Bgr>& palette,
                 const std::vector<std::uint8_t>& indices, std::uint32_t clrUsed, std::int32_t pelsPerMetre = 2835);

void putU16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value);
std::uint32_t getU32(const Bytes& bytes, std::size_t offset);

// A stream positioned at the first byte of `bytes`, closed on destruction.
struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
FilePtr openBytes(const Bytes& bytes);

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);

}  // namespace testsupport
