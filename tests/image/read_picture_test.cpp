// PNG and JPEG files through readPicture: every PNG kind gives its stored
// samples as the picture (16-bit rounding, sub-byte replication, alpha and
// tRNS over white), the chunks that do not change samples are ignored,
// damaged files are refused with the image left as it was, and JPEG files
// give the pixels that libjpeg gives with its defaults.
#include "dib24.h"
#include "picture_files.h"
#include "pictures.h"
#include "read_picture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace testsupport;

namespace {

struct Loaded {
    bool ok;
    PictureReadStatus status;
    Picture picture;
    std::int32_t resolution;
    bool unchanged;  // a refusal left the marked start-up image in place
};

Loaded load(const Bytes& bytes) {
    dib24 image;
    image.create(1, 1, 0);
    image.pixels[0] = 7;
    const std::uint8_t* start = image.pixels;
    FilePtr file = openBytes(bytes);
    Loaded out{};
    out.ok = readPicture(image, file.get(), out.status);
    out.picture = pictureOf(image.view());
    out.resolution = image.resolution;
    out.unchanged = image.pixels == start && image.width == 1 && image.pixels[0] == 7;
    return out;
}

PngRecipe recipe(int colorType, int bitDepth, bool interlaced, std::int32_t width = 13, std::int32_t height = 9) {
    return rampPng(colorType, bitDepth, interlaced, width, height);
}

Picture uniform(int width, int height, Bgr color) { return Picture(width, height, color); }

}  // namespace

TEST(ReadPicturePng, EveryColourTypeAndDepthGivesItsStoredSamplesInterlacedOrNot) {
    const std::vector<std::pair<int, std::vector<int>>> kinds = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto& [type, depths] : kinds) {
        for (const int depth : depths) {
            for (const bool interlaced : {false, true}) {
                // Sizes below 8 leave some interlace passes empty.
                for (const auto& [w, h] : std::vector<std::pair<int, int>>{{13, 9}, {1, 1}, {3, 2}, {9, 17}}) {
                    const PngRecipe s = recipe(type, depth, interlaced, w, h);
                    SCOPED_TRACE("type " + std::to_string(type) + " depth " + std::to_string(depth) +
                                 (interlaced ? " interlaced " : " ") + std::to_string(w) + "x" + std::to_string(h));
                    const Loaded got = load(pngFile(s));
                    ASSERT_TRUE(got.ok) << got.status.message;
                    EXPECT_EQ(got.status.format, PictureFormat::png);
                    EXPECT_EQ(got.picture, expectedPngPicture(s));
                }
            }
        }
    }
}

// The conversions by their values, independently of the test's own rules.
TEST(ReadPicturePng, SamplesBecomeEightBitValuesByTheirRules) {
    PngRecipe grey16 = recipe(0, 16, false, 4, 1);
    grey16.samples = {32896, 65535, 128, 129};  // 128.498..., 255, 0.498..., 0.502...
    const Loaded a = load(pngFile(grey16));
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.picture.at(0, 0), (Bgr{128, 128, 128}));
    EXPECT_EQ(a.picture.at(1, 0), (Bgr{255, 255, 255}));
    EXPECT_EQ(a.picture.at(2, 0), (Bgr{0, 0, 0}));
    EXPECT_EQ(a.picture.at(3, 0), (Bgr{1, 1, 1}));

    PngRecipe grey2 = recipe(0, 2, false, 4, 1);
    grey2.samples = {0, 1, 2, 3};
    EXPECT_EQ(load(pngFile(grey2)).picture.pixels,
              (std::vector<Bgr>{{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}}));
    PngRecipe grey4 = recipe(0, 4, false, 2, 1);
    grey4.samples = {3, 15};
    EXPECT_EQ(load(pngFile(grey4)).picture.pixels, (std::vector<Bgr>{{51, 51, 51}, {255, 255, 255}}));

    // Red at half alpha over white: (255 x 128 + 255 x 127 + 127) / 255 = 255,
    // (0 + 255 x 127 + 127) / 255 = 127.
    PngRecipe rgba = recipe(6, 8, false, 3, 1);
    rgba.samples = {255, 0, 0, 128, 10, 20, 30, 0, 10, 20, 30, 255};
    const Loaded b = load(pngFile(rgba));
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.picture.at(0, 0), (Bgr{127, 127, 255}));
    EXPECT_EQ(b.picture.at(1, 0), (Bgr{255, 255, 255}));
    EXPECT_EQ(b.picture.at(2, 0), (Bgr{30, 20, 10}));
    EXPECT_TRUE(b.status.shownOverWhite);

    // 16-bit alpha is rounded to 8 bits before the composite.
    PngRecipe rgba16 = recipe(6, 16, false, 1, 1);
    rgba16.samples = {0, 65535, 0, 32896};
    EXPECT_EQ(load(pngFile(rgba16)).picture.at(0, 0), (Bgr{127, 255, 127}));
}

