// What the view composes, apart from any window: the picture at a zoom
// (nearest pixel, from any offset), the area-averaged fit, the difference
// as grey and its scale, and the palette's grid of swatches and bars.
#include "palette_grid.h"
#include "pictures.h"
#include "view_compose.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using testsupport::Bgr;
using testsupport::OwnedImage;
using testsupport::Picture;

const Bgr kBackground{kBackgroundGrey, kBackgroundGrey, kBackgroundGrey};

// Every pixel a colour of its own.
Picture numbered(std::int32_t width, std::int32_t height) {
    Picture p(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            p.at(x, y) = Bgr{static_cast<std::uint8_t>(x * 17 + 3), static_cast<std::uint8_t>(y * 29 + 5),
                             static_cast<std::uint8_t>(x * y + 7)};
    return p;
}

Picture composed(ViewComposer& composer, const ViewState& view) {
    OwnedImage target(Picture(view.client.width, view.client.height, Bgr{1, 2, 3}));
    composer.compose(view, target.view());
    return target.picture();
}

// The area average by its definition: each result pixel the mean of the
// picture over the rectangle it covers, adding up pixel by pixel the area
// of each picture pixel within it (in units of 1 / (from x to) of a pixel).
Picture averagedByDefinition(const Picture& from, Size to) {
    Picture out(to.width, to.height);
    const auto overlap = [](std::int64_t i, std::int64_t j, std::int64_t n, std::int64_t m) {
        return std::max<std::int64_t>(0, std::min((i + 1) * m, (j + 1) * n) - std::max(i * m, j * n));
    };
    for (std::int32_t dy = 0; dy < to.height; ++dy)
        for (std::int32_t dx = 0; dx < to.width; ++dx) {
            std::uint64_t sum[3] = {0, 0, 0};
            for (std::int32_t y = 0; y < from.height; ++y)
                for (std::int32_t x = 0; x < from.width; ++x) {
                    const auto w = static_cast<std::uint64_t>(overlap(x, dx, from.width, to.width) *
                                                              overlap(y, dy, from.height, to.height));
                    const Bgr& p = from.at(x, y);
                    sum[0] += w * p.b, sum[1] += w * p.g, sum[2] += w * p.r;
                }
            const std::uint64_t total = static_cast<std::uint64_t>(from.width) * from.height;
            out.at(dx, dy) = Bgr{static_cast<std::uint8_t>((sum[0] + total / 2) / total),
                                 static_cast<std::uint8_t>((sum[1] + total / 2) / total),
                                 static_cast<std::uint8_t>((sum[2] + total / 2) / total)};
        }
    return out;
}

Picture averaged(const Picture& from, Size to) {
    OwnedImage image(from);
    const ImageView view = image.view();
    const std::vector<std::uint8_t> bytes =
        areaAverage([&](std::int32_t y) { return view.at(0, y); }, Size{from.width, from.height}, to);
    Picture out(to.width, to.height);
    for (std::size_t i = 0; i < out.pixels.size(); ++i) out.pixels[i] = Bgr{bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]};
    return out;
}

TEST(AreaAverage, EachPixelIsTheMeanOfWhatItCovers) {
    // Three columns into two: the middle one is shared half and half.
    Picture row(3, 1);
    row.pixels = {{0, 0, 0}, {90, 90, 90}, {255, 255, 255}};
    Picture two = averaged(row, Size{2, 1});
    EXPECT_EQ(two.at(0, 0).b, 30) << "(2 x 0 + 90) / 3";
    EXPECT_EQ(two.at(1, 0).b, 200) << "(90 + 2 x 255) / 3";
    // Halving: the mean of each 2 x 2 block, rounded to the nearest.
    Picture square(2, 2);
    square.pixels = {{10, 0, 0}, {11, 0, 0}, {11, 0, 0}, {11, 0, 0}};
    EXPECT_EQ(averaged(square, Size{1, 1}).at(0, 0).b, 11) << "10.75";
    // The same size is the picture itself; one colour stays that colour.
    const Picture card = testsupport::testCard(23, 17, 3);
    EXPECT_EQ(averaged(card, Size{23, 17}), card);
    EXPECT_EQ(averaged(Picture(31, 7, {9, 200, 77}), Size{4, 3}), Picture(4, 3, {9, 200, 77}));
}

