// The fast pass must print the same bytes and leave the same pixels as the
// plain reference pass (tests/support/reference_pass.h) on every picture.
#include "census.h"
#include "derive_palette.h"
#include "key_order_cut.h"
#include "median_cut.h"
#include "nearest_entry.h"
#include "pass.h"
#include "pictures.h"
#include "reduce_image.h"
#include "reference_pass.h"
#include "remap.h"
#include "table_phases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using testsupport::Bgr;
using testsupport::OwnedImage;
using testsupport::Picture;

struct Case {
    std::string name;
    std::function<Picture()> make;
};

std::string describe(const Case& c) { return c.name; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// Bytes of the whole buffer, row padding included (the pass must not touch it).
std::vector<std::uint8_t> bytesOf(OwnedImage& image) {
    const ImageView v = image.view();
    if (v.empty()) return {};
    return std::vector<std::uint8_t>(v.pixels, v.pixels + static_cast<std::size_t>(v.stride) * v.height);
}

Picture oneColor(std::int32_t w, std::int32_t h) { return Picture(w, h, Bgr{30, 20, 10}); }

// A picture of exactly `colours` colours in bands, with a few noisy pixels
// that reuse them: many pixels per colour, as in drawings.
Picture bands(std::int32_t w, std::int32_t h, int colors, std::uint32_t seed) {
    Picture p = testsupport::fewColors(w, h, colors, seed);
    std::sort(p.pixels.begin(), p.pixels.end(), [](const Bgr& a, const Bgr& b) {
        return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
    });
    return p;
}

std::vector<Case> wholePassCases() {
    std::vector<Case> cases;
    for (std::int32_t w = 1; w <= 13; ++w) {
        for (const std::int32_t h : {1, 2, 3, 7}) {
            cases.push_back({"noise " + std::to_string(w) + "x" + std::to_string(h),
                             [=] { return testsupport::noise(w, h, static_cast<std::uint32_t>(w * 31 + h)); }});
            cases.push_back({"card " + std::to_string(w) + "x" + std::to_string(h),
                             [=] { return testsupport::testCard(w, h, static_cast<std::uint32_t>(w + h)); }});
        }
    }
    for (const int colors : {1, 2, 3, 17, 255, 256, 257, 300}) {
        cases.push_back({"scattered " + std::to_string(colors) + " colours",
                         [=] { return testsupport::fewColors(41, 37, colors, static_cast<std::uint32_t>(colors)); }});
        cases.push_back({"banded " + std::to_string(colors) + " colours",
                         [=] { return bands(64, 48, colors, static_cast<std::uint32_t>(colors + 5)); }});
    }
    cases.push_back({"one colour 7x5", [] { return oneColor(7, 5); }});
    cases.push_back({"one colour 300x200", [] { return oneColor(300, 200); }});
    cases.push_back({"empty 0x0", [] { return Picture(0, 0); }});
    cases.push_back({"empty 0x5", [] { return Picture(0, 5); }});
    cases.push_back({"empty 5x0", [] { return Picture(5, 0); }});
    cases.push_back({"noise 256x256", [] { return testsupport::noise(256, 256, 99); }});
    cases.push_back({"noise 640x3", [] { return testsupport::noise(640, 3, 5); }});
    cases.push_back({"gradient 64x48", [] { return testsupport::gradient(64, 48); }});
    cases.push_back({"gradient 1024x768", [] { return testsupport::gradient(1024, 768); }});
    cases.push_back({"card 320x240", [] { return testsupport::testCard(320, 240, 3); }});
    cases.push_back({"card 1024x768", [] { return testsupport::testCard(1024, 768, 11); }});
    cases.push_back({"card 333x1", [] { return testsupport::testCard(333, 1, 4); }});
    cases.push_back({"card 1x333", [] { return testsupport::testCard(1, 333, 4); }});
    return cases;
}

class WholePass : public testing::TestWithParam<Case> {};

// Both variants: the programs run the plain census and remap on a processor
// without the population count instruction or the vector unit.
TEST_P(WholePass, PrintsTheSameLinesAndLeavesTheSamePixelsAsTheReference) {
    const Picture picture = GetParam().make();
    OwnedImage expected(picture);
    StringSink expectedText;
    const Palette expectedPalette = reference::reduceImage(expected.view(), expectedText);
    for (const pass::Variant variant : {pass::Variant::Best, pass::Variant::Plain}) {
        SCOPED_TRACE(variant == pass::Variant::Plain ? "plain variant" : "best variant");
        OwnedImage actual(picture);
        StringSink actualText;
        const Palette actualPalette = variant == pass::Variant::Best ? reduceImage(actual.view(), actualText)
                                                                     : pass::reduce(actual.view(), actualText, variant);
        EXPECT_EQ(actualText.text(), expectedText.text());
        EXPECT_EQ(actualPalette.count, expectedPalette.count);
        EXPECT_EQ(actualPalette.rgb, expectedPalette.rgb);
        EXPECT_TRUE(bytesOf(actual) == bytesOf(expected)) << "pixels differ";
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, WholePass, testing::ValuesIn(wholePassCases()),
                         [](const testing::TestParamInfo<Case>& param) {
                             std::string name = describe(param.param);
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

// ---------------------------------------------------------------------------
// The public phase functions against the reference phases, on one table.

std::vector<Picture> phasePictures() {
    return {testsupport::testCard(97, 61, 2), testsupport::noise(50, 40, 8), testsupport::fewColors(30, 30, 257, 4),
            testsupport::fewColors(9, 9, 3, 1), oneColor(4, 4)};
}

// The reference table's used records: up to the first negative box.
ColorTable usedPart(const ColorTable& table) {
    ColorTable used;
    for (const ColorEntry& e : table) {
        if (e.box < 0) break;
        used.push_back(e);
    }
    return used;
}

bool sameRecords(const ColorTable& a, const ColorTable& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].red != b[i].red || a[i].green != b[i].green || a[i].blue != b[i].blue || a[i].box != b[i].box ||
            a[i].count != b[i].count) {
            return false;
        }
    }
    return true;
}

TEST(Phases, CensusNumbersColorsByFirstAppearanceLikeTheReference) {
    for (const Picture& picture : phasePictures()) {
        OwnedImage image(picture);
        StringSink fastText;
        StringSink referenceText;
        const ColorTable fast = takeCensus(image.view(), fastText);
        const ColorTable plain = usedPart(reference::takeCensus(image.view(), referenceText));
        EXPECT_TRUE(sameRecords(fast, plain)) << picture.width << "x" << picture.height;
    }
}

// The pass's own census: the reference counts in key order, whatever the
// variant and however many workers share the rows.
TEST(Phases, CountColorsGivesTheReferenceCountsInKeyOrderForEveryVariantAndWorkerCount) {
    for (const Picture& picture : phasePictures()) {
        OwnedImage image(picture);
        StringSink sink;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
        for (const ColorEntry& e : usedPart(reference::takeCensus(image.view(), sink))) {
            expected.emplace_back(static_cast<std::uint32_t>(colorKey(e.red, e.green, e.blue)),
                                  static_cast<std::uint32_t>(e.count));
        }
        std::sort(expected.begin(), expected.end());
        for (const pass::Variant variant : {pass::Variant::Best, pass::Variant::Plain}) {
            for (const int workers : {1, 2, 3, 4}) {
                std::vector<std::pair<std::uint32_t, std::uint32_t>> actual;
                for (const pass::ColorCount& c : pass::countColors(image.view(), workers, variant)) {
                    actual.emplace_back(c.key, c.count);
                }
                EXPECT_EQ(actual, expected) << picture.width << "x" << picture.height << ", " << workers
                                            << " workers, " << (variant == pass::Variant::Plain ? "plain" : "best");
            }
        }
    }
}

TEST(Phases, MedianCutAndSplitBoxGiveEveryRecordTheReferenceBox) {
    for (const Picture& picture : phasePictures()) {
        OwnedImage image(picture);
        StringSink sink;
        // The reference table, full size with its end mark, for both.
        ColorTable plain = reference::takeCensus(image.view(), sink);
        ColorTable fast = plain;
        for (const std::int32_t limit : {1, 2, 5, 256}) {
            for (ColorEntry& e : plain) e.box = e.box < 0 ? -1 : 0;
            for (ColorEntry& e : fast) e.box = e.box < 0 ? -1 : 0;
            const auto n = static_cast<std::int32_t>(plain.size());
            EXPECT_EQ(medianCut(fast.data(), n, limit), reference::medianCut(plain.data(), n, limit));
            EXPECT_TRUE(sameRecords(fast, plain)) << "limit " << limit;
        }
        // One split at a time through the public splitBox.
        for (ColorEntry& e : plain) e.box = e.box < 0 ? -1 : 0;
        for (ColorEntry& e : fast) e.box = e.box < 0 ? -1 : 0;
        const auto n = static_cast<std::int32_t>(plain.size());
        std::vector<SplitTask> fastList, plainList;
        std::int32_t fastCount = 1, plainCount = 1;
        for (std::int32_t box = 0; box < 6; ++box) {
            splitBox(fastList, fast.data(), n, fastCount, box, 0, 8);
            reference::splitBox(plainList, plain.data(), n, plainCount, box, 0, 8);
        }
        EXPECT_EQ(fastCount, plainCount);
        EXPECT_EQ(fastList.size(), plainList.size());
        EXPECT_TRUE(sameRecords(fast, plain));
    }
}

TEST(Phases, DerivePaletteWritesTheReferenceLinesAndEntries) {
    for (const Picture& picture : phasePictures()) {
        OwnedImage image(picture);
        StringSink sink;
        ColorTable table = reference::takeCensus(image.view(), sink);
        const auto n = static_cast<std::int32_t>(table.size());
        const std::int32_t count = reference::medianCut(table.data(), n, 256);
        Palette fast, plain;
        StringSink fastText, plainText;
        derivePalette(table.data(), n, count, fast, fastText);
        reference::derivePalette(table.data(), n, count, plain, plainText);
        EXPECT_EQ(fastText.text(), plainText.text());
        EXPECT_EQ(fast.rgb, plain.rgb);
        EXPECT_EQ(fast.count, plain.count);
    }
}

// ---------------------------------------------------------------------------
// The remap alone, on palettes that the pass would never make, with every
// variant of the search and every number of workers.

Palette randomPalette(int count, std::uint32_t seed, int spread) {
    std::mt19937 random(seed);
    Palette p;
    p.count = count;
    const int low = 128 - spread / 2;
    for (int i = 0; i < 3 * count; ++i) {
        p.rgb[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(low + static_cast<int>(random() % (spread + 1)));
    }
    return p;
}

Palette uniformPalette(int count, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Palette p;
    p.count = count;
    for (int k = 0; k < count; ++k) {
        p.rgb[static_cast<std::size_t>(3 * k)] = r;
        p.rgb[static_cast<std::size_t>(3 * k + 1)] = g;
        p.rgb[static_cast<std::size_t>(3 * k + 2)] = b;
    }
    return p;
}

struct RemapCase {
    std::string name;
    Picture picture;
    Palette palette;
};

std::vector<RemapCase> remapCases() {
    std::vector<RemapCase> cases;
    for (const int count : {1, 2, 5, 40, 255, 256}) {
        for (const int spread : {255, 40}) {
            cases.push_back({"noise, " + std::to_string(count) + " entries within " + std::to_string(spread),
                             testsupport::noise(37, 23, static_cast<std::uint32_t>(count)),
                             randomPalette(count, static_cast<std::uint32_t>(count * 7 + spread), spread)});
        }
    }
    // Many equal entries: every one is listed for every cell, and the lowest
    // index must still win.
    cases.push_back({"256 equal entries", testsupport::testCard(40, 30, 1), uniformPalette(256, 128, 128, 128)});
    Palette twins = randomPalette(256, 5, 255);
    for (int k = 128; k < 256; ++k) {
        for (int c = 0; c < 3; ++c) {
            twins.rgb[static_cast<std::size_t>(3 * k + c)] = twins.rgb[static_cast<std::size_t>(3 * (k - 128) + c)];
        }
    }
    cases.push_back({"every entry twice", testsupport::noise(64, 20, 3), twins});
    Palette corners;
    corners.count = 8;
    for (int k = 0; k < 8; ++k) {
        corners.rgb[static_cast<std::size_t>(3 * k)] = (k & 4) ? 255 : 0;
        corners.rgb[static_cast<std::size_t>(3 * k + 1)] = (k & 2) ? 255 : 0;
        corners.rgb[static_cast<std::size_t>(3 * k + 2)] = (k & 1) ? 255 : 0;
    }
    cases.push_back({"cube corners on a gradient", testsupport::gradient(90, 70), corners});
    cases.push_back({"grey checkerboard", Picture(4, 3, Bgr{128, 128, 128}), uniformPalette(1, 0, 0, 0)});
    Palette blackWhite = uniformPalette(2, 0, 0, 0);
    blackWhite.rgb[3] = blackWhite.rgb[4] = blackWhite.rgb[5] = 255;
    cases.push_back({"black and white on a card", testsupport::testCard(13, 9, 2), blackWhite});
    return cases;
}

TEST(Remap, EveryWorkerCountAndVariantMatchesTheReferenceIncludingTheErrorRows) {
    for (const RemapCase& c : remapCases()) {
        OwnedImage expected(c.picture);
        const std::size_t rowDoubles = (static_cast<std::size_t>(c.picture.width) + 2) * 3;
        std::vector<double> plainCurrent(rowDoubles, 0.0), plainNext(rowDoubles, 0.0);
        reference::remapToPalette(expected.view(), c.palette, c.palette.count, plainCurrent.data(), plainNext.data());

        // The public function: pixels and both rows as the reference leaves them.
        OwnedImage actual(c.picture);
        std::vector<double> current(rowDoubles, 0.0), next(rowDoubles, 0.0);
        remapToPalette(actual.view(), c.palette, c.palette.count, current.data(), next.data());
        EXPECT_TRUE(bytesOf(actual) == bytesOf(expected)) << c.name;
        EXPECT_EQ(0, std::memcmp(current.data(), plainCurrent.data(), rowDoubles * sizeof(double))) << c.name;
        EXPECT_EQ(0, std::memcmp(next.data(), plainNext.data(), rowDoubles * sizeof(double))) << c.name;

        for (const pass::Variant variant : {pass::Variant::Best, pass::Variant::Plain}) {
            for (const int workers : {1, 2, 3, 4}) {
                OwnedImage image(c.picture);
                pass::remapImage(image.view(), c.palette, c.palette.count, workers, nullptr, nullptr, variant);
                EXPECT_TRUE(bytesOf(image) == bytesOf(expected))
                    << c.name << ", " << workers << " workers, "
                    << (variant == pass::Variant::Plain ? "plain" : "best") << " search";
            }
        }
    }
}

TEST(Remap, ErrorAlreadyWaitingInTheCurrentRowIsTakenAsTheReferenceTakesIt) {
    const Picture picture = testsupport::testCard(21, 6, 9);
    const Palette palette = randomPalette(16, 3, 255);
    const std::size_t rowDoubles = (21 + 2) * 3;
    std::vector<double> start(rowDoubles);
    for (std::size_t i = 0; i < rowDoubles; ++i) start[i] = static_cast<double>(i % 7) * 13.25 - 40.0;

    OwnedImage expected(picture);
    std::vector<double> plainCurrent = start, plainNext(rowDoubles, 0.0);
    reference::remapToPalette(expected.view(), palette, palette.count, plainCurrent.data(), plainNext.data());
    OwnedImage actual(picture);
    std::vector<double> current = start, next(rowDoubles, 0.0);
    remapToPalette(actual.view(), palette, palette.count, current.data(), next.data());
    EXPECT_TRUE(bytesOf(actual) == bytesOf(expected));
    EXPECT_EQ(0, std::memcmp(current.data(), plainCurrent.data(), rowDoubles * sizeof(double)));
}

// Larger pictures through the threaded pass: the same bytes as one worker.
TEST(Remap, ThreadedPassOnLargePicturesMatchesOneWorker) {
    for (const Picture& picture : {testsupport::testCard(1024, 300, 5), testsupport::noise(513, 257, 2)}) {
        OwnedImage source(picture);
        StringSink sink;
        OwnedImage scratch(picture);
        const Palette palette = reduceImage(scratch.view(), sink);
        OwnedImage one(picture);
        pass::remapImage(one.view(), palette, palette.count, 1, nullptr, nullptr);
        for (const int workers : {2, 3}) {
            OwnedImage many(picture);
            pass::remapImage(many.view(), palette, palette.count, workers, nullptr, nullptr);
            EXPECT_TRUE(bytesOf(many) == bytesOf(one)) << workers << " workers";
        }
        EXPECT_TRUE(bytesOf(scratch) == bytesOf(one));
    }
}

// The vector search keeps the choices of recent adjusted colours and stops
// keeping them where few come back. A picture of flat bands, then noise,
// then the bands again turns that on, off and on again, each part long
// enough for many reviews, with one worker and with two; the choices kept
// from the first part meet the last. The palette's entries lie 32 apart on every
// axis, as the cache's places do: colours that share a place must still be
// told apart.
TEST(Remap, ChoicesKeptForSmoothPartsAndDroppedForNoiseLeaveTheReferencePixels) {
    constexpr std::int32_t kWidth = 512;
    constexpr std::int32_t kPart = 320;
    const Picture parts[] = {bands(kWidth, kPart, 40, 3), testsupport::noise(kWidth, kPart, 8),
                             bands(kWidth, kPart, 40, 3)};
    Picture picture(kWidth, 3 * kPart);
    for (int i = 0; i < 3; ++i) {
        std::copy(parts[i].pixels.begin(), parts[i].pixels.end(),
                  picture.pixels.begin() + static_cast<std::ptrdiff_t>(i) * kWidth * kPart);
    }
    Palette spaced;
    spaced.count = 216;
    for (int k = 0; k < spaced.count; ++k) {
        spaced.rgb[static_cast<std::size_t>(3 * k)] = static_cast<std::uint8_t>(48 + 32 * (k / 36));
        spaced.rgb[static_cast<std::size_t>(3 * k + 1)] = static_cast<std::uint8_t>(48 + 32 * (k / 6 % 6));
        spaced.rgb[static_cast<std::size_t>(3 * k + 2)] = static_cast<std::uint8_t>(48 + 32 * (k % 6));
    }
    const std::size_t rowDoubles = (static_cast<std::size_t>(kWidth) + 2) * 3;
    for (const Palette& palette : {spaced, randomPalette(256, 9, 255)}) {
        OwnedImage expected(picture);
        std::vector<double> current(rowDoubles, 0.0), next(rowDoubles, 0.0);
        reference::remapToPalette(expected.view(), palette, palette.count, current.data(), next.data());
        for (const int workers : {1, 2}) {
            OwnedImage image(picture);
            pass::remapImage(image.view(), palette, palette.count, workers, nullptr, nullptr, pass::Variant::Best);
            EXPECT_TRUE(bytesOf(image) == bytesOf(expected)) << palette.count << " entries, " << workers << " workers";
        }
    }
}

// ---------------------------------------------------------------------------
// Millions of colours: where the census counts into one array from two
// workers, the median cut shares boxes between workers, and the search meets
// a new colour at nearly every pixel. Noise of 2 MP: about 1.97 million
// colours, some of them on two or three pixels.

const Picture& millionsOfColors() {
    static const Picture picture = testsupport::noise(2048, 1024, 22);
    return picture;
}

TEST(MillionsOfColors, CensusCountsEveryColorForEveryVariantAndWorkerCount) {
    OwnedImage image(millionsOfColors());
    std::vector<std::uint32_t> keys;
    for (const Bgr& px : millionsOfColors().pixels) keys.push_back(px.r << 16 | px.g << 8 | px.b);
    std::sort(keys.begin(), keys.end());
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    for (const std::uint32_t key : keys) {
        if (!expected.empty() && expected.back().first == key) {
            ++expected.back().second;
        } else {
            expected.emplace_back(key, 1);
        }
    }
    ASSERT_GT(expected.size(), 1900000u);
    for (const pass::Variant variant : {pass::Variant::Best, pass::Variant::Plain}) {
        for (const int workers : {1, 2, 3}) {
            const pass::ColorList colors = pass::countColors(image.view(), workers, variant);
            bool same = colors.size() == expected.size();
            for (std::size_t i = 0; same && i < colors.size(); ++i) {
                same = colors[i].key == expected[i].first && colors[i].count == expected[i].second;
            }
            EXPECT_TRUE(same) << workers << " workers, " << (variant == pass::Variant::Plain ? "plain" : "best");
        }
    }
}

// Each box as the sorted keys of its colours, by box number.
std::vector<std::vector<std::uint32_t>> boxesOf(const pass::ColorList& colors,
                                                const std::vector<pass::BoxRange>& boxes) {
    std::vector<std::vector<std::uint32_t>> members;
    for (const pass::BoxRange& box : boxes) {
        std::vector<std::uint32_t> keys;
        for (std::uint32_t i = box.begin; i < box.end; ++i) keys.push_back(colors[i].key);
        std::sort(keys.begin(), keys.end());
        members.push_back(std::move(keys));
    }
    return members;
}

TEST(MillionsOfColors, MedianCutGivesEveryBoxTheSameColorsForAnyNumberOfWorkers) {
    OwnedImage image(millionsOfColors());
    const pass::ColorList colors = pass::countColors(image.view(), 1);
    const auto n = static_cast<std::uint32_t>(colors.size());
    pass::ColorList alone = colors;
    std::vector<pass::BoxRange> aloneBoxes;
    ASSERT_EQ(pass::cutBoxes(alone.data(), n, 256, aloneBoxes, pass::Variant::Plain, 1), 256);
    const std::vector<std::vector<std::uint32_t>> expected = boxesOf(alone, aloneBoxes);
    for (const auto& [variant, workers] : {std::pair{pass::Variant::Best, 2}, std::pair{pass::Variant::Plain, 3}}) {
        pass::ColorList shared = colors;
        std::vector<pass::BoxRange> sharedBoxes;
        EXPECT_EQ(pass::cutBoxes(shared.data(), n, 256, sharedBoxes, variant, workers), 256);
        EXPECT_TRUE(boxesOf(shared, sharedBoxes) == expected)
            << workers << " workers, " << (variant == pass::Variant::Plain ? "plain" : "best");
    }
    // A limit reached in the middle of a depth drops the boxes after it.
    pass::ColorList few = colors;
    std::vector<pass::BoxRange> fewBoxes;
    EXPECT_EQ(pass::cutBoxes(few.data(), n, 100, fewBoxes, pass::Variant::Best, 2), 100);
    pass::ColorList fewAlone = colors;
    std::vector<pass::BoxRange> fewAloneBoxes;
    pass::cutBoxes(fewAlone.data(), n, 100, fewAloneBoxes, pass::Variant::Plain, 1);
    EXPECT_TRUE(boxesOf(few, fewBoxes) == boxesOf(fewAlone, fewAloneBoxes));
}

TEST(MillionsOfColors, BestVariantPrintsAndLeavesWhatThePlainVariantDoes) {
    OwnedImage plain(millionsOfColors());
    StringSink plainText;
    const Palette plainPalette = pass::reduce(plain.view(), plainText, pass::Variant::Plain);
    OwnedImage best(millionsOfColors());
    StringSink bestText;
    const Palette bestPalette = pass::reduce(best.view(), bestText, pass::Variant::Best);
    EXPECT_EQ(bestText.text(), plainText.text());
    EXPECT_EQ(bestPalette.rgb, plainPalette.rgb);
    EXPECT_TRUE(bytesOf(best) == bytesOf(plain)) << "pixels differ";
}

// ---------------------------------------------------------------------------
// The cut of colours where the census left them, against the cut that moves
// them apart and the sums added box by box.

// Colours in key order, each on 1 to 1000 pixels: every blue of the first
// `fullReds` reds (runs of 256, found by place), then every 7th key above
// (short runs, found by search).
pass::ColorList keyOrdered(std::int32_t fullReds, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::uint32_t> pixels(1, 1000);
    pass::ColorList colors;
    const auto dense = static_cast<std::uint32_t>(fullReds) << 16;
    for (std::uint32_t key = 0; key < dense; ++key) colors.push_back({key, pixels(random)});
    for (std::uint32_t key = dense; key < (1u << 24); key += 7) colors.push_back({key, pixels(random)});
    return colors;
}

void expectTheCutThatMovesThem(const pass::ColorList& colors, std::int32_t limit, int workers,
                               const std::string& what) {
    const auto n = static_cast<std::uint32_t>(colors.size());
    pass::ColorList moved = colors;
    std::vector<pass::BoxRange> boxes;
    const std::int32_t expected = pass::cutBoxes(moved.data(), n, limit, boxes, pass::Variant::Plain, 1);
    const std::vector<pass::BoxSums> expectedSums = pass::sumBoxes(moved.data(), boxes);
    std::vector<pass::BoxSums> sums;
    ASSERT_EQ(pass::cutInKeyOrder(colors.data(), n, limit, sums, workers), expected) << what;
    ASSERT_EQ(sums.size(), expectedSums.size()) << what;
    int wrong = 0;
    for (std::size_t k = 0; k < sums.size(); ++k) {
        const pass::BoxSums& a = sums[k];
        const pass::BoxSums& e = expectedSums[k];
        if ((a.total != e.total || a.red != e.red || a.green != e.green || a.blue != e.blue) && ++wrong <= 3) {
            ADD_FAILURE() << what << ", box " << k;
        }
    }
}

TEST(KeyOrderCut, GivesTheBoxesAndSumsOfTheCutThatMovesTheColours) {
    const pass::ColorList none;
    const pass::ColorList one{{0x123456, 9}};
    const pass::ColorList three{{0x000000, 1}, {0x0000FF, 5}, {0xFF0000, 2}};
    expectTheCutThatMovesThem(none, 256, 2, "no colours");
    expectTheCutThatMovesThem(one, 256, 2, "one colour");
    expectTheCutThatMovesThem(three, 256, 1, "three colours");
    expectTheCutThatMovesThem(three, 1, 2, "three colours, one box");
    const pass::ColorList mixed = keyOrdered(12, 5);
    const pass::ColorList sparse = keyOrdered(0, 6);
    for (const int workers : {1, 3}) {
        for (const std::int32_t limit : {100, 256}) {
            const std::string shape = std::to_string(limit) + " boxes, " + std::to_string(workers) + " workers";
            expectTheCutThatMovesThem(mixed, limit, workers, "full and short runs, " + shape);
            expectTheCutThatMovesThem(sparse, limit, workers, "short runs, " + shape);
        }
    }
    OwnedImage image(millionsOfColors());
    expectTheCutThatMovesThem(pass::countColors(image.view(), 2), 256, 2, "noise");
}

// Enough colours for the pass to cut them where they lie.
TEST(MillionsOfColors, EveryColourOfHalfTheCubeInKeyOrderGivesThePlainVariantsPass) {
    const Picture picture = testsupport::distinctColors(4096, 2048, true);
    ASSERT_GE(picture.pixels.size(), pass::kKeyOrderCutFrom);
    OwnedImage plain(picture);
    StringSink plainText;
    pass::reduce(plain.view(), plainText, pass::Variant::Plain);
    OwnedImage best(picture);
    StringSink bestText;
    pass::reduce(best.view(), bestText, pass::Variant::Best);
    EXPECT_EQ(bestText.text(), plainText.text());
    EXPECT_TRUE(bytesOf(best) == bytesOf(plain)) << "pixels differ";
}

// ---------------------------------------------------------------------------
// The arithmetic the fast search relies on, checked for every value.

TEST(Distance, WeightedBlueEqualsTruncatedProductWithSixTenthsForEveryDifference) {
    for (std::int32_t d = 0; d <= 1023; ++d) {
        const auto product = static_cast<std::int32_t>(d * 0.6);
        ASSERT_EQ(pass::weightedBlue(d), product) << d;
        ASSERT_EQ((3 * d) / 5, product) << d;
        // The vector search takes the high half of d x 39322.
        ASSERT_EQ(static_cast<std::int32_t>((static_cast<std::uint32_t>(d) * pass::kBlueTimes65536) >> 16), product)
            << d;
    }
}

#ifdef CR_HAVE_AVX2_PATH
// The vector search against a scan of the whole palette, colour by colour:
// on a lattice over every adjusted value and on every colour of a few
// cells. A tight cluster gives the far cells more than 32 candidates; twins
// and equal entries make ties; a worker that may keep the candidates of
// only a few cells forgets them and lists more, or answers the rest from
// the rows.
TEST(Distance, VectorSearchFindsTheEntryOfTheWholePaletteScanFromCellsAndRows) {
    if (!pass::haveAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    Palette twins = randomPalette(200, 3, 255);
    for (std::size_t i = 0; i < 3 * 56; ++i) twins.rgb[3 * 200 + i] = twins.rgb[i];
    twins.count = 256;
    const Palette palettes[] = {randomPalette(256, 11, 255), randomPalette(256, 12, 30), randomPalette(33, 13, 200),
                                twins, uniformPalette(256, 10, 200, 30), uniformPalette(1, 0, 0, 0)};
    std::vector<std::array<std::int32_t, 3>> scattered, dense;
    for (std::int32_t r = -255; r <= 510; r += 17) {
        for (std::int32_t g = -255; g <= 510; g += 15) {
            for (std::int32_t b = -255; b <= 510; b += 13) scattered.push_back({r, g, b});
        }
    }
    for (std::int32_t r = 96; r < 112; ++r) {
        for (std::int32_t g = -8; g < 8; ++g) {
            for (std::int32_t b = 500; b <= 510; ++b) dense.push_back({r, g, b});
        }
    }
    // Eight cells far apart, each met many times in turn, three times over,
    // by colours not met before (a colour met before is answered before
    // any cell is looked at).
    std::vector<std::array<std::int32_t, 3>> revisited;
    for (std::int32_t round = 0; round < 3; ++round) {
        for (std::int32_t corner = 0; corner < 8; ++corner) {
            for (std::int32_t i = 0; i < 20; ++i) {
                const std::int32_t n = 20 * round + i;
                revisited.push_back({(corner & 1) * 248 + n % 8, (corner >> 1 & 1) * 248 + n / 8 % 8,
                                     (corner >> 2) * 248 + round});
            }
        }
    }
    // Scattered colours first: a search that keeps few cells meets them once
    // each and goes over to the rows. Cells met many times first: it forgets
    // the cells when they are full and lists them again.
    std::vector<std::array<std::int32_t, 3>> colours = scattered;
    colours.insert(colours.end(), dense.begin(), dense.end());
    std::vector<std::array<std::int32_t, 3>> denseFirst = revisited;
    denseFirst.insert(denseFirst.end(), dense.begin(), dense.end());
    denseFirst.insert(denseFirst.end(), scattered.begin(), scattered.end());
    for (const Palette& palette : palettes) {
        const pass::DistanceRows rows(palette, palette.count);
        const pass::CellLister whole(palette, palette.count);
        struct Run {
            std::size_t mostCells;
            const std::vector<std::array<std::int32_t, 3>>& order;
        };
        for (const Run& run : {Run{pass::NearestEntryAvx2::kMostCells, colours}, Run{4, colours}, Run{4, denseFirst}}) {
            const std::size_t mostCells = run.mostCells;
            pass::NearestEntryAvx2 search(rows, mostCells);
            search.prepare();
            int wrong = 0;
            for (const auto& [r, g, b] : run.order) {
                const std::int32_t k = whole.nearestOfAll(r, g, b);
                const pass::Choice chosen = search.find(r, g, b);
                const bool same =
                    chosen.red == palette.red(k) && chosen.green == palette.green(k) && chosen.blue == palette.blue(k);
                if (!same && ++wrong <= 3) {
                    ADD_FAILURE() << palette.count << " entries, colour " << r << ", " << g << ", " << b;
                }
            }
            EXPECT_EQ(wrong, 0) << palette.count << " entries, " << mostCells << " cells kept";
        }
    }
}
#endif

TEST(Distance, WeightedBlueMatchesTheWorkedValues) {
    const std::pair<std::int32_t, std::int32_t> worked[] = {{1, 0}, {2, 1}, {4, 2}, {5, 3}, {10, 6}, {255, 153}};
    for (const auto& [d, w] : worked) EXPECT_EQ(pass::weightedBlue(d), w) << d;
}

}  // namespace
