#include "bmp_builder.h"
#include "dib24.h"
#include "pictures.h"

#ifndef _WIN32
#include "platform_test_hooks.h"
#endif

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

using namespace testsupport;

namespace {

class ReadBmp : public ::testing::Test {
protected:
    void SetUp() override {
        image.create(1, 1, 0);
        image.pixels[0] = 11;
        image.pixels[1] = 22;
        image.pixels[2] = 33;
        startPixels = image.pixels;
    }

    bool load(const Bytes& bytes) {
        FilePtr file = openBytes(bytes);
        return image.readBmp(file.get());
    }
    bool loadWithStatus(const Bytes& bytes, BmpReadStatus& status) {
        FilePtr file = openBytes(bytes);
        return image.readBmp(file.get(), status);
    }

    // Refusals leave the start-up image exactly as it was.
    void expectUnchanged() const {
        EXPECT_EQ(image.pixels, startPixels);
        EXPECT_EQ(image.width, 1);
        EXPECT_EQ(image.height, 1);
        EXPECT_EQ(image.stride, 4);
        EXPECT_EQ(image.pixels[0], 11);
        EXPECT_EQ(image.pixels[1], 22);
        EXPECT_EQ(image.pixels[2], 33);
    }

    Picture loaded() const { return pictureOf(image.view()); }

    dib24 image;
    std::uint8_t* startPixels = nullptr;
};

const std::vector<Bgr> kFour = {{0, 0, 0}, {255, 255, 255}, {10, 20, 30}, {200, 100, 50}};

std::vector<std::uint8_t> cycling(std::int32_t w, std::int32_t h, int modulo) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>((i * 7 + i / 3) % modulo);
    return out;
}

Picture expectedFromIndices(std::int32_t w, std::int32_t h, const std::vector<Bgr>& palette,
                            const std::vector<std::uint8_t>& indices) {
    Picture p(w, h);
    for (std::size_t i = 0; i < indices.size(); ++i)
        p.pixels[i] = indices[i] < palette.size() ? palette[indices[i]] : Bgr{0, 0, 0};
    return p;
}

}  // namespace

TEST_F(ReadBmp, TwentyFourBitRowsAreCopiedByteForByteIncludingPadding) {
    Picture picture(3, 2);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(10 * i), static_cast<std::uint8_t>(100 + i)};
    Bytes file = bmp24(picture);
    file[54 + 9] = 0xA1;  // padding of the first (bottom) file row
    file[54 + 23] = 0xB2;
    ASSERT_EQ(file.size(), 54u + 24u);
    ASSERT_TRUE(load(file));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.stride, 12);
    EXPECT_EQ(0, std::memcmp(image.pixels, file.data() + 54, 24));
    // The byte at r x stride + 3x is the blue of column x of picture row height - 1 - r.
    EXPECT_EQ(image.pixels[0 * 12 + 3 * 2], picture.at(2, 1).b);
    EXPECT_EQ(loaded(), picture);
}

TEST_F(ReadBmp, IndexedDepthsExpandThroughTheFilePalette) {
    struct Case {
        int bits;
        std::int32_t width, height;
    };
    for (const Case c : {Case{1, 10, 3}, Case{1, 17, 2}, Case{4, 5, 2}, Case{4, 8, 3}, Case{8, 7, 3}, Case{8, 1, 1}}) {
        SCOPED_TRACE(::testing::Message() << c.bits << " bits, " << c.width << " x " << c.height);
        const int entries = c.bits == 1 ? 2 : 4;
        const std::vector<Bgr> palette(kFour.begin(), kFour.begin() + entries);
        const auto indices = cycling(c.width, c.height, entries);
        ASSERT_TRUE(load(bmpIndexed(c.bits, c.width, c.height, palette, indices, static_cast<std::uint32_t>(entries))));
        EXPECT_EQ(loaded(), expectedFromIndices(c.width, c.height, palette, indices));
    }
}

