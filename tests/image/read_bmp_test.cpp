#include "bmp_builder.h"
#include "dib24.h"
#include "pictures.h"

#include <gtest/gtest.h>

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
    for (const std::uint32_t headerSize : {108u, 124u}) {
        // 24 bits with a longer information header: the pixels start at bfOffBits.
        Bytes plain = bmp24(picture);
        Bytes longer(plain.begin(), plain.begin() + 54);
        longer.resize(14 + headerSize, 0x5A);
        longer.insert(longer.end(), plain.begin() + 54, plain.end());
        putU32(longer, 10, 14 + headerSize);
        putU32(longer, 14, headerSize);
        ASSERT_TRUE(load(longer)) << headerSize;
        EXPECT_EQ(loaded(), picture);
    }
    // 8 bits with a 124-byte header: the palette is still taken from offset 54,
    // inside the longer header; the pixels come from bfOffBits.
    const std::vector<std::uint8_t> indices = {0, 1, 2, 3, 3, 2};
    Bytes file = bmpIndexed(8, 3, 2, kFour, indices, 4);
    putU32(file, 14, 124);
    Bytes withGap(file.begin(), file.begin() + 54 + 16);
    withGap.resize(withGap.size() + 100, 0x77);  // a gap after the palette
    withGap.insert(withGap.end(), file.begin() + 54 + 16, file.end());
    putU32(withGap, 10, 54 + 16 + 100);
    ASSERT_TRUE(load(withGap));
    EXPECT_EQ(loaded(), expectedFromIndices(3, 2, kFour, indices));
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

TEST_F(ReadBmp, RefusedFilesLeaveTheImageUntouched) {
    const Bytes good24 = bmp24(testCard(4, 3));
    const Bytes good8 = bmpIndexed(8, 4, 3, kFour, cycling(4, 3, 4), 4);
    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto with = [](Bytes b, std::size_t offset, std::uint32_t value) {
        putU32(b, offset, value);
        return b;
    };
    auto with16 = [](Bytes b, std::size_t offset, std::uint16_t value) {
        putU16(b, offset, value);
        return b;
    };
    cases.push_back({"empty file", {}});
    cases.push_back({"thirteen bytes", Bytes(good24.begin(), good24.begin() + 13)});
    cases.push_back({"MB signature", with16(good24, 0, 0x424D)});
    cases.push_back({"run-length 8 bit", with(good8, 30, 1)});
    cases.push_back({"bit fields 24 bit", with(good24, 30, 3)});
    cases.push_back({"16 bits", with16(good24, 28, 16)});
    cases.push_back({"32 bits", with16(good24, 28, 32)});
    cases.push_back({"2 bits", with16(good24, 28, 2)});
    cases.push_back({"pixel array one byte short", Bytes(good24.begin(), good24.end() - 1)});
    cases.push_back({"negative width", with(good24, 18, static_cast<std::uint32_t>(-4))});
    cases.push_back({"height -2147483648", with(good24, 22, 0x80000000u)});
    cases.push_back({"bfOffBits negative", with(good24, 10, 0xFFFFFFF0u)});
    cases.push_back({"bfOffBits below 14", with(good24, 10, 10)});
    cases.push_back({"bfOffBits inside the information header", with(good24, 10, 40)});
    cases.push_back({"8-bit palette cut short by bfOffBits", with(good8, 10, 54 + 8)});
    cases.push_back({"biClrUsed past bfOffBits", with(good8, 46, 5)});
    cases.push_back({"biClrUsed huge", with(good8, 46, 0xFFFFFFFFu)});
    cases.push_back({"bfOffBits beyond the end", with(good24, 10, 100000)});
    cases.push_back({"claims 20000 x 20000", with(with(good24, 18, 20000), 22, 20000)});
    cases.push_back({"stride x height beyond 32 bits", with(with(good24, 18, 100000), 22, 100000)});
    cases.push_back({"1-bit picture whose image would not fit 32 bits",
                     with(with(bmpIndexed(1, 8, 1, kFour, cycling(8, 1, 2), 2), 18, 65536), 22, 65536)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(load(c.bytes));
        expectUnchanged();
    }
}

TEST_F(ReadBmp, EveryProperPrefixOfAValidFileIsRefused) {
    const std::vector<Bytes> files = {
        bmp24(testCard(5, 3)),
        bmpIndexed(1, 9, 3, {{0, 0, 0}, {255, 255, 255}}, cycling(9, 3, 2), 0),
        bmpIndexed(4, 5, 3, kFour, cycling(5, 3, 4), 4),
        bmpIndexed(8, 6, 2, kFour, cycling(6, 2, 4), 4),
    };
    for (const Bytes& file : files) {
        for (std::size_t length = 0; length < file.size(); ++length) {
            SCOPED_TRACE(::testing::Message() << "prefix of " << length << " of " << file.size() << " bytes");
            ASSERT_FALSE(load(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length))));
            expectUnchanged();
        }
        ASSERT_TRUE(load(file));
        SetUp();
    }
}
