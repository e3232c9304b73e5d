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

// The information headers that writers use, by their length (biSize).
constexpr std::uint32_t kHeaderV3 = 40;     // BITMAPINFOHEADER: most files
constexpr std::uint32_t kHeaderOs2v2 = 64;  // OS/2 2.x: the 40 bytes, then units, rendering, encoding
constexpr std::uint32_t kHeaderV4 = 108;    // BITMAPV4HEADER: masks, colour space, endpoints, gammas
constexpr std::uint32_t kHeaderV5 = 124;    // BITMAPV5HEADER: V4, then intent and a colour profile

// The colour space a V4 or V5 header names.
enum class ColorSpace {
    sRGB,             // 'sRGB', endpoints and gammas zero (as ImageMagick and GIMP write)
    calibrated,       // LCS_CALIBRATED_RGB with the sRGB endpoints and gammas of 2.2
    embeddedProfile,  // V5 only: 'MBED', the profile's bytes in the gap before the pixels
};

// How a file is laid out around its pixels; the defaults give the files of
// bmp24 and bmpIndexed above.
struct BmpLayout {
    std::uint32_t headerSize = kHeaderV3;  // 40, 64, 108 or 124, filled as writers fill them
    ColorSpace colorSpace = ColorSpace::sRGB;
    std::size_t gap = 0;  // bytes between the palette and the pixel array (the profile, if any)
    std::int32_t pelsPerMetre = 2835;
    bool topDown = false;
};

// A layout with the given header, colour space, gap and row order.
BmpLayout layoutOf(std::uint32_t headerSize, ColorSpace colorSpace = ColorSpace::sRGB, std::size_t gap = 0,
                   bool topDown = false);

Bytes bmp24(const Picture& picture, const BmpLayout& layout);
Bytes bmpIndexed(int bitCount, std::int32_t width, std::int32_t height, const std::vector<Bgr>& palette,
                 const std::vector<std::uint8_t>& indices, std::uint32_t clrUsed, const BmpLayout& layout);

// An OS/2 1.x file: a 12-byte header with 16-bit sizes, 3-byte palette
// entries (2, 16 or 256 of them, from `palette`, black beyond it), then the
// pixels as in any BMP. The reader refuses these.
Bytes bmpOs2v1(int bitCount, std::int32_t width, std::int32_t height, const std::vector<Bgr>& palette,
               const std::vector<std::uint8_t>& indices);

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
