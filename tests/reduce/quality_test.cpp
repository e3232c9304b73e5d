// The quality figures against values worked out by hand.
#include "pictures.h"
#include "quality.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testsupport;

namespace {

Picture pictureOf(std::int32_t width, std::int32_t height, std::vector<Bgr> pixels) {
    Picture picture(width, height);
    picture.pixels = std::move(pixels);
    return picture;
}

}  // namespace

TEST(Quality, WorkedExampleGivesEachFigureAndIgnoresRowPadding) {
    // 3 x 2 pixels: rows of 9 bytes padded to 12, the padding of the two
    // buffers made to differ.
    OwnedImage original(pictureOf(3, 2,
                                  {rgb(10, 20, 30), rgb(0, 0, 0), rgb(200, 200, 200),  //
                                   rgb(5, 5, 5), rgb(5, 5, 5), rgb(5, 5, 5)}));
    OwnedImage reduced(pictureOf(3, 2,
                                 {rgb(13, 20, 26), rgb(0, 1, 0), rgb(200, 200, 200),  //
                                  rgb(5, 5, 5), rgb(5, 5, 5), rgb(5, 5, 5)}));
    const ImageView padded = reduced.view();
    ASSERT_EQ(padded.stride, 12);
    for (int pad = 9; pad < 12; ++pad) padded.pixels[pad] = padded.pixels[12 + pad] = 0xEE;
    // Entry 2 repeats entry 0's colour, so its pixels are entry 0's; entry 4 holds none.
    const Palette palette =
        paletteOf({rgb(13, 20, 26), rgb(0, 1, 0), rgb(13, 20, 26), rgb(200, 200, 200), rgb(255, 255, 255), rgb(5, 5, 5)});

    const Quality q = measureQuality(original.view(), reduced.view(), palette);
    // Squared errors: red 9, green 1, blue 16, over 6 pixels.
    EXPECT_DOUBLE_EQ(q.channelMse[0], 9.0 / 6);
    EXPECT_DOUBLE_EQ(q.channelMse[1], 1.0 / 6);
    EXPECT_DOUBLE_EQ(q.channelMse[2], 16.0 / 6);
    EXPECT_DOUBLE_EQ(q.mse, 26.0 / 18);
    EXPECT_DOUBLE_EQ(q.psnr, 10 * std::log10(65025.0 / (26.0 / 18)));
    EXPECT_EQ(q.maxError, 4);
    EXPECT_EQ(q.entriesUsed, 4);
    EXPECT_EQ(q.paletteCount, 6);
    EXPECT_EQ(formatQuality(q),
              "quality: MSE 1.44 (R 1.50 G 0.17 B 2.67), PSNR 46.53 dB, max error 4, 4 of 6 entries used\n");
}

TEST(Quality, NoLossGivesAnInfinitePsnr) {
    const Picture picture = testCard(17, 9);
    OwnedImage original(picture);
    OwnedImage same(picture);
    const Quality q = measureQuality(original.view(), same.view(), paletteOf({rgb(1, 2, 3)}));
    EXPECT_EQ(q.mse, 0.0);
    EXPECT_TRUE(std::isinf(q.psnr));
    EXPECT_EQ(q.maxError, 0);
    EXPECT_EQ(formatQuality(q), "quality: MSE 0.00 (R 0.00 G 0.00 B 0.00), PSNR inf dB, max error 0, 0 of 1 entries used\n");
}

TEST(Quality, TheLargestLossIsZeroDecibels) {
    OwnedImage black(Picture(4, 4, rgb(0, 0, 0)));
    OwnedImage white(Picture(4, 4, rgb(255, 255, 255)));
    const Quality q = measureQuality(black.view(), white.view(), paletteOf({rgb(255, 255, 255)}));
    EXPECT_EQ(q.mse, 65025.0);
    EXPECT_EQ(q.maxError, 255);
    EXPECT_EQ(formatQuality(q),
              "quality: MSE 65025.00 (R 65025.00 G 65025.00 B 65025.00), PSNR 0.00 dB, max error 255, 1 of 1 entries "
              "used\n");
}

TEST(Quality, AnEmptyPictureHasNoErrorAndUsesNoEntry) {
    OwnedImage empty(Picture(0, 0));
    const Quality q = measureQuality(empty.view(), empty.view(), paletteOf({rgb(0, 0, 0)}));
    EXPECT_EQ(q.mse, 0.0);
    EXPECT_EQ(q.entriesUsed, 0);
    EXPECT_TRUE(std::isinf(q.psnr));
}
