#include "dib24.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Dib24Geometry, StrideIsThreeBytesAPixelRoundedUpToFour) {
    const std::pair<int, int> cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {8, 24}};
    for (const auto& [width, stride] : cases) {
        dib24 image;
        image.create(width, 3, 0);
        EXPECT_EQ(image.stride, stride) << "width " << width;
        EXPECT_EQ(image.bmi.bmiHeader.biSizeImage, static_cast<DWORD>(stride * 3));
    }
}

TEST(Dib24Geometry, CreateFillsTheHeaderAndTheResolutionFields) {
    dib24 image;
    ASSERT_TRUE(image.create(1, 1, 0));
    EXPECT_EQ(image.stride, 4);
    EXPECT_EQ(image.bmi.bmiHeader.biSizeImage, 4u);
    EXPECT_EQ(image.bmi.bmiHeader.biXPelsPerMeter, 0);

    ASSERT_TRUE(image.create(5, 2, 72));
    const BITMAPINFOHEADER& h = image.bmi.bmiHeader;
    EXPECT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.stride, 16);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(h.biSizeImage, 32u);
    EXPECT_EQ(h.biXPelsPerMeter, 2835);
    EXPECT_EQ(h.biYPelsPerMeter, 2835);
    EXPECT_EQ(h.biClrUsed, 0u);
}

TEST(Dib24Geometry, ResolutionConversionsTruncateAfterAddingAHalf) {
    EXPECT_EQ(pelsPerMetreFromDpi(0), 0);
    EXPECT_EQ(pelsPerMetreFromDpi(72), 2835);
    EXPECT_EQ(pelsPerMetreFromDpi(96), 3780);
    EXPECT_EQ(pelsPerMetreFromDpi(300), 11811);
    EXPECT_EQ(dpiFromPelsPerMetre(2835), 72);
    EXPECT_EQ(dpiFromPelsPerMetre(3780), 96);
    EXPECT_EQ(dpiFromPelsPerMetre(0), 0);
    // Truncation toward zero, not flooring: -100 x 0.0254 + 0.5 = -2.04.
    EXPECT_EQ(dpiFromPelsPerMetre(-100), -2);
    // Absurd values saturate instead of overflowing the conversion.
    EXPECT_EQ(pelsPerMetreFromDpi(2147483647), 2147483647);
}

TEST(Dib24Lifecycle, ZeroSizeGivesAnEmptyImageThatStillRemembersTheRequest) {
    dib24 image;
    EXPECT_TRUE(image.create(0, 7, 96));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.dibSection, nullptr);
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.stride, 0);
    EXPECT_EQ(image.bmi.bmiHeader.biSizeImage, 0u);
    EXPECT_EQ(image.bmi.bmiHeader.biWidth, 0);
    EXPECT_EQ(image.bmi.bmiHeader.biHeight, 7);
    EXPECT_NE(image.memoryDC, nullptr);  // made whether or not the section exists
}

TEST(Dib24Lifecycle, ReleaseEmptiesTheImageAndIsSafeToRepeat) {
    dib24 image;
    image.create(4, 4, 96);
    image.release();
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.memoryDC, nullptr);
    EXPECT_EQ(image.width, 0);
    image.release();
    EXPECT_EQ(image.dibSection, nullptr);
    EXPECT_EQ(image.bmi.bmiHeader.biWidth, 4);  // the header keeps its values
    EXPECT_EQ(image.resolution, 96);
}

TEST(Dib24Lifecycle, RecreatingGivesAFreshBufferOfTheNewSize) {
    dib24 image;
    image.create(2, 2, 0);
    std::memset(image.pixels, 0xAB, static_cast<std::size_t>(image.stride * image.height));
    image.create(3, 1, 0);
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.stride, 12);
    // The whole new buffer is writable.
    std::memset(image.pixels, 0, static_cast<std::size_t>(image.stride * image.height));
}