TEST(AreaAverage, AgreesWithItsDefinitionForRatiosThatDoNotDivide) {
    const Picture card = testsupport::testCard(37, 29, 8);
    for (const Size to : {Size{36, 28}, Size{13, 11}, Size{5, 29}, Size{37, 2}, Size{1, 1}, Size{17, 10}}) {
        SCOPED_TRACE(std::to_string(to.width) + "x" + std::to_string(to.height));
        EXPECT_EQ(averaged(card, to), averagedByDefinition(card, to));
    }
}

TEST(ViewCompose, AtAZoomEachPicturePixelIsASquareFromAnyOffset) {
    const Picture picture = numbered(5, 4);
    OwnedImage reduced(picture);
    ViewComposer composer(reduced.view(), ImageView{}, Palette{}, EntryCounts{});
    for (const int zoom : {1, 3, 4}) {
        ViewState view = initialView(Size{5, 4}, Size{13, 9});
        view.zoom = zoom;
        view.offsetX = zoom == 1 ? 0 : 6;
        view.offsetY = zoom == 1 ? 0 : 3;
        const Picture shown = composed(composer, view);
        for (std::int32_t y = 0; y < 9; ++y)
            for (std::int32_t x = 0; x < 13; ++x) {
                const std::int64_t px = (view.offsetX + x) / zoom, py = (view.offsetY + y) / zoom;
                const Bgr want = px < 5 && py < 4 ? picture.at(static_cast<int>(px), static_cast<int>(py)) : kBackground;
                ASSERT_EQ(shown.at(x, y), want) << "zoom " << zoom << " at (" << x << ", " << y << ")";
            }
    }
}

TEST(ViewCompose, TheFittedViewIsTheAveragedPictureInTheMiddle) {
    const Picture picture = testsupport::testCard(40, 12, 2);
    OwnedImage reduced(picture);
    ViewComposer composer(reduced.view(), ImageView{}, Palette{}, EntryCounts{});
    const ViewState view = applied(initialView(Size{40, 12}, Size{20, 10}), Action::Fit, {});
    const Picture shown = composed(composer, view);
    const Picture fitted = averagedByDefinition(picture, Size{20, 6});
    for (std::int32_t y = 0; y < 10; ++y)
        for (std::int32_t x = 0; x < 20; ++x)
            ASSERT_EQ(shown.at(x, y), y >= 2 && y < 8 ? fitted.at(x, y - 2) : kBackground) << x << ", " << y;
    EXPECT_EQ(composed(composer, view), shown) << "the same from the kept fit";
}

TEST(ViewCompose, TheDifferenceIsTheLargestChannelDifferenceScaledToWhite) {
    Picture before(3, 1), after(3, 1);
    before.pixels = {{100, 100, 100}, {0, 0, 0}, {7, 7, 7}};
    after.pixels = {{110, 95, 100}, {0, 0, 40}, {7, 7, 7}};  // 10, 40 (the largest), 0
    OwnedImage original(before), reduced(after);
    EXPECT_EQ(largestDifference(original.view(), reduced.view()), 40);
    EXPECT_EQ(largestDifference(original.view(), original.view()), 0);
    EXPECT_EQ(differenceGrey(40, 40), 255);
    EXPECT_EQ(differenceGrey(10, 40), 64) << "63.75";
    EXPECT_EQ(differenceGrey(0, 40), 0);
    EXPECT_EQ(differenceGrey(0, 0), 0) << "the same pictures: all black";

    ViewComposer composer(reduced.view(), original.view(), Palette{}, EntryCounts{});
    ViewState view = initialView(Size{3, 1}, Size{3, 1});
    view.difference = true;
    const Picture shown = composed(composer, view);
    EXPECT_EQ(shown.pixels, (std::vector<Bgr>{{64, 64, 64}, {255, 255, 255}, {0, 0, 0}}));
    view.original = true;
    EXPECT_EQ(composed(composer, view), before) << "the original over the difference";
    view.palette = true;
    EXPECT_EQ(composed(composer, view), before) << "and over the palette";
}

TEST(ViewCompose, WithoutTheOriginalTheReducedPictureShowsForEveryComparison) {
    const Picture picture = numbered(4, 3);
    OwnedImage reduced(picture);
    Picture other(5, 5);
    OwnedImage mismatched(other);
    // No copy, or one that is not of the same picture.
    for (const ImageView original : {ImageView{}, mismatched.view()}) {
        ViewComposer composer(reduced.view(), original, Palette{}, EntryCounts{});
        EXPECT_FALSE(composer.hasOriginal());
        ViewState view = initialView(Size{4, 3}, Size{4, 3});
        view.difference = view.original = true;
        EXPECT_EQ(composed(composer, view), picture);
    }
}

