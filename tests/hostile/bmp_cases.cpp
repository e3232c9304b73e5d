#include "bmp_cases.h"

#include "pictures.h"

#include <cstdint>
#include <limits>

namespace hostile {

using testsupport::Bgr;
using testsupport::Bytes;
using testsupport::Picture;
using testsupport::putU16;
using testsupport::putU32;

namespace {

constexpr std::size_t kOffBits = 10;
constexpr std::size_t kBiSize = 14;
constexpr std::size_t kBiWidth = 18;
constexpr std::size_t kBiHeight = 22;
constexpr std::size_t kBiBitCount = 28;
constexpr std::size_t kBiCompression = 30;
constexpr std::size_t kBiClrUsed = 46;
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

std::vector<Bgr> rampPalette(std::size_t count) {
    std::vector<Bgr> palette;
    for (std::size_t k = 0; k < count; ++k) {
        palette.push_back(Bgr{static_cast<std::uint8_t>(k * 7), static_cast<std::uint8_t>(255 - k),
                              static_cast<std::uint8_t>(k * 31)});
    }
    return palette;
}

std::vector<std::uint8_t> indices(std::int32_t width, std::int32_t height, int modulo) {
    std::vector<std::uint8_t> out;
    for (std::int32_t i = 0; i < width * height; ++i) out.push_back(static_cast<std::uint8_t>((i * 5 + i / 3) % modulo));
    return out;
}

Bytes indexed(int bitCount, std::int32_t width, std::int32_t height, std::size_t paletteEntries, std::uint32_t clrUsed,
              int indexModulo) {
    return testsupport::bmpIndexed(bitCount, width, height, rampPalette(paletteEntries),
                                   indices(width, height, indexModulo), clrUsed);
}

// Inserts `count` zero bytes at `at` and moves the pixel array along.
Bytes withGap(Bytes bytes, std::size_t at, std::size_t count) {
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), count, 0);
    putU32(bytes, kOffBits, testsupport::getU32(bytes, kOffBits) + static_cast<std::uint32_t>(count));
    return bytes;
}

Bytes with32(Bytes bytes, std::size_t at, std::uint32_t value) {
    putU32(bytes, at, value);
    return bytes;
}

Bytes withSigned(Bytes bytes, std::size_t at, std::int32_t value) {
    return with32(std::move(bytes), at, static_cast<std::uint32_t>(value));
}

// A file header and a 40-byte information header claiming the given picture,
// `paletteEntries` palette entries, then `pixelBytes` bytes of pixel data:
// usually far fewer than the header claims.
Bytes claim(int bitCount, std::int32_t width, std::int32_t height, std::uint32_t clrUsed, std::size_t paletteEntries,
            std::size_t pixelBytes) {
    Bytes out(54 + 4 * paletteEntries + pixelBytes, 0x5A);
    putU16(out, 0, 0x4D42);
    putU32(out, 2, static_cast<std::uint32_t>(out.size()));
    putU32(out, 6, 0);
    putU32(out, kOffBits, static_cast<std::uint32_t>(54 + 4 * paletteEntries));
    putU32(out, kBiSize, 40);
    putU32(out, kBiWidth, static_cast<std::uint32_t>(width));
    putU32(out, kBiHeight, static_cast<std::uint32_t>(height));
    putU16(out, 26, 1);
    putU16(out, kBiBitCount, static_cast<std::uint16_t>(bitCount));
    putU32(out, kBiCompression, 0);
    putU32(out, kBiClrUsed, clrUsed);
    return out;
}

Bytes truncated(Bytes bytes, std::size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

}  // namespace