TEST_F(ReadBmp, BitAndNibbleOrderFollowTheFormat) {
    // 1 bit, 10 wide: sourceStride 4; pixel 9 is bit 6 of the row's second byte.
    std::vector<std::uint8_t> ones(10, 0);
    ones[9] = 1;
    Bytes file = bmpIndexed(1, 10, 1, {{0, 0, 0}, {9, 9, 9}}, ones, 2);
    ASSERT_EQ(file.size(), 54u + 8u + 4u);
    EXPECT_EQ(file[62 + 1], 0x40);
    ASSERT_TRUE(load(file));
    EXPECT_EQ(loaded().at(9, 0), (Bgr{9, 9, 9}));
    EXPECT_EQ(loaded().at(8, 0), (Bgr{0, 0, 0}));

    // 4 bits, 5 wide: sourceStride 4; pixel 4 is the high nibble of the third byte.
    std::vector<std::uint8_t> nibbles = {0, 0, 0, 0, 3};
    file = bmpIndexed(4, 5, 1, kFour, nibbles, 4);
    EXPECT_EQ(file[54 + 16 + 2], 0x30);
    ASSERT_TRUE(load(file));
    EXPECT_EQ(loaded().at(4, 0), kFour[3]);
}

TEST_F(ReadBmp, PaletteSizeComesFromClrUsedOrTheDepth) {
    // biClrUsed 0 at 8 bits: all 256 entries are taken from offset 54.
    std::vector<Bgr> full(256);
    for (int k = 0; k < 256; ++k) full[static_cast<std::size_t>(k)] = {static_cast<std::uint8_t>(k), 1, static_cast<std::uint8_t>(255 - k)};
    std::vector<std::uint8_t> indices = {0, 200, 255, 16};
    ASSERT_TRUE(load(bmpIndexed(8, 4, 1, full, indices, 0)));
    EXPECT_EQ(loaded(), expectedFromIndices(4, 1, full, indices));

    // biClrUsed 16: only 16 entries; index 200 has none and reads as black.
    const std::vector<Bgr> sixteen(full.begin(), full.begin() + 16);
    ASSERT_TRUE(load(bmpIndexed(8, 4, 1, sixteen, indices, 16)));
    EXPECT_EQ(loaded().at(1, 0), (Bgr{0, 0, 0}));
    EXPECT_EQ(loaded().at(3, 0), (Bgr{0, 0, 0}));  // index 16 is one past the last entry
    EXPECT_EQ(loaded().at(0, 0), sixteen[0]);

    // A 4-bit file whose palette has 2 entries: index 9 reads as black, not past the palette.
    ASSERT_TRUE(load(bmpIndexed(4, 2, 1, {{1, 2, 3}, {4, 5, 6}}, {1, 9}, 2)));
    EXPECT_EQ(loaded().at(0, 0), (Bgr{4, 5, 6}));
    EXPECT_EQ(loaded().at(1, 0), (Bgr{0, 0, 0}));
}

TEST_F(ReadBmp, LongerHeadersAndGapsBeforeThePixelsAreSkipped) {
    const Picture picture = testCard(6, 4);
    for (const std::uint32_t headerSize : {kHeaderOs2v2, kHeaderV4, kHeaderV5}) {
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(::testing::Message() << headerSize << "-byte header" << (topDown ? ", top-down" : ""));
            // 24 bits with a longer information header: the pixels start at bfOffBits.
            const ColorSpace space = headerSize == kHeaderV4 ? ColorSpace::calibrated : ColorSpace::sRGB;
            const BmpLayout layout = layoutOf(headerSize, space, topDown ? 13 : 0, topDown);
            ASSERT_TRUE(load(bmp24(picture, layout)));
            EXPECT_EQ(loaded(), picture);
        }
    }
    // Zero-filled longer headers, as before.
    for (const std::uint32_t headerSize : {108u, 124u}) {
        Bytes plain = bmp24(picture);
        Bytes longer(plain.begin(), plain.begin() + 54);
        longer.resize(14 + headerSize, 0x5A);
        longer.insert(longer.end(), plain.begin() + 54, plain.end());
        putU32(longer, 10, 14 + headerSize);
        putU32(longer, 14, headerSize);
        ASSERT_TRUE(load(longer)) << headerSize;
        EXPECT_EQ(loaded(), picture);
    }
}

