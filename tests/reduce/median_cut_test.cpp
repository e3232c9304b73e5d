#include "table_phases.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

ColorEntry record(int r, int g, int b, int count = 1) { return ColorEntry{r, g, b, 0, count}; }

std::vector<int> boxesAfterCut(std::vector<ColorEntry> table, int expectedCount, int limit = 256) {
    EXPECT_EQ(medianCut(table.data(), static_cast<std::int32_t>(table.size()), limit), expectedCount);
    std::vector<int> boxes;
    for (const ColorEntry& e : table) boxes.push_back(e.box);
    return boxes;
}

}  // namespace

TEST(MedianCut, NothingToSplitGivesOneBox) {
    EXPECT_EQ(medianCut(nullptr, 0, 256), 1);
    // The first record ends the table: nothing after it is looked at.
    std::vector<ColorEntry> table = {ColorEntry{}, record(1, 2, 3), record(200, 2, 3)};
    EXPECT_EQ(medianCut(table.data(), 3, 256), 1);
    EXPECT_EQ(table[1].box, 0);
    EXPECT_EQ(boxesAfterCut({record(9, 9, 9, 50)}, 1), std::vector<int>{0});
}

TEST(MedianCut, TheLowerHalfMovesToTheNewBox) {
    // Blue differs by 1 (weighs 1): cut on blue.
    EXPECT_EQ(boxesAfterCut({record(5, 5, 11), record(5, 5, 10)}, 2), (std::vector<int>{0, 1}));
    // Mean 50 / 4 = 12, rounded down.
    EXPECT_EQ(boxesAfterCut({record(10, 0, 0, 3), record(20, 0, 0, 1)}, 2), (std::vector<int>{1, 0}));
    // Mean 1: a value equal to the mean goes to the new box.
    EXPECT_EQ(boxesAfterCut({record(0, 0, 0, 1), record(1, 0, 0, 2), record(2, 0, 0, 1)}, 2, 2), (std::vector<int>{1, 1, 0}));
}

TEST(MedianCut, TheCutChannelIsTheLargestRoundedSpreadRedFirstOnTies) {
    struct Case {
        ColorEntry low, high;
        int channel;  // 0 red, 1 green, 2 blue
    };
    const Case cases[] = {
        {record(0, 0, 0), record(3, 0, 5), 0},  // red 3 against blue 5 (weighs 3): red
        {record(0, 0, 0), record(2, 5, 9), 1},  // green 5 against blue 9 (weighs 5): green
        {record(0, 0, 0), record(4, 0, 8), 2},  // red 4 against blue 8 (weighs 5): blue
        {record(0, 0, 0), record(6, 6, 0), 0},  // red and green tie: red
    };
    for (const Case& c : cases) {
        // A third record like the high one but low in one channel: it moves
        // with the lower half exactly when the cut is on that channel.
        ColorEntry middle = c.high;
        (c.channel == 0 ? middle.red : c.channel == 1 ? middle.green : middle.blue) = 0;
        std::vector<ColorEntry> table = {c.high, c.low, middle};
        ASSERT_EQ(medianCut(table.data(), 3, 2), 2);
        EXPECT_EQ(table[0].box, 0) << "channel " << c.channel;
        EXPECT_EQ(table[1].box, 1) << "channel " << c.channel;
        EXPECT_EQ(table[2].box, 1) << "channel " << c.channel;
    }
}

TEST(MedianCut, FourColorsAreNumberedBreadthFirst) {
    std::vector<ColorEntry> table = {record(0, 0, 0), record(0, 0, 100), record(200, 0, 0), record(200, 0, 100)};
    EXPECT_EQ(boxesAfterCut(table, 4), (std::vector<int>{3, 1, 2, 0}));
}

TEST(MedianCut, EightColorsFollowTheSplitOrderOfEachDepth) {
    // The corners of a cube with red spread 200, green 100, blue 50 (weighs 30):
    // depth 0 cuts red, depth 1 green, depth 2 blue, in box order 0, 2, 1, 3.
    std::vector<ColorEntry> table;
    for (int r : {0, 200})
        for (int g : {0, 100})
            for (int b : {0, 50}) table.push_back(record(r, g, b));
    const std::vector<int> boxes = boxesAfterCut(table, 8);
    auto boxOf = [&](int r, int g, int b) {
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i].red == r && table[i].green == g && table[i].blue == b) return boxes[i];
        return -1;
    };
    EXPECT_EQ(boxOf(200, 100, 50), 0);
    EXPECT_EQ(boxOf(200, 100, 0), 4);
    EXPECT_EQ(boxOf(200, 0, 50), 2);
    EXPECT_EQ(boxOf(200, 0, 0), 5);
    EXPECT_EQ(boxOf(0, 100, 50), 1);
    EXPECT_EQ(boxOf(0, 100, 0), 6);
    EXPECT_EQ(boxOf(0, 0, 50), 3);
    EXPECT_EQ(boxOf(0, 0, 0), 7);
}

TEST(MedianCut, StopsAtTheLimitAndUsesEveryBoxNumber) {
    std::vector<ColorEntry> table;
    for (int i = 0; i < 300; ++i) table.push_back(record(i % 256, (i * 37) % 256, (i * 91) % 256));
    EXPECT_EQ(medianCut(table.data(), 300, 256), 256);
    std::vector<int> used(256, 0);
    for (const ColorEntry& e : table) {
        ASSERT_GE(e.box, 0);
        ASSERT_LT(e.box, 256);
        ++used[static_cast<std::size_t>(e.box)];
    }
    for (int k = 0; k < 256; ++k) EXPECT_GT(used[static_cast<std::size_t>(k)], 0) << "box " << k;

    // A smaller limit in the middle of a depth: three boxes, the third from box 0's split.
    std::vector<ColorEntry> four = {record(0, 0, 0), record(0, 0, 100), record(200, 0, 0), record(200, 0, 100)};
    EXPECT_EQ(boxesAfterCut(four, 3, 3), (std::vector<int>{1, 1, 2, 0}));
}

TEST(MedianCut, WeightedSumsDoNotOverflowOnLargeCounts) {
    // 20 million pixels of red 255 against one of red 0: 32-bit sums would wrap.
    std::vector<ColorEntry> table = {record(255, 0, 0, 20000000), record(0, 0, 0, 1)};
    EXPECT_EQ(boxesAfterCut(table, 2), (std::vector<int>{0, 1}));
}
