#include "pass.h"
#include "pictures.h"
#include "reduce_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

std::string reduce(OwnedImage& image, Palette* palette = nullptr) {
    StringSink out;
    const Palette p = reduceImage(image.view(), out);
    if (palette) *palette = p;
    return out.text();
}

}  // namespace

TEST(ReductionPass, TwoByTwoWorkedExample) {
    Picture picture(2, 2);
    picture.pixels = {rgb(255, 0, 0), rgb(0, 0, 255), rgb(0, 255, 0), rgb(255, 0, 0)};
    OwnedImage image(picture);
    EXPECT_EQ(reduce(image),
              "color count: 3\n"
              "palette count:3\n"
              "pal[0] (count:2) : 255, 0, 0\n"
              "pal[1] (count:1) : 0, 255, 0\n"
              "pal[2] (count:1) : 0, 0, 255\n");
    EXPECT_EQ(image.picture(), picture);
}

TEST(ReductionPass, AnImageWithoutPixelsStillReportsOneEmptyEntry) {
    OwnedImage image(Picture(0, 0));
    EXPECT_EQ(reduce(image), "color count: 0\npalette count:1\npal[0] (count:0) : 0, 0, 0\n");
}

TEST(ReductionPass, ManyColorsComeDownToAtMost256AllFromThePalette) {
    OwnedImage image(testCard(64, 48));
    Palette palette;
    const std::string report = reduce(image, &palette);
    EXPECT_EQ(report.rfind("color count: ", 0), 0u);
    EXPECT_NE(report.find("\npalette count:256\n"), std::string::npos);
    EXPECT_EQ(palette.count, 256);
    const Picture out = image.picture();
    for (const Bgr& p : out.pixels) {
        bool found = false;
        for (int k = 0; k < palette.count && !found; ++k)
            found = palette.red(k) == p.r && palette.green(k) == p.g && palette.blue(k) == p.b;
        ASSERT_TRUE(found);
    }
    // One line per entry, counts adding up to the pixels.
    long total = 0;
    std::size_t lines = 0;
    for (std::size_t at = report.find("pal["); at != std::string::npos; at = report.find("pal[", at + 1)) {
        total += std::stol(report.substr(report.find("count:", at) + 6));
        ++lines;
    }
    EXPECT_EQ(lines, 256u);
    EXPECT_EQ(total, 64 * 48);
}

TEST(ReductionPass, FewColorsGiveOneBoxEach) {
    const Picture picture = fewColors(13, 11, 40, 3);
    OwnedImage image(picture);
    const std::string report = reduce(image);
    EXPECT_EQ(report.rfind("color count: 40\npalette count:40\n", 0), 0u);
}

TEST(ReductionPass, TheCountsHandedBackAreThoseOfTheReportAndTheSameReport) {
    const Picture picture = testCard(61, 37, 5);
    OwnedImage plain(picture), counted(picture);
    StringSink plainOut, countedOut;
    reduceImage(plain.view(), plainOut);
    EntryCounts counts;
    counts.fill(-1);
    const Palette palette = reduceImage(counted.view(), countedOut, counts);
    EXPECT_EQ(countedOut.text(), plainOut.text());
    EXPECT_EQ(counted.picture(), plain.picture());
    const std::string report = countedOut.text();
    std::size_t at = 0;
    for (int k = 0; k < kMaxPaletteEntries; ++k) {
        if (k >= palette.count) {
            EXPECT_EQ(counts[k], 0) << k;
            continue;
        }
        at = report.find("(count:", at) + 7;
        EXPECT_EQ(counts[k], std::stoll(report.substr(at))) << k;
    }
}

namespace {

// What an observer hears of one pass, and on which thread.
class RecordingObserver final : public PassObserver {
public:
    void phaseBegins(PassPhase phase) override {
        phases.push_back(phase);
        onCallingThread = onCallingThread && std::this_thread::get_id() == caller;
    }
    void rowsRemapped(std::int32_t done, std::int32_t total) override {
        rows.push_back(done);
        totals.push_back(total);
        onCallingThread = onCallingThread && std::this_thread::get_id() == caller;
    }

