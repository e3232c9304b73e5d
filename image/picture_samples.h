// The samples of a decoded PNG or JPEG, turned into the picture's 24-bit
// pixels. The decoders hand over rows as the file (or the system's decoder)
// stores them; everything that decides a pixel's value happens here, so that
// a file gives the same pixels whichever decoder read it:
//   - 16-bit samples become 8-bit by (v x 255 + 32767) / 65535;
//   - 1-, 2- and 4-bit grey samples by bit replication (x 255, x 85, x 17);
//   - a transparent or partly transparent pixel (alpha, or a tRNS entry or
//     key) is put over white: c' = (c x a + 255 x (255 - a) + 127) / 255 per
//     channel, on the 8-bit values.
#pragma once

#include "image_view.h"

#include <array>
#include <cstddef>
#include <cstdint>

enum class SampleLayout {
    grey,
    greyAlpha,
    rgb,
    rgba,
    bgr,   // the systems' own order (WIC, libjpeg-turbo's BGR output)
    bgra,
    indexed,
};

struct SampleFormat {
    SampleLayout layout = SampleLayout::rgb;
    int bitDepth = 8;           // bits per sample: 1, 2, 4, 8 or 16 (indexed: up to 8)
    bool littleEndian = false;  // 16-bit samples low byte first (WIC); PNG stores them high byte first
    // Indexed: red, green, blue, alpha per entry; an index without an entry gives opaque black.
    std::array<std::uint8_t, 4 * 256> palette{};
    int paletteCount = 0;
    // Grey and RGB: the stored sample values (tRNS) that make a pixel transparent.
    bool hasKey = false;
    std::array<std::uint16_t, 3> key{};  // grey in key[0]; else red, green, blue
};

// Bytes of one row of `width` pixels in this format.
std::size_t rowBytesOf(const SampleFormat& format, std::int32_t width);

// Fills the picture's image from rows of samples: whole rows top first, or
// the rows of the seven passes of an interlaced PNG (Adam7).
class PictureBuilder {
public:
    // REQUIRES: the image was made at the picture's size with a buffer.
    PictureBuilder(const ImageView& image, const SampleFormat& format) : image_(image), format_(format) {}

    // Picture row y, counted from the top: `image.width` pixels.
    void putRow(std::int32_t y, const std::uint8_t* samples);
    // Row `row` of interlace pass `pass` (0 to 6): passColumns(pass) pixels.
    void putPassRow(int pass, std::int32_t row, const std::uint8_t* samples);

    std::int32_t passColumns(int pass) const;
    std::int32_t passRows(int pass) const;

    // Some pixel so far was not fully opaque.
    bool shownOverWhite() const { return shownOverWhite_; }

private:
    void convert(const std::uint8_t* samples, std::int32_t count, std::int32_t y, std::int32_t firstColumn,
                 std::int32_t columnStep);

    ImageView image_;
    const SampleFormat& format_;
    bool shownOverWhite_ = false;
};