TEST(ReadPicturePng, TransparencyChunksMakeEntriesAndStoredValuesTransparent) {
    PngRecipe palette = recipe(3, 2, false, 4, 1);
    palette.samples = {0, 1, 2, 3};
    palette.paletteAlpha = {0, 51};  // entries 2 and 3 stay opaque
    const Loaded a = load(pngFile(palette));
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.picture, expectedPngPicture(palette));
    EXPECT_EQ(a.picture.at(0, 0), (Bgr{255, 255, 255}));
    EXPECT_TRUE(a.status.shownOverWhite);

    // Compared on the stored 16-bit values: 0x1235 rounds to the same 8-bit
    // grey as the key 0x1234 but is opaque.
    PngRecipe grey = recipe(0, 16, false, 2, 1);
    grey.samples = {0x1234, 0x1235};
    grey.hasKey = true;
    grey.key = {0x1234, 0, 0};
    const Loaded b = load(pngFile(grey));
    EXPECT_EQ(b.picture.pixels, (std::vector<Bgr>{{255, 255, 255}, {18, 18, 18}}));

    PngRecipe subByte = recipe(0, 1, true, 3, 3);
    subByte.samples = {0, 1, 0, 1, 1, 1, 0, 0, 0};
    subByte.hasKey = true;
    subByte.key = {1, 0, 0};
    EXPECT_EQ(load(pngFile(subByte)).picture, expectedPngPicture(subByte));

    PngRecipe rgb = recipe(2, 8, false, 2, 1);
    rgb.samples = {1, 2, 3, 1, 2, 4};
    rgb.hasKey = true;
    rgb.key = {1, 2, 3};
    EXPECT_EQ(load(pngFile(rgb)).picture.pixels, (std::vector<Bgr>{{255, 255, 255}, {4, 2, 1}}));
}

TEST(ReadPicturePng, OpaqueAlphaIsNotReportedAsShownOverWhite) {
    PngRecipe rgba = recipe(6, 8, false, 2, 1);
    rgba.samples = {1, 2, 3, 255, 4, 5, 6, 255};
    const Loaded got = load(pngFile(rgba));
    ASSERT_TRUE(got.ok);
    EXPECT_FALSE(got.status.shownOverWhite);
}

TEST(ReadPicturePng, ChunksThatDoNotChangeSamplesAreIgnored) {
    for (const int type : {0, 2, 3, 4, 6}) {
        PngRecipe plain = recipe(type, 8, false);
        PngRecipe extras = plain;
        extras.ancillaryChunks = true;  // sBIT, bKGD, gAMA, cHRM, zTXt, sPLT and a suggested PLTE
        const Loaded got = load(pngFile(extras));
        ASSERT_TRUE(got.ok) << "type " << type << ": " << got.status.message;
        EXPECT_EQ(got.picture, expectedPngPicture(plain)) << "type " << type;
    }
}

TEST(ReadPicturePng, ResolutionComesFromPhysInPelsPerMetre) {
    PngRecipe s = recipe(2, 8, false, 2, 2);
    s.pelsPerMetre = 3780;
    EXPECT_EQ(load(pngFile(s)).resolution, 96);
    s.pelsPerMetre = 0;
    EXPECT_EQ(load(pngFile(s)).resolution, 0);
}

