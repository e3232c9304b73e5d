#include "table_phases.h"
#include "pictures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testsupport;

namespace {

// Runs the remap and hands back the picture and the error row that the last
// picture row passed on (copied into the current row after that row).
struct Remapped {
    Picture picture;
    std::vector<double> lastPassedOn;
};

Remapped remap(const Picture& source, const Palette& palette) {
    OwnedImage image(source);
    const std::size_t doubles = (static_cast<std::size_t>(source.width) + 2) * 3;
    std::vector<double> current(doubles, 0.0), next(doubles, 0.0);
    remapToPalette(image.view(), palette, palette.count, current.data(), next.data());
    for (double v : next) EXPECT_EQ(v, 0.0);
    return {image.picture(), current};
}

const Bgr kBlack = rgb(0, 0, 0);
const Bgr kWhite = rgb(255, 255, 255);

}  // namespace

TEST(Remap, WorkedExampleOfOneRowOfTwoPixels) {
    Picture row(2, 1, rgb(100, 150, 200));
    const Remapped out = remap(row, paletteOf({kBlack, kWhite}));
    EXPECT_EQ(out.picture.at(0, 0), kBlack);
    EXPECT_EQ(out.picture.at(1, 0), kWhite);
    // What the row passed on to the row below, triple by triple (red, green, blue).
    const std::vector<double> expected = {27.25, 47.25, 67.25, -44.25, -21.75, 0.75,
                                          -10.5, -3.0,  4.5,   -7.75,  -5.25,  -2.75};
    EXPECT_EQ(out.lastPassedOn, expected);
}

TEST(Remap, TheNextRowStartsFromWhatTheRowAbovePassedOn) {
    // The worked example with a second row: its first pixel is adjusted to
    // (127, 197, 267), which is nearer white (128) than black (197); the plain
    // source (100, 150, 200) would have chosen black.
    const Remapped out = remap(Picture(2, 2, rgb(100, 150, 200)), paletteOf({kBlack, kWhite}));
    EXPECT_EQ(out.picture.at(0, 0), kBlack);
    EXPECT_EQ(out.picture.at(1, 0), kWhite);
    EXPECT_EQ(out.picture.at(0, 1), kWhite);
}

TEST(Remap, GreyBecomesACheckerboard) {
    const Remapped out = remap(Picture(4, 3, rgb(128, 128, 128)), paletteOf({kBlack, kWhite}));
    const Bgr w = kWhite, b = kBlack;
    const std::vector<Bgr> expected = {w, b, w, b, b, w, b, w, w, b, w, b};
    EXPECT_EQ(out.picture.pixels, expected);
}

TEST(Remap, DistanceWeighsBlueAtSixTenthsAndTiesKeepTheLowerIndex) {
    // A blue difference of 1 weighs 0: both entries at distance 0, entry 0 wins.
    Picture one(1, 1, rgb(10, 20, 31));
    EXPECT_EQ(remap(one, paletteOf({rgb(10, 20, 30), rgb(10, 20, 31)})).picture.at(0, 0), rgb(10, 20, 30));
    // A blue difference of 5 weighs exactly 3: (0, 0, 5) is at 3 from both.
    Picture five(1, 1, rgb(0, 0, 5));
    EXPECT_EQ(remap(five, paletteOf({rgb(3, 0, 5), kBlack})).picture.at(0, 0), rgb(3, 0, 5));
    EXPECT_EQ(remap(five, paletteOf({kBlack, rgb(3, 0, 5)})).picture.at(0, 0), kBlack);
    // Largest channel, not a sum: (0, 0, 40) is 24 from black and 20 from (20, 20, 40).
    Picture blue(1, 1, rgb(0, 0, 40));
    EXPECT_EQ(remap(blue, paletteOf({kBlack, rgb(20, 20, 40)})).picture.at(0, 0), rgb(20, 20, 40));
}

TEST(Remap, ErrorsComeFromTheSourceAndAdjustedValuesAreNotClamped) {
    // Width 1: each pixel gets only the 0.35 share from the pixel above.
    // Row 0, red 183, chooses (140, 0, 0) and passes on 43 x 0.35 = 15.05.
    // Row 1, red 255, is adjusted to 270: (255, 20, 0) is at 20 and
    // (240, 0, 0) at 30. Clamped to 255 the second would win at 15.
    Picture column(1, 2);
    column.pixels = {rgb(183, 0, 0), rgb(255, 0, 0)};
    const Remapped out = remap(column, paletteOf({rgb(255, 20, 0), rgb(240, 0, 0), rgb(140, 0, 0)}));
    EXPECT_EQ(out.picture.at(0, 0), rgb(140, 0, 0));
    EXPECT_EQ(out.picture.at(0, 1), rgb(255, 20, 0));
    // Row 1 passes on source - chosen = (0, -20, 0), not adjusted - chosen = (15, -20, 0).
    EXPECT_EQ(out.lastPassedOn[0], 0.0);
    EXPECT_EQ(out.lastPassedOn[1], -7.0);
}

TEST(Remap, OneEntryPaletteMapsEveryPixelToIt) {
    const Remapped out = remap(testCard(9, 7), paletteOf({rgb(1, 2, 3)}));
    for (const Bgr& p : out.picture.pixels) EXPECT_EQ(p, rgb(1, 2, 3));
}
