#include "bmp_cases.h"

#include "pictures.h"

#include <cstdint>
#include <limits>

namespace hostile {

using testsupport::Bgr;
using testsupport::Bytes;
using testsupport::layoutOf;
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

// The same kind of file with a longer header, as a writer lays it out.
Bytes indexedWith(const testsupport::BmpLayout& layout, int bitCount, std::int32_t width, std::int32_t height,
                  std::size_t paletteEntries, std::uint32_t clrUsed, int indexModulo) {
    return testsupport::bmpIndexed(bitCount, width, height, rampPalette(paletteEntries),
                                   indices(width, height, indexModulo), clrUsed, layout);
}

const char* const kSaveUncompressed = " is not supported; save it uncompressed";

std::string tooShort(std::int64_t present, std::int64_t needed) {
    return "the file is shorter than its headers: " + std::to_string(present) + " bytes, where they take " +
           std::to_string(needed);
}

std::string blockTooShort(std::int32_t offBits, std::uint32_t headerSize, std::int64_t paletteEntries = 0) {
    const std::int64_t room = static_cast<std::int64_t>(offBits) - 14;
    std::string text = "header block too short: bfOffBits " + std::to_string(offBits) + " leaves " +
                       (room > 0 ? std::to_string(room) + " bytes" : std::string("no bytes")) + " for the " +
                       std::to_string(headerSize) + "-byte header";
    if (paletteEntries > 0) {
        text += " and " + std::to_string(paletteEntries) + " palette entries (" +
                std::to_string(headerSize + 4 * paletteEntries) + " bytes)";
    }
    return text;
}

std::string arrayShort(std::int64_t expected, std::int64_t present) {
    return "pixel array cut short: " + std::to_string(expected) + " bytes expected, " + std::to_string(present) +
           " present";
}

std::string tooLarge(std::int64_t width, std::int64_t height) {
    return "picture of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is too large (the limit is 2147483647 bytes of 24-bit image, about 715 million pixels)";
}

std::string depth(int bits) { return std::to_string(bits) + " bits per pixel is not supported (1, 4, 8 or 24 only)"; }

}  // namespace

std::vector<NamedFile> validFiles() {
    using testsupport::ColorSpace;
    using testsupport::kHeaderOs2v2;
    using testsupport::kHeaderV4;
    using testsupport::kHeaderV5;
    std::vector<NamedFile> files;
    auto add = [&files](std::string name, Bytes bytes) { files.push_back({std::move(name), std::move(bytes), {}}); };
    const Picture card = testsupport::testCard(9, 7, 3);
    add("valid-24-3x2", testsupport::bmp24(testsupport::gradient(3, 2)));
    add("valid-24-9x7", testsupport::bmp24(card));
    add("valid-24-top-down", testsupport::bmp24(card, 3780, true));
    add("valid-24-1x1", testsupport::bmp24(Picture(1, 1, Bgr{30, 20, 10})));
    add("valid-1-10x3", indexed(1, 10, 3, 2, 0, 2));
    add("valid-1-clrused-1", indexed(1, 9, 2, 1, 1, 2));
    add("valid-1-33x2", indexed(1, 33, 2, 2, 2, 2));
    add("valid-4-5x3", indexed(4, 5, 3, 16, 0, 16));
    add("valid-4-clrused-3", indexed(4, 7, 3, 3, 3, 16));
    add("valid-8-7x4", indexed(8, 7, 4, 256, 0, 256));
    add("valid-8-clrused-16", indexed(8, 6, 5, 16, 16, 256));
    add("valid-8-clrused-300", indexed(8, 5, 5, 300, 300, 256));
    add("valid-8-top-down", withSigned(indexed(8, 4, 3, 8, 8, 8), kBiHeight, -3));
    add("valid-24-header-108", with32(withGap(testsupport::bmp24(card), 54, 68), kBiSize, 108));
    add("valid-24-header-124", with32(withGap(testsupport::bmp24(card), 54, 84), kBiSize, 124));
    add("valid-8-gap-after-palette", withGap(indexed(8, 3, 3, 4, 4, 4), 54 + 16, 37));
    // Longer headers as ImageMagick, GIMP and OS/2 write them: the palette
    // follows the biSize bytes of the header.
    add("valid-24-v4-calibrated", testsupport::bmp24(card, layoutOf(kHeaderV4, ColorSpace::calibrated)));
    add("valid-24-v5-srgb", testsupport::bmp24(card, layoutOf(kHeaderV5)));
    add("valid-24-os2v2", testsupport::bmp24(card, layoutOf(kHeaderOs2v2)));
    add("valid-1-v5-srgb", indexedWith(layoutOf(kHeaderV5), 1, 11, 3, 2, 2, 2));
    add("valid-1-v4-clrused-1", indexedWith(layoutOf(kHeaderV4, ColorSpace::calibrated), 1, 9, 2, 1, 1, 2));
    add("valid-4-v5-16-colours", indexedWith(layoutOf(kHeaderV5), 4, 7, 3, 16, 16, 16));
    add("valid-4-v4-clrused-5-gap", indexedWith(layoutOf(kHeaderV4, ColorSpace::sRGB, 23), 4, 5, 3, 5, 5, 16));
    add("valid-8-v5-clrused-200-profile",
        indexedWith(layoutOf(kHeaderV5, ColorSpace::embeddedProfile, 132), 8, 6, 4, 200, 200, 256));
    add("valid-8-v5-default-palette-top-down",
        indexedWith(layoutOf(kHeaderV5, ColorSpace::sRGB, 0, true), 8, 5, 3, 256, 0, 256));
    add("valid-1-os2v2", indexedWith(layoutOf(kHeaderOs2v2), 1, 10, 2, 2, 0, 2));
    add("valid-4-os2v2-clrused-6-gap", indexedWith(layoutOf(kHeaderOs2v2, ColorSpace::sRGB, 9), 4, 6, 2, 6, 6, 16));
    add("valid-8-os2v2", indexedWith(layoutOf(kHeaderOs2v2), 8, 4, 4, 256, 0, 256));
    Bytes trailing = testsupport::bmp24(testsupport::gradient(2, 2));
    trailing.insert(trailing.end(), 100, 0xAB);
    add("valid-24-trailing-bytes", trailing);
    add("valid-24-width-0", claim(24, 0, 5, 0, 0, 0));
    add("valid-8-height-0", claim(8, 3, 0, 0, 256, 0));
    add("valid-24-width-0-height-max", claim(24, 0, kInt32Max, 0, 0, 0));
    add("valid-24-resolution-extreme", withSigned(testsupport::bmp24(card), 38, kInt32Min));
    return files;
}

