#include "table_phases.h"
#include "pictures.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

struct Record {
    int red, green, blue, count;
    bool operator==(const Record& o) const {
        return red == o.red && green == o.green && blue == o.blue && count == o.count;
    }
};

std::vector<Record> censusOf(const Picture& picture) {
    OwnedImage image(picture);
    StringSink out;
    const ColorTable table = takeCensus(image.view(), out);
    std::vector<Record> records;
    for (const ColorEntry& e : table) {
        EXPECT_EQ(e.box, 0);
        records.push_back({e.red, e.green, e.blue, e.count});
    }
    return records;
}

}  // namespace

TEST(Census, RecordsColorsInOrderOfFirstAppearanceFromTheTopRow) {
    // Top row black, white; bottom row red, black (picture order).
    Picture picture(2, 2);
    picture.pixels = {rgb(0, 0, 0), rgb(255, 255, 255), rgb(255, 0, 0), rgb(0, 0, 0)};
    EXPECT_EQ(censusOf(picture), (std::vector<Record>{{0, 0, 0, 2}, {255, 255, 255, 1}, {255, 0, 0, 1}}));
}

TEST(Census, CountsEachDistinctColorOnce) {
    EXPECT_EQ(censusOf(Picture(1, 1, rgb(10, 20, 30))), (std::vector<Record>{{10, 20, 30, 1}}));
    EXPECT_EQ(censusOf(Picture(7, 5, rgb(4, 5, 6))), (std::vector<Record>{{4, 5, 6, 35}}));

    Picture greens(2, 1);
    greens.pixels = {rgb(10, 20, 30), rgb(10, 21, 30)};
    EXPECT_EQ(censusOf(greens).size(), 2u);
}

TEST(Census, EveryPixelItsOwnColorUsesOneRecordPerPixel) {
    const auto records = censusOf(fewColors(16, 16, 256, 7));
    EXPECT_EQ(records.size(), 256u);
    for (const Record& r : records) EXPECT_EQ(r.count, 1);
}

TEST(Census, CountsAddUpToThePixelCount) {
    const Picture picture = testCard(40, 30);
    long total = 0;
    for (const Record& r : censusOf(picture)) total += r.count;
    EXPECT_EQ(total, 40 * 30);
}

TEST(Census, AnImageWithoutPixelsHasNoRecords) {
    EXPECT_TRUE(censusOf(Picture(0, 0)).empty());
    EXPECT_TRUE(censusOf(Picture(5, 0)).empty());
}