std::vector<NamedFile> validFiles() {
    std::vector<NamedFile> files;
    const Picture card = testsupport::testCard(9, 7, 3);
    files.push_back({"valid-24-3x2", testsupport::bmp24(testsupport::gradient(3, 2))});
    files.push_back({"valid-24-9x7", testsupport::bmp24(card)});
    files.push_back({"valid-24-top-down", testsupport::bmp24(card, 3780, true)});
    files.push_back({"valid-24-1x1", testsupport::bmp24(Picture(1, 1, Bgr{30, 20, 10}))});
    files.push_back({"valid-1-10x3", indexed(1, 10, 3, 2, 0, 2)});
    files.push_back({"valid-1-clrused-1", indexed(1, 9, 2, 1, 1, 2)});
    files.push_back({"valid-1-33x2", indexed(1, 33, 2, 2, 2, 2)});
    files.push_back({"valid-4-5x3", indexed(4, 5, 3, 16, 0, 16)});
    files.push_back({"valid-4-clrused-3", indexed(4, 7, 3, 3, 3, 16)});
    files.push_back({"valid-8-7x4", indexed(8, 7, 4, 256, 0, 256)});
    files.push_back({"valid-8-clrused-16", indexed(8, 6, 5, 16, 16, 256)});
    files.push_back({"valid-8-clrused-300", indexed(8, 5, 5, 300, 300, 256)});
    files.push_back({"valid-8-top-down", withSigned(indexed(8, 4, 3, 8, 8, 8), kBiHeight, -3)});
    files.push_back({"valid-24-header-108", with32(withGap(testsupport::bmp24(card), 54, 68), kBiSize, 108)});
    files.push_back({"valid-24-header-124", with32(withGap(testsupport::bmp24(card), 54, 84), kBiSize, 124)});
    files.push_back({"valid-8-header-124", with32(indexed(8, 3, 3, 256, 0, 256), kBiSize, 124)});
    files.push_back({"valid-8-gap-after-palette", withGap(indexed(8, 3, 3, 4, 4, 4), 54 + 16, 37)});
    Bytes trailing = testsupport::bmp24(testsupport::gradient(2, 2));
    trailing.insert(trailing.end(), 100, 0xAB);
    files.push_back({"valid-24-trailing-bytes", trailing});
    files.push_back({"valid-24-width-0", claim(24, 0, 5, 0, 0, 0)});
    files.push_back({"valid-8-height-0", claim(8, 3, 0, 0, 256, 0)});
    files.push_back({"valid-24-width-0-height-max", claim(24, 0, kInt32Max, 0, 0, 0)});
    files.push_back({"valid-24-resolution-extreme", withSigned(testsupport::bmp24(card), 38, kInt32Min)});
    return files;
}

