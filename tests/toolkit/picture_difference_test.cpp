// The one picture comparison of the viewer's tests: were it to miss a
// difference, every screen those tests check would pass unseen.
#include "picture_difference.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Bgr;
using testsupport::Picture;
using testsupport::pictureDifference;

TEST(PictureDifference, EqualPicturesHaveNone) {
    EXPECT_EQ(pictureDifference(Picture(3, 2, {1, 2, 3}), Picture(3, 2, {1, 2, 3})), "");
    EXPECT_EQ(pictureDifference(Picture(), Picture()), "");
}

TEST(PictureDifference, SizesAreComparedBeforePixels) {
    EXPECT_EQ(pictureDifference(Picture(9, 4), Picture(8, 4)), "size 9x4, expected 8x4");
    EXPECT_EQ(pictureDifference(Picture(2, 6), Picture(6, 2)), "size 2x6, expected 6x2");
}

// A picture wider than it is tall, so that a column and a row mixed up show;
// each channel of its own value, so that a swap of red and blue shows.
TEST(PictureDifference, TheFirstDifferingPixelInPictureOrderAndTheCount) {
    Picture shown(5, 3, {0, 0, 0});
    const Picture expected = shown;
    shown.at(4, 2) = Bgr{0x03, 0x02, 0x01};
    shown.at(2, 1) = Bgr{0x30, 0x20, 0x10};
    shown.at(3, 1) = Bgr{0xff, 0, 0};
    EXPECT_EQ(pictureDifference(shown, expected),
              "3 pixels differ; first difference at (2, 1): shown #102030, expected #000000");
}

}  // namespace
