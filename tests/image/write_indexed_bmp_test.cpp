#include "bmp_builder.h"
#include "dib24.h"
#include "pictures.h"
#include "write_indexed_bmp.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

Bytes writeToMemory(const ImageView& view, const Palette& palette, std::int32_t pelsPerMetre) {
    Bytes out;
    const bool ok = writeIndexedBmp(view, palette, pelsPerMetre, [&](const std::uint8_t* data, std::size_t size) {
        out.insert(out.end(), data, data + size);
        return true;
    });
    EXPECT_TRUE(ok);
    return out;
}

}  // namespace

TEST(WriteIndexedBmp, HeaderPaletteAndRowsFollowTheFormat) {
    const Bgr red{0, 0, 255}, green{0, 255, 0}, blue{255, 0, 0};
    Picture picture(5, 2);
    picture.pixels = {red, green, blue, red, red, blue, blue, green, green, red};
    OwnedImage image(picture);
    const Bytes file = writeToMemory(image.view(), paletteOf({red, green, blue}), 3780);

    const std::uint32_t offBits = 14 + 40 + 3 * 4;
    ASSERT_EQ(file.size(), offBits + 2 * 8);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(getU32(file, 2), file.size());
    EXPECT_EQ(getU32(file, 10), offBits);
    EXPECT_EQ(getU32(file, 14), 40u);
    EXPECT_EQ(getU32(file, 18), 5u);
    EXPECT_EQ(getU32(file, 22), 2u);
    EXPECT_EQ(file[28], 8);
    EXPECT_EQ(getU32(file, 30), 0u);
    EXPECT_EQ(getU32(file, 34), 16u);
    EXPECT_EQ(getU32(file, 38), 3780u);
    EXPECT_EQ(getU32(file, 42), 3780u);
    EXPECT_EQ(getU32(file, 46), 3u);
    // Palette in entry order as blue, green, red, 0.
    const std::uint8_t expectedPalette[] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(expectedPalette), std::end(expectedPalette), file.begin() + 54));
    // Bottom row first, padded to 8 bytes with zeros.
    const std::uint8_t expectedRows[] = {2, 2, 1, 1, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(expectedRows), std::end(expectedRows), file.begin() + offBits));
}

TEST(WriteIndexedBmp, EqualEntriesResolveToTheLowestIndex) {
    const Bgr grey{9, 9, 9}, white{255, 255, 255};
    OwnedImage image(Picture(3, 1, grey));
    const Bytes file = writeToMemory(image.view(), paletteOf({white, grey, grey}), 0);
    EXPECT_EQ(file[14 + 40 + 12], 1);
    EXPECT_EQ(file[14 + 40 + 12 + 2], 1);
}

TEST(WriteIndexedBmp, ReadingTheFileBackGivesThePixels) {
    const Bgr a{1, 2, 3}, b{200, 100, 50}, c{0, 0, 0}, d{255, 255, 255};
    Picture picture(7, 5);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = std::vector<Bgr>{a, b, c, d}[i * 5 % 4];
    OwnedImage image(picture);
    const Bytes file = writeToMemory(image.view(), paletteOf({a, b, c, d}), 2835);
    dib24 reloaded;
    reloaded.create(1, 1, 0);
    FilePtr stream = openBytes(file);
    ASSERT_TRUE(reloaded.readBmp(stream.get()));
    EXPECT_EQ(pictureOf(reloaded.view()), picture);
    EXPECT_EQ(reloaded.resolution, 72);
}

// Large enough for the rows to go out in two blocks, each shared by the
// workers; an odd width pads every row.
TEST(WriteIndexedBmp, APictureOfSeveralBlocksReadsBackRowForRow) {
    Palette palette;
    palette.count = 256;
    for (int k = 0; k < 256; ++k) {
        palette.rgb[static_cast<std::size_t>(3 * k)] = static_cast<std::uint8_t>(k);
        palette.rgb[static_cast<std::size_t>(3 * k + 1)] = static_cast<std::uint8_t>(255 - k);
        palette.rgb[static_cast<std::size_t>(3 * k + 2)] = static_cast<std::uint8_t>(k * 7);
    }
    Picture picture(1601, 1400);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        const int k = static_cast<int>((i * 2654435761u) >> 24 & 255);
        picture.pixels[i] = rgb(palette.red(k), palette.green(k), palette.blue(k));
    }
    OwnedImage image(picture);
    const Bytes file = writeToMemory(image.view(), palette, 2835);
    ASSERT_EQ(file.size(), 14 + 40 + 4 * 256 + 1604 * 1400);
    dib24 reloaded;
    reloaded.create(1, 1, 0);
    FilePtr stream = openBytes(file);
    ASSERT_TRUE(reloaded.readBmp(stream.get()));
    EXPECT_TRUE(pictureOf(reloaded.view()) == picture);
}

// The entries the pass chose, when given, make the same file as looking the
// pixels up: the rows bottom first, the padding zero, over several blocks.
TEST(WriteIndexedBmp, TheChosenEntriesGiveTheFileThatTheLookupGives) {
    Palette palette;
    palette.count = 5;
    for (int k = 0; k < 5; ++k) {
        palette.rgb[static_cast<std::size_t>(3 * k)] = static_cast<std::uint8_t>(40 * k);
        palette.rgb[static_cast<std::size_t>(3 * k + 1)] = static_cast<std::uint8_t>(7 * k);
        palette.rgb[static_cast<std::size_t>(3 * k + 2)] = static_cast<std::uint8_t>(255 - k);
    }
    for (const std::int32_t width : {1, 3, 1601}) {
        const std::int32_t height = width == 1601 ? 1400 : 5;
        Picture picture(width, height);
        std::vector<std::uint8_t> chosen(picture.pixels.size());
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
            const int k = static_cast<int>((i * 2654435761u) >> 24) % 5;
            chosen[i] = static_cast<std::uint8_t>(k);
            picture.pixels[i] = rgb(palette.red(k), palette.green(k), palette.blue(k));
        }
        OwnedImage image(picture);
        Bytes copied;
        ASSERT_TRUE(writeIndexedBmp(
            image.view(), palette, 2835,
            [&](const std::uint8_t* data, std::size_t size) {
                copied.insert(copied.end(), data, data + size);
                return true;
            },
            chosen.data()));
        EXPECT_TRUE(copied == writeToMemory(image.view(), palette, 2835)) << width;
    }
}

TEST(WriteIndexedBmp, AWriterThatRefusesStopsTheWriting) {
    OwnedImage image(Picture(4, 4, {1, 1, 1}));
    int calls = 0;
    EXPECT_FALSE(writeIndexedBmp(image.view(), paletteOf({{1, 1, 1}}), 0, [&](const std::uint8_t*, std::size_t) {
        ++calls;
        return calls < 2;
    }));
    EXPECT_EQ(calls, 2);
}