// V4, V5 and OS/2 2.x headers as ImageMagick, GIMP and OS/2 write them: the
// file palette starts at file offset 14 + biSize, after the masks, the
// colour space, the endpoints, the gammas and the profile fields, whatever
// the depth, the number of entries, the gap before the pixels and the order
// of the rows. The programs' load and their output rest on this alone.
TEST_F(ReadBmp, ThePaletteFollowsTheHeaderWhoseLengthBiSizeGives) {
    std::vector<Bgr> palette(256);
    for (int k = 0; k < 256; ++k)
        palette[static_cast<std::size_t>(k)] = {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(100 + k / 2),
                                                static_cast<std::uint8_t>(255 - k)};
    struct Layout {
        std::uint32_t headerSize;
        ColorSpace colorSpace;
        std::size_t gap;
        bool topDown;
    };
    const Layout layouts[] = {{kHeaderOs2v2, ColorSpace::sRGB, 0, false},
                              {kHeaderOs2v2, ColorSpace::sRGB, 9, false},
                              {kHeaderV4, ColorSpace::sRGB, 0, false},
                              {kHeaderV4, ColorSpace::calibrated, 30, false},
                              {kHeaderV4, ColorSpace::sRGB, 40, true},
                              {kHeaderV5, ColorSpace::sRGB, 0, false},
                              {kHeaderV5, ColorSpace::calibrated, 0, false},
                              {kHeaderV5, ColorSpace::embeddedProfile, 140, false},
                              {kHeaderV5, ColorSpace::embeddedProfile, 200, true}};
    for (const int bits : {1, 4, 8}) {
        const int most = 1 << bits;
        // biClrUsed 0 (all entries), all of them named, fewer, and a single entry.
        const std::pair<int, int> counts[] = {{most, 0}, {most, most}, {most / 2 + 1, most / 2 + 1}, {1, 1}};
        for (const auto& [colors, clrUsed] : counts) {
            const std::vector<Bgr> used(palette.begin(), palette.begin() + colors);
            const auto indices = cycling(13, 5, colors);
            for (const Layout& l : layouts) {
                SCOPED_TRACE(::testing::Message() << bits << " bits, " << colors << " colours (biClrUsed " << clrUsed
                                                  << "), " << l.headerSize << "-byte header, gap " << l.gap
                                                  << (l.topDown ? ", top-down" : ""));
                const Bytes file = bmpIndexed(bits, 13, 5, used, indices, static_cast<std::uint32_t>(clrUsed),
                                              layoutOf(l.headerSize, l.colorSpace, l.gap, l.topDown));
                ASSERT_EQ(getU32(file, 10), 14 + l.headerSize + 4 * colors + l.gap);
                BmpReadStatus status;
                ASSERT_TRUE(loadWithStatus(file, status));
                EXPECT_EQ(loaded(), expectedFromIndices(13, 5, used, indices));
                EXPECT_EQ(status.refusal, BmpRefusal::none);
                EXPECT_EQ(status.header.headerSize, l.headerSize);
                EXPECT_EQ(status.header.paletteEntries, colors);
            }
        }
    }
}

// Indices past biClrUsed read as black also when the palette follows a
// longer header: the entries after the palette (a profile) are not colours.
TEST_F(ReadBmp, AnIndexPastALongerHeadersPaletteReadsAsBlack) {
    const BmpLayout layout = layoutOf(kHeaderV5, ColorSpace::embeddedProfile, 64);
    ASSERT_TRUE(load(bmpIndexed(8, 3, 1, {{1, 2, 3}, {4, 5, 6}}, {0, 1, 2}, 2, layout)));
    EXPECT_EQ(loaded().at(0, 0), (Bgr{1, 2, 3}));
    EXPECT_EQ(loaded().at(1, 0), (Bgr{4, 5, 6}));
    EXPECT_EQ(loaded().at(2, 0), (Bgr{0, 0, 0}));
}

// A 40-byte header reads as it always has: palette at file offset 54,
// pixels at bfOffBits, whatever lies between them skipped.
TEST_F(ReadBmp, A40ByteHeaderTakesItsPaletteFromOffset54) {
    const std::vector<std::uint8_t> indices = {0, 1, 2, 3, 3, 2};
    const Bytes file = bmpIndexed(8, 3, 2, kFour, indices, 4, layoutOf(kHeaderV3, ColorSpace::sRGB, 100));
    EXPECT_EQ(file[54], kFour[0].b);
    EXPECT_EQ(file[58 + 2], kFour[1].r);
    ASSERT_TRUE(load(file));
    EXPECT_EQ(loaded(), expectedFromIndices(3, 2, kFour, indices));
}