TEST(ReadPicturePng, DamagedFilesAreRefusedAndLeaveTheImage) {
    const Bytes good = pngFile(recipe(2, 8, false, 40, 30));
    const std::size_t ihdr = pngChunkAt(good, "IHDR");
    const std::size_t idat = pngChunkAt(good, "IDAT");
    const std::size_t idatLength = std::size_t{good[idat + 2]} << 8 | good[idat + 3];  // a small file
    auto with = [&](std::size_t at, std::uint8_t value, bool refreshCrcOf = false, std::size_t chunk = 0) {
        Bytes b = good;
        b[at] = value;
        if (refreshCrcOf) refreshPngCrc(b, chunk);
        return b;
    };
    struct Case {
        const char* name;
        Bytes bytes;
        PictureRefusal refusal;
    };
    const std::vector<Case> cases = {
        {"IHDR CRC", with(ihdr + 8 + 13, static_cast<std::uint8_t>(good[ihdr + 21] ^ 1)), PictureRefusal::damaged},
        {"IDAT CRC", with(idat + 8 + idatLength, static_cast<std::uint8_t>(good[idat + 8 + idatLength] ^ 1)),
         PictureRefusal::damaged},
        {"zlib check", with(idat + 8 + idatLength - 1, static_cast<std::uint8_t>(good[idat + 8 + idatLength - 1] ^ 1), true, idat),
         PictureRefusal::damaged},
        {"no IDAT", withoutPngChunks(good, "IDAT"), PictureRefusal::pngNoImageData},
        {"colour type 5", with(ihdr + 8 + 9, 5, true, ihdr), PictureRefusal::pngColorType},
        {"bit depth 3", with(ihdr + 8 + 8, 3, true, ihdr), PictureRefusal::pngBitDepth},
        {"RGB of 4 bits", with(ihdr + 8 + 8, 4, true, ihdr), PictureRefusal::pngBitDepth},
        {"interlace 2", with(ihdr + 8 + 12, 2, true, ihdr), PictureRefusal::pngMethod},
        {"width 0", with(ihdr + 8 + 3, 0, true, ihdr), PictureRefusal::pngBadSize},
        {"no IEND", withoutPngChunks(good, "IEND"), PictureRefusal::truncated},
    };
    for (const Case& c : cases) {
        const Loaded got = load(c.bytes);
        EXPECT_FALSE(got.ok) << c.name;
        EXPECT_TRUE(got.unchanged) << c.name;
        EXPECT_EQ(got.status.refusal, c.refusal) << c.name << ": " << got.status.message;
    }
    // A signature that is not quite PNG's is not a PNG: the BMP reader refuses it.
    const Loaded notPng = load(with(3, 'X'));
    EXPECT_EQ(notPng.status.format, PictureFormat::bmp);
    EXPECT_EQ(notPng.status.bmp.refusal, BmpRefusal::notBmp);
}

TEST(ReadPicturePng, DamageInAnAncillaryChunkIsSkipped) {
    PngRecipe s = recipe(2, 8, false);
    s.ancillaryChunks = true;
    Bytes b = pngFile(s);
    const std::size_t text = pngChunkAt(b, "zTXt");
    ASSERT_NE(text, std::string::npos);
    b[text + 10] ^= 0x55;  // its data, and so its CRC
    const Loaded got = load(b);
    ASSERT_TRUE(got.ok) << got.status.message;
    PngRecipe plain = s;
    plain.ancillaryChunks = false;
    EXPECT_EQ(got.picture, expectedPngPicture(plain));
}

TEST(ReadPicturePng, AHugeHeaderWithLittleDataIsRefusedBeforeAnyAllocation) {
    Bytes b = pngFile(recipe(2, 8, false, 4, 4));
    const std::size_t ihdr = pngChunkAt(b, "IHDR");
    // 100000 x 100000: beyond the size limit.
    for (int k = 0; k < 2; ++k) putU32(b, ihdr + 8 + 4 * k, 0xA0860100u);  // big-endian 100000
    refreshPngCrc(b, ihdr);
    Loaded got = load(b);
    EXPECT_EQ(got.status.refusal, PictureRefusal::tooLarge);
    EXPECT_EQ(got.status.width, 100000);
    // 20000 x 20000 is within it, but a few bytes of compressed data cannot hold it.
    for (int k = 0; k < 2; ++k) putU32(b, ihdr + 8 + 4 * k, 0x204E0000u);  // big-endian 20000
    refreshPngCrc(b, ihdr);
    got = load(b);
    EXPECT_EQ(got.status.refusal, PictureRefusal::pngDataTooShort);
    EXPECT_TRUE(got.unchanged);
}

TEST(ReadPictureJpeg, EveryCodingGivesThePixelsOfLibjpegsDefaults) {
    // Smooth, so that the compressed picture stays close to it; a channel
    // order or a row order gone wrong is far from it.
    const Picture card = gradient(37, 21);
    struct Case {
        const char* name;
        JpegRecipe recipe;
    };
    std::vector<Case> cases = {{"baseline", {}}, {"grey", {}}, {"progressive", {}}, {"arithmetic", {}},
                               {"grey progressive arithmetic", {}}};
    cases[1].recipe.grey = true;
    cases[2].recipe.progressive = true;
    cases[3].recipe.arithmetic = true;
    cases[4].recipe.grey = cases[4].recipe.progressive = cases[4].recipe.arithmetic = true;
    for (const Case& c : cases) {
        const Bytes jpeg = jpegFile(card, c.recipe);
        const Loaded got = load(jpeg);
        ASSERT_TRUE(got.ok) << c.name << ": " << got.status.message;
        EXPECT_EQ(got.status.format, PictureFormat::jpeg);
        EXPECT_EQ(got.picture, libjpegPicture(jpeg)) << c.name;
        // And it is the picture: close to what was compressed.
        long total = 0;
        for (std::size_t k = 0; k < card.pixels.size(); ++k) {
            const Bgr& p = got.picture.pixels[k];
            const Bgr& q = card.pixels[k];
            total += c.recipe.grey ? std::abs(p.g - q.g) : std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
        }
        EXPECT_LT(total / static_cast<long>(card.pixels.size()), 6) << c.name;
    }
}