    std::thread::id caller = std::this_thread::get_id();
    bool onCallingThread = true;
    std::vector<PassPhase> phases;
    std::vector<std::int32_t> rows;
    std::vector<std::int32_t> totals;
};

}  // namespace

// The observer hears the phases in order and the remap's rows on the calling
// thread, and the pass prints and leaves exactly what it does without one:
// small pictures (one worker) and large ones (several), and no pixel at all.
TEST(ReductionPass, AnObserverHearsThePhasesAndRowsAndChangesNothing) {
    const Picture pictures[] = {testCard(37, 23), testCard(400, 300, 7), Picture(0, 0)};
    for (const Picture& picture : pictures) {
        SCOPED_TRACE(::testing::Message() << picture.width << " x " << picture.height);
        OwnedImage plain(picture);
        OwnedImage observed(picture);
        StringSink plainOut;
        StringSink observedOut;
        const Palette plainPalette = reduceImage(plain.view(), plainOut);
        RecordingObserver observer;
        const Palette observedPalette = reduceImage(observed.view(), observedOut, &observer);
        EXPECT_EQ(observedOut.text(), plainOut.text());
        EXPECT_EQ(observed.picture(), plain.picture());
        EXPECT_EQ(observedPalette.rgb, plainPalette.rgb);

        const std::vector<PassPhase> order = {PassPhase::census, PassPhase::medianCut, PassPhase::palette,
                                              PassPhase::remap};
        EXPECT_EQ(observer.phases, order);
        EXPECT_TRUE(observer.onCallingThread);
        if (picture.height == 0) {
            EXPECT_TRUE(observer.rows.empty());
            continue;
        }
        ASSERT_FALSE(observer.rows.empty());
        EXPECT_LE(observer.rows.size(), 101u);
        EXPECT_EQ(observer.rows.front(), 0);
        EXPECT_TRUE(std::is_sorted(observer.rows.begin(), observer.rows.end()));
        EXPECT_LT(observer.rows.back(), picture.height);
        // Reports reach the last hundredth of the picture, so a share shown from them ends near 100 %.
        EXPECT_GE(observer.rows.back() + picture.height / 100 + 4, picture.height);
        for (const std::int32_t total : observer.totals) EXPECT_EQ(total, picture.height);
    }
}

// The entries handed back are, pixel for pixel, the lowest index of the
// pixel's new colour (what a writer of indexed files would look up), and
// asking for them changes neither the report nor the pixels: one worker and
// several, the vector search and the plain one, a palette of one entry.
TEST(ReductionPass, TheChosenEntriesAreTheLowestIndexOfEachPixelsColour) {
    const Picture pictures[] = {testCard(61, 37, 5), noise(700, 400, 3), gradient(515, 300),
                                fewColors(9, 7, 1, 2)};
    for (const Picture& picture : pictures) {
        for (const pass::Variant variant : {pass::Variant::Best, pass::Variant::Plain}) {
            SCOPED_TRACE(testing::Message() << picture.width << "x" << picture.height
                                            << (variant == pass::Variant::Plain ? " plain" : " best"));
            OwnedImage plain(picture), chosen(picture);
            StringSink plainOut, chosenOut;
            pass::reduce(plain.view(), plainOut, variant);
            ChosenEntries entries;
            const Palette palette = pass::reduce(chosen.view(), chosenOut, variant, nullptr, nullptr, &entries);
            EXPECT_EQ(chosenOut.text(), plainOut.text());
            const Picture reduced = chosen.picture();
            ASSERT_EQ(reduced, plain.picture());
            ASSERT_EQ(entries.size(), reduced.pixels.size());
            std::size_t wrong = 0;
            for (std::size_t i = 0; i < reduced.pixels.size(); ++i) {
                const Bgr c = reduced.pixels[i];
                int lowest = 0;
                while (lowest < palette.count && !(palette.red(lowest) == c.r && palette.green(lowest) == c.g &&
                                                   palette.blue(lowest) == c.b)) {
                    ++lowest;
                }
                if (entries[i] != lowest) ++wrong;
            }
            EXPECT_EQ(wrong, 0u);
        }
    }
}
