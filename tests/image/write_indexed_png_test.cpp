// The indexed PNG writer: exactly the palette's entries at the smallest bit
// depth that holds them, the pixels' indices as in the indexed BMP, pHYs
// from the resolution, no gamma, read back by libpng.
#include "picture_files.h"
#include "pictures.h"
#include "write_indexed_png.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

Bytes written(OwnedImage& image, const Palette& palette, std::int32_t pelsPerMetre, bool* ok = nullptr) {
    Bytes out;
    const bool done = writeIndexedPng(image.view(), palette, pelsPerMetre, [&](const std::uint8_t* d, std::size_t n) {
        out.insert(out.end(), d, d + n);
        return true;
    });
    if (ok) *ok = done;
    return out;
}

}  // namespace

TEST(WriteIndexedPng, EachPaletteCountGetsTheSmallestDepthAndExactlyItsEntries) {
    for (const auto& [count, depth] : std::vector<std::pair<int, int>>{
             {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 4}, {16, 4}, {17, 8}, {256, 8}}) {
        SCOPED_TRACE(count);
        Palette palette;
        palette.count = count;
        for (int k = 0; k < count; ++k) {
            palette.rgb[3 * k] = static_cast<std::uint8_t>(k);
            palette.rgb[3 * k + 1] = static_cast<std::uint8_t>(255 - k);
            palette.rgb[3 * k + 2] = static_cast<std::uint8_t>(k * 7);
        }
        // Odd widths leave a part of the last byte of each row unused.
        Picture picture(11, 5);
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
            const int k = static_cast<int>((i * 5 + i / 3) % static_cast<std::size_t>(count));
            picture.pixels[i] = Bgr{palette.blue(k), palette.green(k), palette.red(k)};
        }
        OwnedImage image(picture);
        const IndexedPng png = readIndexedPng(written(image, palette, 2835));
        ASSERT_TRUE(png.ok);
        EXPECT_EQ(png.colorType, 3);
        EXPECT_EQ(png.bitDepth, depth);
        ASSERT_EQ(png.palette.size(), static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) EXPECT_EQ(png.palette[k], (Bgr{palette.blue(k), palette.green(k), palette.red(k)}));
        Picture decoded(png.width, png.height);
        for (std::size_t i = 0; i < decoded.pixels.size(); ++i) decoded.pixels[i] = png.palette.at(png.indices[i]);
        EXPECT_EQ(decoded, picture);
        EXPECT_TRUE(png.hasPhys);
        EXPECT_EQ(png.pelsPerMetreX, 2835u);
        EXPECT_EQ(png.pelsPerMetreY, 2835u);
        EXPECT_FALSE(png.hasGamma);
        EXPECT_FALSE(png.hasTransparency);
    }
}

TEST(WriteIndexedPng, AColourHeldTwiceTakesItsLowestIndexAndNoResolutionWritesNoPhys) {
    const Palette palette = paletteOf({rgb(9, 9, 9), rgb(1, 2, 3), rgb(9, 9, 9)});
    Picture picture(3, 1, rgb(9, 9, 9));
    picture.at(1, 0) = rgb(1, 2, 3);
    OwnedImage image(picture);
    const IndexedPng png = readIndexedPng(written(image, palette, 0));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.indices, (std::vector<std::uint8_t>{0, 1, 0}));
    EXPECT_FALSE(png.hasPhys);
}

TEST(WriteIndexedPng, AnEmptyImageOrARefusingWriterFails) {
    const Palette palette = paletteOf({rgb(0, 0, 0)});
    OwnedImage empty(Picture(0, 0));
    bool ok = true;
    written(empty, palette, 0, &ok);
    EXPECT_FALSE(ok);
    OwnedImage image(Picture(4, 4));
    EXPECT_FALSE(writeIndexedPng(image.view(), palette, 0, [](const std::uint8_t*, std::size_t) { return false; }));
}
