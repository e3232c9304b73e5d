// Drawing the image, watched through our layer's record of GDI calls: one
// StretchDIBits of the whole image as its header describes it, and no GDI
// call at all for an empty image.
#include "dib24.h"
#include "platform_test_hooks.h"

#include <gtest/gtest.h>

namespace {

std::vector<platform::RecordedCall> callsOfDraw(dib24& image) {
    platform::test::startRecording();
    image.draw(nullptr, 0, 0, 10, 10, 0, 0);
    return platform::test::stopRecording();
}

TEST(Dib24Drawing, DrawCopiesTheWholeImageInOneCall) {
    dib24 image;
    ASSERT_TRUE(image.create(5, 3, 0));
    const auto calls = callsOfDraw(image);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "StretchDIBits");
    EXPECT_EQ(calls[0].b, 5u) << "source width";
    EXPECT_EQ(calls[0].c, 3u) << "source height";
}

TEST(Dib24Drawing, AnEmptyImageMakesNoGdiCall) {
    dib24 never;
    ASSERT_TRUE(never.create(0, 0, 0));
    EXPECT_TRUE(callsOfDraw(never).empty()) << "made empty";

    dib24 released;
    ASSERT_TRUE(released.create(4, 4, 0));
    released.release();  // the header still says 4 x 4
    EXPECT_TRUE(callsOfDraw(released).empty()) << "released";
}

}  // namespace