std::vector<NamedFile> hostileFiles() {
    using testsupport::ColorSpace;
    using testsupport::kHeaderOs2v2;
    using testsupport::kHeaderV4;
    using testsupport::kHeaderV5;
    std::vector<NamedFile> files;
    auto add = [&files](std::string name, Bytes bytes, std::string reason) {
        files.push_back({std::move(name), std::move(bytes), std::move(reason)});
    };
    const Bytes good24 = testsupport::bmp24(testsupport::testCard(5, 4, 2));  // 118 bytes, pixel array 64
    const Bytes good8 = indexed(8, 4, 4, 16, 16, 16);  // palette of 16: pixel array at 118, 16 bytes
    const Bytes v5good8 = indexedWith(layoutOf(kHeaderV5), 8, 4, 4, 16, 16, 16);  // pixel array at 202

    // Too short, or not a BMP at all.
    add("empty", {}, "the file is empty");
    add("signature-only", {'B', 'M'}, tooShort(2, 14));
    add("file-header-13-bytes", Bytes(good24.begin(), good24.begin() + 13), tooShort(13, 14));
    add("file-header-only", Bytes(good24.begin(), good24.begin() + 14), tooShort(14, 18));
    {
        Bytes swapped = good24;
        swapped[0] = 'M';
        swapped[1] = 'B';
        add("signature-MB", swapped, "not a BMP file (it does not begin with \"BM\")");
    }

    // Information headers shorter than 40 bytes: their fields are elsewhere.
    const std::string os2v1 = "OS/2 1.x BMP (12-byte header) is not supported; save it as a Windows BMP";
    add("os2-v1-8bit", testsupport::bmpOs2v1(8, 5, 3, rampPalette(256), indices(5, 3, 256)), os2v1);
    add("os2-v1-1bit-1x1", testsupport::bmpOs2v1(1, 1, 1, rampPalette(2), {1}), os2v1);
    add("header-size-16", with32(good24, kBiSize, 16), "information header of 16 bytes is too short (40 at least)");
    add("header-size-39", with32(good24, kBiSize, 39), "information header of 39 bytes is too short (40 at least)");
    add("header-size-0", with32(good24, kBiSize, 0), "information header of 0 bytes is too short (40 at least)");

    // Pictures far larger than the file: each claim fits the 32-bit image
    // limit or comes close to it, and the file holds a few bytes.
    add("claims-20000x20000-24bit", claim(24, 20000, 20000, 0, 0, 16), arrayShort(1200000000, 16));
    add("claims-20000x20000-8bit", claim(8, 20000, 20000, 0, 256, 16), arrayShort(400000000, 16));
    add("claims-20000x20000-4bit", claim(4, 20000, 20000, 0, 16, 16), arrayShort(200000000, 16));
    add("claims-20000x20000-1bit", claim(1, 20000, 20000, 0, 2, 16), arrayShort(50000000, 16));
    add("claims-20000x-20000-top-down", claim(24, 20000, -20000, 0, 0, 16), arrayShort(1200000000, 16));
    add("claims-26000x26000-8bit", claim(8, 26000, 26000, 0, 256, 0), arrayShort(676000000, 0));
    add("claims-1x536870911-24bit", claim(24, 1, 536870911, 0, 0, 4), arrayShort(2147483644, 4));
    add("claims-715827880x1-24bit", claim(24, 715827880, 1, 0, 0, 12), arrayShort(2147483640, 12));

    // Products that overflow 32 bits: sourceStride x height, stride x
    // height, width x height, and the 64-bit extremes.
    add("source-stride-times-height-24bit", claim(24, 1 << 20, 1 << 12, 0, 0, 64), tooLarge(1 << 20, 1 << 12));
    add("source-stride-times-height-8bit", claim(8, 1 << 24, 1 << 9, 0, 256, 64), tooLarge(1 << 24, 1 << 9));
    add("stride-times-height-1bit", claim(1, 1 << 16, 1 << 15, 0, 2, 64), tooLarge(1 << 16, 1 << 15));
    add("width-times-height-1bit", claim(1, 65537, 65537, 0, 2, 64), tooLarge(65537, 65537));
    add("width-times-height-4bit", claim(4, 100000, 50000, 0, 16, 64), tooLarge(100000, 50000));
    add("width-max-height-max-24bit", claim(24, kInt32Max, kInt32Max, 0, 0, 64), tooLarge(kInt32Max, kInt32Max));
    add("width-max-height-min-plus-1", claim(24, kInt32Max, -kInt32Max, 0, 0, 64), tooLarge(kInt32Max, kInt32Max));
    add("width-max-height-1-1bit", claim(1, kInt32Max, 1, 0, 2, 64), tooLarge(kInt32Max, 1));
    add("width-max-height-1-24bit", claim(24, kInt32Max, 1, 0, 0, 64), tooLarge(kInt32Max, 1));

    // bfOffBits out of range: no room for the header or its palette, or
    // beyond the end of the file.
    add("offbits-negative", withSigned(good24, kOffBits, -1), blockTooShort(-1, 40));
    add("offbits-int-min", withSigned(good24, kOffBits, kInt32Min), blockTooShort(kInt32Min, 40));
    add("offbits-zero", withSigned(good24, kOffBits, 0), blockTooShort(0, 40));
    add("offbits-13", withSigned(good24, kOffBits, 13), blockTooShort(13, 40));
    add("offbits-14", withSigned(good24, kOffBits, 14), blockTooShort(14, 40));
    add("offbits-inside-info-header", withSigned(good24, kOffBits, 30), blockTooShort(30, 40));
    add("offbits-53-24bit", withSigned(good24, kOffBits, 53), blockTooShort(53, 40));
    add("offbits-inside-palette-8bit", withSigned(good8, kOffBits, 54 + 4 * 16 - 1), blockTooShort(117, 40, 16));
    add("offbits-54-8bit-default-palette", withSigned(with32(good8, kBiClrUsed, 0), kOffBits, 54),
        blockTooShort(54, 40, 256));
    add("offbits-beyond-end", withSigned(good24, kOffBits, 119), tooShort(118, 119));
    add("offbits-far-beyond-end", withSigned(good24, kOffBits, 1 << 30), tooShort(118, 1 << 30));
    add("offbits-int-max", withSigned(good24, kOffBits, kInt32Max), tooShort(118, kInt32Max));

    // biSize beyond the header block: the header, or its palette after it,
    // would run into the pixels.
    add("header-size-beyond-offbits", with32(good24, kBiSize, 124), blockTooShort(54, 124));
    add("header-size-max", with32(good24, kBiSize, 0xFFFFFFFFu), blockTooShort(54, 0xFFFFFFFFu));
    add("header-size-max-8bit", with32(good8, kBiSize, 0xFFFFFFFFu), blockTooShort(118, 0xFFFFFFFFu));
    // A 124-byte header with its palette where a 40-byte header has it.
    add("v5-palette-at-54", with32(indexed(8, 3, 3, 256, 0, 256), kBiSize, kHeaderV5), blockTooShort(1078, 124, 256));
    add("v5-clrused-past-offbits", with32(v5good8, kBiClrUsed, 17), blockTooShort(202, 124, 17));
    add("os2v2-palette-past-offbits",
        withSigned(indexedWith(layoutOf(kHeaderOs2v2), 4, 3, 2, 16, 0, 16), kOffBits, 140), blockTooShort(140, 64, 16));

    // biClrUsed huge, wrapping when multiplied by 4, or past bfOffBits.
    add("clrused-max", with32(good8, kBiClrUsed, 0xFFFFFFFFu), blockTooShort(118, 40, 0xFFFFFFFFu));
    add("clrused-times-4-wraps-to-0", with32(good8, kBiClrUsed, 0x40000000u), blockTooShort(118, 40, 0x40000000));
    add("clrused-times-4-wraps-to-4", with32(good8, kBiClrUsed, 0x40000001u), blockTooShort(118, 40, 0x40000001));
    add("clrused-2-pow-31", with32(good8, kBiClrUsed, 0x80000000u), blockTooShort(118, 40, 0x80000000u));
    add("clrused-17-past-offbits", with32(good8, kBiClrUsed, 17), blockTooShort(118, 40, 17));
    add("clrused-huge-1bit", with32(indexed(1, 8, 2, 2, 2, 2), kBiClrUsed, 0x3FFFFFFFu),
        blockTooShort(62, 40, 0x3FFFFFFF));

    // Signs: negative width, the one height that has no positive twin.
    add("width-minus-1", withSigned(good24, kBiWidth, -1), "negative width -1 is not valid");
    add("width-int-min", withSigned(good24, kBiWidth, kInt32Min), "negative width -2147483648 is not valid");
    add("width-minus-5-8bit", withSigned(good8, kBiWidth, -5), "negative width -5 is not valid");
    const std::string heightMin = "height -2147483648 is not valid";
    add("height-int-min", withSigned(good24, kBiHeight, kInt32Min), heightMin);
    add("height-int-min-width-0", withSigned(claim(24, 0, 1, 0, 0, 0), kBiHeight, kInt32Min), heightMin);
    add("height-int-min-8bit", withSigned(good8, kBiHeight, kInt32Min), heightMin);

    // Kinds the reader does not read. Compression is looked at before the depth.
    add("compression-rle8", with32(good8, kBiCompression, 1),
        std::string("run-length compressed (RLE8) BMP") + kSaveUncompressed);
    add("compression-rle4", with32(good8, kBiCompression, 2),
        std::string("run-length compressed (RLE4) BMP") + kSaveUncompressed);
    add("compression-bitfields", with32(good24, kBiCompression, 3),
        "bit-field (BI_BITFIELDS) BMP of 24 bits per pixel is not supported; save it uncompressed with 1, 4, 8 or 24 "
        "bits per pixel");
    {
        // A 32-bit V5 file as ImageMagick writes it for a picture with alpha.
        Bytes bitFields =
            with32(testsupport::bmp24(testsupport::gradient(4, 2), layoutOf(kHeaderV5)), kBiCompression, 3);
        putU16(bitFields, kBiBitCount, 32);
        add("compression-bitfields-32bit-v5", bitFields,
            "bit-field (BI_BITFIELDS) BMP of 32 bits per pixel is not supported; save it uncompressed with 1, 4, 8 or "
            "24 bits per pixel");
    }
    {
        Bytes jpeg = with32(good24, kBiCompression, 4);
        putU16(jpeg, kBiBitCount, 0);
        add("compression-jpeg", jpeg, std::string("JPEG compressed BMP") + kSaveUncompressed);
        Bytes png = with32(good24, kBiCompression, 5);
        putU16(png, kBiBitCount, 0);
        add("compression-png", png, std::string("PNG compressed BMP") + kSaveUncompressed);
    }
    add("compression-os2v2-huffman", with32(indexedWith(layoutOf(kHeaderOs2v2), 1, 8, 2, 2, 2, 2), kBiCompression, 3),
        std::string("Huffman 1D compressed OS/2 BMP") + kSaveUncompressed);
    add("compression-os2v2-rle24",
        with32(testsupport::bmp24(testsupport::gradient(3, 3), layoutOf(kHeaderOs2v2)), kBiCompression, 4),
        std::string("run-length compressed (RLE24) OS/2 BMP") + kSaveUncompressed);
    add("compression-6", with32(good24, kBiCompression, 6), std::string("compression type 6") + kSaveUncompressed);
    add("compression-huge", with32(good24, kBiCompression, 0xFFFFFFFFu),
        std::string("compression type 4294967295") + kSaveUncompressed);
    {
        Bytes both = with32(good24, kBiCompression, 1);
        putU16(both, kBiBitCount, 16);
        add("compression-rle8-and-16bit", both, std::string("run-length compressed (RLE8) BMP") + kSaveUncompressed);
    }
    add("bitcount-0", with32(good24, kBiBitCount, 0), depth(0));
    add("bitcount-2", with32(good8, kBiBitCount, 2), depth(2));
    add("bitcount-16", with32(good24, kBiBitCount, 16), depth(16));
    add("bitcount-32", with32(good24, kBiBitCount, 32), depth(32));
    add("bitcount-65535", withSigned(good24, kBiBitCount, 0xFFFF), depth(65535));
    {
        // Refused for its depth before its biClrUsed is looked at.
        Bytes bits16 = with32(good24, kBiBitCount, 16);
        putU32(bits16, kBiClrUsed, 0xFFFFFFFFu);
        add("bitcount-16-clrused-max", bits16, depth(16));
    }

    // Truncations: a header block or a pixel array that comes short.
    add("info-header-short", Bytes(good24.begin(), good24.begin() + 40), tooShort(40, 54));
    add("header-size-only", Bytes(good24.begin(), good24.begin() + 16), tooShort(16, 18));
    add("palette-short", Bytes(good8.begin(), good8.begin() + 80), tooShort(80, 118));
    add("v5-header-short", Bytes(v5good8.begin(), v5good8.begin() + 100), tooShort(100, 138));
    add("v5-palette-short", Bytes(v5good8.begin(), v5good8.begin() + 150), tooShort(150, 202));
    {
        const Bytes gap = indexedWith(layoutOf(kHeaderV5, ColorSpace::embeddedProfile, 132), 8, 4, 2, 16, 16, 16);
        add("v5-profile-gap-short", Bytes(gap.begin(), gap.begin() + 250), tooShort(250, 334));
    }
    add("pixel-array-1-byte-short-24bit", truncated(good24, 1), arrayShort(64, 63));
    add("pixel-array-1-byte-short-8bit", truncated(good8, 1), arrayShort(16, 15));
    add("pixel-array-1-byte-short-4bit", truncated(indexed(4, 5, 3, 16, 0, 16), 1), arrayShort(12, 11));
    add("pixel-array-1-byte-short-1bit", truncated(indexed(1, 10, 3, 2, 0, 2), 1), arrayShort(12, 11));
    add("pixel-array-short-top-down", truncated(testsupport::bmp24(testsupport::testCard(5, 4, 2), 2835, true), 1),
        arrayShort(64, 63));
    add("pixel-array-1-byte-short-v5-8bit", truncated(v5good8, 1), arrayShort(16, 15));
    add("pixel-array-missing", Bytes(good24.begin(), good24.begin() + 54), arrayShort(64, 0));
    return files;
}

std::vector<NamedFile> chosenFiles(const std::vector<NamedFile>& files, const std::vector<std::string>& names) {
    std::vector<NamedFile> chosen;
    for (const std::string& name : names) {
        auto it = files.begin();
        while (it != files.end() && it->name != name) ++it;
        chosen.push_back(it != files.end() ? *it : NamedFile{name, {}, "<not in the table>"});
    }
    return chosen;
}

std::vector<NamedFile> hostileFilesOfEachKind() {
    const std::vector<NamedFile> table = hostileFiles();
    std::vector<NamedFile> chosen =
        chosenFiles(table, {"signature-MB", "header-size-16", "compression-rle8", "offbits-inside-palette-8bit",
                            "width-max-height-max-24bit", "pixel-array-1-byte-short-8bit"});
    // Every claim far beyond its file's bytes: each depth and orientation
    // reaches the pixel array by its own path, and only a whole program's
    // peak memory shows that none of them allocates what the header claims.
    for (const NamedFile& file : table) {
        if (file.name.rfind("claims-", 0) == 0) chosen.push_back(file);
    }
    return chosen;
}

}  // namespace hostile