TEST(PaletteGrid, TheCellsTileTheClientInEntryOrder) {
    EXPECT_EQ(paletteGrid(256, Size{1274, 995}).columns, 19) << "cells of 67 x 71";
    EXPECT_EQ(paletteGrid(256, Size{1274, 995}).rows, 14);
    EXPECT_EQ(paletteGrid(1, Size{300, 200}).columns, 1);
    EXPECT_EQ(paletteGrid(3, Size{300, 100}).columns, 3);
    EXPECT_EQ(paletteGrid(3, Size{100, 300}).columns, 1);

    const Size client{101, 53};
    const PaletteGrid grid = paletteGrid(40, client);
    std::vector<int> owner(static_cast<std::size_t>(client.width * client.height), -1);
    for (int k = 0; k < grid.columns * grid.rows; ++k) {
        const Box c = paletteCell(grid, client, k, 1, 1).cell;
        for (std::int32_t y = c.top; y < c.bottom; ++y)
            for (std::int32_t x = c.left; x < c.right; ++x) {
                int& o = owner[static_cast<std::size_t>(y * client.width + x)];
                ASSERT_EQ(o, -1) << "cells overlap at " << x << ", " << y;
                o = k;
            }
        if (k > 0) {
            const Box before = paletteCell(grid, client, k - 1, 1, 1).cell;
            EXPECT_TRUE(before.top < c.top || (before.top == c.top && before.left < c.left)) << "row by row";
        }
    }
    EXPECT_EQ(std::count(owner.begin(), owner.end(), -1), 0) << "the cells fill the client area";
}

TEST(PaletteGrid, EachBarIsTheCountAgainstTheLargest) {
    const PaletteGrid grid{4, 4};
    const Size client{400, 400};  // cells of 100 x 100, inner 99 x 99, track 19 high
    const PaletteCell largest = paletteCell(grid, client, 5, 800, 800);
    EXPECT_EQ(largest.cell, (Box{100, 100, 200, 200}));
    EXPECT_EQ(largest.swatch, (Box{100, 100, 199, 180}));
    EXPECT_EQ(largest.track, (Box{100, 180, 199, 199}));
    EXPECT_EQ(largest.bar, largest.track) << "the largest entry's bar is the whole track";
    EXPECT_EQ(paletteCell(grid, client, 5, 200, 800).bar, (Box{100, 180, 124, 199})) << "99 / 4";
    EXPECT_EQ(paletteCell(grid, client, 5, 1, 800).bar.right, 101) << "a pixel for any count";
    const PaletteCell none = paletteCell(grid, client, 5, 0, 800);
    EXPECT_EQ(none.bar.top, none.bar.bottom) << "no bar for an entry of no pixels";
}

TEST(PaletteGrid, TheViewShowsEverySwatchTrackAndBar) {
    Palette palette;
    palette.count = 3;
    palette.rgb = {};
    const std::uint8_t colors[] = {200, 10, 20, 30, 210, 40, 50, 60, 220};
    std::copy(std::begin(colors), std::end(colors), palette.rgb.begin());
    EntryCounts counts{};
    counts[0] = 10, counts[1] = 40, counts[2] = 20;
    OwnedImage reduced(Picture(2, 2));
    ViewComposer composer(reduced.view(), ImageView{}, palette, counts);
    ViewState view = initialView(Size{2, 2}, Size{60, 20});
    view.palette = true;
    const Picture shown = composed(composer, view);
    const PaletteGrid grid = paletteGrid(3, view.client);
    ASSERT_EQ(grid.columns, 3);
    for (int k = 0; k < 3; ++k) {
        const PaletteCell c = paletteCell(grid, view.client, k, counts[static_cast<std::size_t>(k)], 40);
        const Bgr swatch{palette.blue(k), palette.green(k), palette.red(k)};
        EXPECT_EQ(shown.at(c.swatch.left, c.swatch.top), swatch);
        EXPECT_EQ(shown.at(c.swatch.right - 1, c.swatch.bottom - 1), swatch);
        EXPECT_EQ(shown.at(c.bar.right - 1, c.track.top), (Bgr{255, 255, 255}));
        if (c.bar.right < c.track.right) {
            EXPECT_EQ(shown.at(c.bar.right, c.track.top), (Bgr{0, 0, 0}));
        }
        EXPECT_EQ(shown.at(c.cell.right - 1, c.cell.bottom - 1), kBackground) << "the gap";
    }
}

}  // namespace