std::vector<NamedFile> hostileFiles() {
    std::vector<NamedFile> files;
    const Bytes good24 = testsupport::bmp24(testsupport::testCard(5, 4, 2));
    const Bytes good8 = indexed(8, 4, 4, 16, 16, 16);  // palette of 16: pixel array at 118

    // Too short, or not a BMP at all.
    files.push_back({"empty", {}});
    files.push_back({"signature-only", {'B', 'M'}});
    files.push_back({"file-header-13-bytes", Bytes(good24.begin(), good24.begin() + 13)});
    files.push_back({"file-header-only", Bytes(good24.begin(), good24.begin() + 14)});
    {
        Bytes swapped = good24;
        swapped[0] = 'M';
        swapped[1] = 'B';
        files.push_back({"signature-MB", swapped});
    }

    // Pictures far larger than the file: each claim fits the 32-bit image
    // limit or comes close to it, and the file holds a few bytes.
    files.push_back({"claims-20000x20000-24bit", claim(24, 20000, 20000, 0, 0, 16)});
    files.push_back({"claims-20000x20000-8bit", claim(8, 20000, 20000, 0, 256, 16)});
    files.push_back({"claims-20000x20000-4bit", claim(4, 20000, 20000, 0, 16, 16)});
    files.push_back({"claims-20000x20000-1bit", claim(1, 20000, 20000, 0, 2, 16)});
    files.push_back({"claims-20000x-20000-top-down", claim(24, 20000, -20000, 0, 0, 16)});
    files.push_back({"claims-26000x26000-8bit", claim(8, 26000, 26000, 0, 256, 0)});
    files.push_back({"claims-1x536870911-24bit", claim(24, 1, 536870911, 0, 0, 4)});
    files.push_back({"claims-715827880x1-24bit", claim(24, 715827880, 1, 0, 0, 12)});

    // Products that overflow 32 bits: sourceStride x height, stride x
    // height, width x height, and the 64-bit extremes.
    files.push_back({"source-stride-times-height-24bit", claim(24, 1 << 20, 1 << 12, 0, 0, 64)});
    files.push_back({"source-stride-times-height-8bit", claim(8, 1 << 24, 1 << 9, 0, 256, 64)});
    files.push_back({"stride-times-height-1bit", claim(1, 1 << 16, 1 << 15, 0, 2, 64)});
    files.push_back({"width-times-height-1bit", claim(1, 65537, 65537, 0, 2, 64)});
    files.push_back({"width-times-height-4bit", claim(4, 100000, 50000, 0, 16, 64)});
    files.push_back({"width-max-height-max-24bit", claim(24, kInt32Max, kInt32Max, 0, 0, 64)});
    files.push_back({"width-max-height-min-plus-1", claim(24, kInt32Max, -kInt32Max, 0, 0, 64)});
    files.push_back({"width-max-height-1-1bit", claim(1, kInt32Max, 1, 0, 2, 64)});
    files.push_back({"width-max-height-1-24bit", claim(24, kInt32Max, 1, 0, 0, 64)});

    // bfOffBits out of range.
    files.push_back({"offbits-negative", withSigned(good24, kOffBits, -1)});
    files.push_back({"offbits-int-min", withSigned(good24, kOffBits, kInt32Min)});
    files.push_back({"offbits-zero", withSigned(good24, kOffBits, 0)});
    files.push_back({"offbits-13", withSigned(good24, kOffBits, 13)});
    files.push_back({"offbits-14", withSigned(good24, kOffBits, 14)});
    files.push_back({"offbits-inside-info-header", withSigned(good24, kOffBits, 30)});
    files.push_back({"offbits-53-24bit", withSigned(good24, kOffBits, 53)});
    files.push_back({"offbits-inside-palette-8bit", withSigned(good8, kOffBits, 54 + 4 * 16 - 1)});
    files.push_back({"offbits-54-8bit-default-palette", withSigned(with32(good8, kBiClrUsed, 0), kOffBits, 54)});
    files.push_back({"offbits-beyond-end", withSigned(good24, kOffBits, static_cast<std::int32_t>(good24.size() + 1))});
    files.push_back({"offbits-far-beyond-end", withSigned(good24, kOffBits, 1 << 30)});
    files.push_back({"offbits-int-max", withSigned(good24, kOffBits, kInt32Max)});

    // biClrUsed huge, wrapping when multiplied by 4, or past bfOffBits.
    files.push_back({"clrused-max", with32(good8, kBiClrUsed, 0xFFFFFFFFu)});
    files.push_back({"clrused-times-4-wraps-to-0", with32(good8, kBiClrUsed, 0x40000000u)});
    files.push_back({"clrused-times-4-wraps-to-4", with32(good8, kBiClrUsed, 0x40000001u)});
    files.push_back({"clrused-2-pow-31", with32(good8, kBiClrUsed, 0x80000000u)});
    files.push_back({"clrused-17-past-offbits", with32(good8, kBiClrUsed, 17)});
    files.push_back({"clrused-huge-1bit", with32(indexed(1, 8, 2, 2, 2, 2), kBiClrUsed, 0x3FFFFFFFu)});

    // Signs: negative width, the one height that has no positive twin.
    files.push_back({"width-minus-1", withSigned(good24, kBiWidth, -1)});
    files.push_back({"width-int-min", withSigned(good24, kBiWidth, kInt32Min)});
    files.push_back({"width-minus-5-8bit", withSigned(good8, kBiWidth, -5)});
    files.push_back({"height-int-min", withSigned(good24, kBiHeight, kInt32Min)});
    files.push_back({"height-int-min-width-0", withSigned(claim(24, 0, 1, 0, 0, 0), kBiHeight, kInt32Min)});
    files.push_back({"height-int-min-8bit", withSigned(good8, kBiHeight, kInt32Min)});

    // Kinds the reader does not read.
    files.push_back({"compression-rle8", with32(good8, kBiCompression, 1)});
    files.push_back({"compression-rle4", with32(good8, kBiCompression, 2)});
    files.push_back({"compression-bitfields", with32(good24, kBiCompression, 3)});
    files.push_back({"compression-huge", with32(good24, kBiCompression, 0xFFFFFFFFu)});
    files.push_back({"bitcount-0", with32(good24, kBiBitCount, 0)});
    files.push_back({"bitcount-2", with32(good8, kBiBitCount, 2)});
    files.push_back({"bitcount-16", with32(good24, kBiBitCount, 16)});
    files.push_back({"bitcount-32", with32(good24, kBiBitCount, 32)});
    files.push_back({"bitcount-65535", withSigned(good24, kBiBitCount, 0xFFFF)});

    // Truncations: a header block or a pixel array that comes short.
    files.push_back({"info-header-short", Bytes(good24.begin(), good24.begin() + 40)});
    files.push_back({"palette-short", Bytes(good8.begin(), good8.begin() + 80)});
    files.push_back({"pixel-array-1-byte-short-24bit", truncated(good24, 1)});
    files.push_back({"pixel-array-1-byte-short-8bit", truncated(good8, 1)});
    files.push_back({"pixel-array-1-byte-short-4bit", truncated(indexed(4, 5, 3, 16, 0, 16), 1)});
    files.push_back({"pixel-array-1-byte-short-1bit", truncated(indexed(1, 10, 3, 2, 0, 2), 1)});
    files.push_back({"pixel-array-short-top-down",
                     truncated(testsupport::bmp24(testsupport::testCard(5, 4, 2), 2835, true), 1)});
    files.push_back({"pixel-array-missing", Bytes(good24.begin(), good24.begin() + 54)});
    return files;
}

}  // namespace hostile