TEST(ReadPictureJpeg, ResolutionComesFromTheJfifDensity) {
    const Picture p = uniform(8, 8, {1, 2, 3});
    JpegRecipe s;
    s.densityUnit = 1;
    s.density = 300;
    EXPECT_EQ(load(jpegFile(p, s)).resolution, 300);
    s.densityUnit = 2;
    s.density = 118;  // 11800 pels per metre
    EXPECT_EQ(load(jpegFile(p, s)).resolution, 300);
    s.densityUnit = 0;
    s.density = 1;
    EXPECT_EQ(load(jpegFile(p, s)).resolution, 0);
}

TEST(ReadPictureJpeg, KindsThatAreNotReadAreRefusedByName) {
    const Picture p = testCard(16, 16);
    const Bytes baseline = jpegFile(p);
    // The frame header: FF C0, length, then precision.
    std::size_t sof = 2;
    while (!(baseline[sof] == 0xFF && baseline[sof + 1] == 0xC0)) ++sof;
    Bytes twelveBit = baseline;
    twelveBit[sof + 4] = 12;
    Bytes lossless = baseline;
    lossless[sof + 1] = 0xC3;
    JpegRecipe cmyk;
    cmyk.cmyk = true;
    JpegRecipe ycck = cmyk;
    ycck.ycck = true;

    Loaded got = load(twelveBit);
    EXPECT_EQ(got.status.refusal, PictureRefusal::jpegPrecision);
    EXPECT_EQ(got.status.value, 12);
    EXPECT_TRUE(got.unchanged);
    EXPECT_EQ(load(lossless).status.refusal, PictureRefusal::jpegProcess);
    got = load(jpegFile(p, cmyk));
    EXPECT_EQ(got.status.refusal, PictureRefusal::jpegColorSpace);
    EXPECT_FALSE(got.status.ycck);
    got = load(jpegFile(p, ycck));
    EXPECT_EQ(got.status.refusal, PictureRefusal::jpegColorSpace);
    EXPECT_TRUE(got.status.ycck);
}

TEST(ReadPictureJpeg, DamagedScanDataIsRefused) {
    const Bytes good = jpegFile(testCard(64, 48));
    // The scan begins after the SOS segment; a marker in the middle of it
    // cuts the entropy-coded data short.
    std::size_t sos = 2;
    while (!(good[sos] == 0xFF && good[sos + 1] == 0xDA)) ++sos;
    Bytes damaged = good;
    const std::size_t middle = sos + (good.size() - sos) / 2;
    damaged[middle] = 0xFF;
    damaged[middle + 1] = 0xD3;  // a restart marker where none belongs
    const Loaded got = load(damaged);
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.status.refusal, PictureRefusal::damaged);
    EXPECT_TRUE(got.unchanged);
}

TEST(ReadPictureFormats, FormatsToldByTheirSignatureAreRefusedByName) {
    auto withHead = [](const std::string& head) {
        Bytes b(64, 0);
        std::copy(head.begin(), head.end(), b.begin());
        return b;
    };
    Bytes os2Icon = withHead("IC");
    os2Icon[14] = 12;
    Bytes array = withHead("BA");
    array[14] = 'C';
    array[15] = 'I';
    const std::vector<std::pair<Bytes, PictureFormat>> cases = {
        {withHead("GIF89a"), PictureFormat::gif},   {withHead("GIF87a"), PictureFormat::gif},
        {withHead(std::string("II*\0", 4)), PictureFormat::tiff},   {withHead(std::string("MM\0*", 4)), PictureFormat::tiff},
        {withHead(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)), PictureFormat::webp}, {os2Icon, PictureFormat::os2Icon},
        {array, PictureFormat::os2BitmapArray},
    };
    for (const auto& [bytes, format] : cases) {
        const Loaded got = load(bytes);
        EXPECT_EQ(got.status.format, format);
        EXPECT_EQ(got.status.refusal, PictureRefusal::unsupportedFormat);
        EXPECT_TRUE(got.unchanged);
    }
    // Text that begins like an OS/2 icon is not one.
    EXPECT_EQ(load(withHead("ICE cream")).status.format, PictureFormat::bmp);
}