TEST_F(ReadBmp, HeadersShorterThan40BytesOrLongerThanTheirBlockAreRefused) {
    struct Case {
        const char* what;
        Bytes bytes;
        BmpRefusal refusal;
        std::uint32_t headerSize;
        std::int64_t needed, present;
    };
    const Bytes good8 = bmpIndexed(8, 4, 3, kFour, cycling(4, 3, 4), 4);  // bfOffBits 70
    auto withSize = [](Bytes b, std::uint32_t size) {
        putU32(b, 14, size);
        return b;
    };
    const Case cases[] = {
        {"OS/2 1.x, 8 bits", bmpOs2v1(8, 4, 3, kFour, cycling(4, 3, 4)), BmpRefusal::headerTooShort, 12, 0, 0},
        {"OS/2 1.x, 1 bit, 1 x 1", bmpOs2v1(1, 1, 1, kFour, {1}), BmpRefusal::headerTooShort, 12, 0, 0},
        {"short OS/2 2.x header", withSize(good8, 16), BmpRefusal::headerTooShort, 16, 0, 0},
        {"biSize 0", withSize(good8, 0), BmpRefusal::headerTooShort, 0, 0, 0},
        {"biSize 39", withSize(good8, 39), BmpRefusal::headerTooShort, 39, 0, 0},
        // The header block of 56 bytes holds the 40-byte header and 4 entries.
        {"biSize larger than the header block", withSize(good8, 108), BmpRefusal::headerBlockShort, 108, 108, 56},
        {"biSize leaves no room for the palette", withSize(good8, 44), BmpRefusal::headerBlockShort, 44, 60, 56},
        {"biSize 0xFFFFFFFF", withSize(good8, 0xFFFFFFFFu), BmpRefusal::headerBlockShort, 0xFFFFFFFFu, 0xFFFFFFFF, 56},
        {"biSize 0xFFFFFFFF, 24 bits", withSize(bmp24(testCard(2, 2)), 0xFFFFFFFFu), BmpRefusal::headerBlockShort,
         0xFFFFFFFFu, 0xFFFFFFFF, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BmpReadStatus status;
        EXPECT_FALSE(loadWithStatus(c.bytes, status));
        expectUnchanged();
        EXPECT_EQ(status.refusal, c.refusal);
        EXPECT_EQ(status.header.headerSize, c.headerSize);
        EXPECT_EQ(status.needed, c.needed);
        EXPECT_EQ(status.present, c.present);
    }
}

TEST_F(ReadBmp, TopDownFilesLoadUpright) {
    const Picture picture = testCard(5, 3);
    ASSERT_TRUE(load(bmp24(picture, 2835, true)));
    EXPECT_EQ(loaded(), picture);
    EXPECT_EQ(image.height, 3);

    const std::vector<std::uint8_t> indices = {0, 1, 2, 3, 0, 1};
    Bytes indexed = bmpIndexed(8, 3, 2, kFour, indices, 4);
    // Store the rows top row first and say so with a negative height.
    Bytes flipped = indexed;
    std::memcpy(flipped.data() + 70, indexed.data() + 74, 4);
    std::memcpy(flipped.data() + 74, indexed.data() + 70, 4);
    putU32(flipped, 22, static_cast<std::uint32_t>(-2));
    ASSERT_TRUE(load(flipped));
    EXPECT_EQ(loaded(), expectedFromIndices(3, 2, kFour, indices));
}

TEST_F(ReadBmp, ResolutionComesFromTheHorizontalFieldOnly) {
    Bytes file = bmp24(testCard(2, 2), 3780);
    putU32(file, 42, 2835);
    ASSERT_TRUE(load(file));
    EXPECT_EQ(image.resolution, 96);
    EXPECT_EQ(image.bmi.bmiHeader.biXPelsPerMeter, 3780);
    EXPECT_EQ(image.bmi.bmiHeader.biYPelsPerMeter, 3780);
}

TEST_F(ReadBmp, BytesAfterACompletePixelArrayAreIgnored) {
    const Picture picture = testCard(3, 3);
    Bytes file = bmp24(picture);
    file.insert(file.end(), 50, 0xEE);
    ASSERT_TRUE(load(file));
    EXPECT_EQ(loaded(), picture);
}

TEST_F(ReadBmp, AZeroSideGivesAnEmptyImageAndSuccess) {
    for (const auto& [w, h] : {std::pair<int, int>{0, 5}, {5, 0}, {0, 0}}) {
        Bytes file = bmp24(Picture(w, h));
        ASSERT_TRUE(load(file)) << w << " x " << h;
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.width, 0);
        EXPECT_EQ(image.height, 0);
    }
}

// Every refusal of the reader, each with its reason, and every cut of a
// valid file are tested on the shared table of hostile and valid files
// (tests/hostile/bmp_cases.h) in tests/app/reader_refusals_test.cpp.

TEST_F(ReadBmp, ACutGivesTheBytesNeededAndTheBytesThere) {
    const Bytes good8 = bmpIndexed(8, 4, 3, kFour, cycling(4, 3, 4), 4);  // 70 bytes of headers, 12 of pixels
    BmpReadStatus status;
    EXPECT_FALSE(loadWithStatus(Bytes(good8.begin(), good8.begin() + 60), status));
    EXPECT_EQ(status.refusal, BmpRefusal::truncatedHeaders);
    EXPECT_EQ(status.needed, 70);
    EXPECT_EQ(status.present, 60);
    EXPECT_FALSE(loadWithStatus(Bytes(good8.begin(), good8.begin() + 75), status));
    EXPECT_EQ(status.refusal, BmpRefusal::pixelArrayShort);
    EXPECT_EQ(status.needed, 12);
    EXPECT_EQ(status.present, 5);
    expectUnchanged();
}

TEST_F(ReadBmp, TheStatusOfALoadedFileHoldsItsHeader) {
    BmpLayout layout;
    layout.headerSize = kHeaderV5;
    layout.pelsPerMetre = 3780;
    BmpReadStatus status;
    ASSERT_TRUE(loadWithStatus(bmpIndexed(4, 5, 2, kFour, cycling(5, 2, 4), 4, layout), status));
    EXPECT_EQ(status.refusal, BmpRefusal::none);
    EXPECT_EQ(status.header.offBits, 14 + 124 + 16);
    EXPECT_EQ(status.header.headerSize, 124u);
    EXPECT_EQ(status.header.width, 5);
    EXPECT_EQ(status.header.height, 2);
    EXPECT_EQ(status.header.bitCount, 4);
    EXPECT_EQ(status.header.compression, 0u);
    EXPECT_EQ(status.header.xPelsPerMeter, 3780);
    EXPECT_EQ(status.header.clrUsed, 4u);
    EXPECT_EQ(status.header.paletteEntries, 4);
}

#ifndef _WIN32
// GDI cannot make the new image's buffer (memory is short): the file is
// refused and the image is the one it was, on each road through the reader:
// a 24-bit file read straight into the new image, a 24-bit stream of
// unknown length, and each indexed depth.
TEST_F(ReadBmp, AnImageThatCannotBeMadeLeavesTheOldOne) {
    struct LiftLimit {
        ~LiftLimit() { platform::test::limitDibSectionBytes(-1); }
    } lift;
    platform::test::limitDibSectionBytes(1000);  // a 20 x 20 image needs 1200
    const Picture picture = testCard(20, 20);
    const std::vector<Bytes> files = {
        bmp24(picture), bmp24(picture, 2835, true), bmpIndexed(1, 20, 20, kFour, cycling(20, 20, 2), 2),
        bmpIndexed(4, 20, 20, kFour, cycling(20, 20, 4), 4), bmpIndexed(8, 20, 20, kFour, cycling(20, 20, 4), 4)};
    for (const Bytes& file : files) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(file[28]) << " bits");
        BmpReadStatus status;
        EXPECT_FALSE(loadWithStatus(file, status));
        EXPECT_EQ(status.refusal, BmpRefusal::noMemory);
        EXPECT_EQ(status.header.width, 20);
        expectUnchanged();
        // From a stream whose length the reader cannot learn.
        Bytes copy = file;
        std::FILE* stream = fmemopen(copy.data(), copy.size(), "rb");
        ASSERT_NE(stream, nullptr);
        EXPECT_FALSE(image.readBmp(stream, status));
        std::fclose(stream);
        EXPECT_EQ(status.refusal, BmpRefusal::noMemory);
        expectUnchanged();
    }
    // Within the limit, the same road loads.
    platform::test::limitDibSectionBytes(1200);
    ASSERT_TRUE(load(files[0]));
    EXPECT_EQ(loaded(), picture);
}

// A stream that fails while it is read: the system's error, not a cut.
TEST_F(ReadBmp, AReadErrorIsReportedWithTheSystemsReason) {
    std::FILE* folder = std::fopen(".", "rb");
    if (!folder) GTEST_SKIP() << "this system does not open folders as files";
    BmpReadStatus status;
    EXPECT_FALSE(image.readBmp(folder, status));
    std::fclose(folder);
    EXPECT_EQ(status.refusal, BmpRefusal::readError);
    EXPECT_EQ(status.systemError, EISDIR);
    expectUnchanged();
}
#endif
