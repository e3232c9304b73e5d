#include "table_phases.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Derived {
    Palette palette;
    std::string report;
};

Derived derive(const std::vector<ColorEntry>& table, int paletteCount) {
    Derived d;
    StringSink out;
    derivePalette(table.data(), static_cast<std::int32_t>(table.size()), paletteCount, d.palette, out);
    d.report = out.text();
    return d;
}

ColorEntry in(int box, int r, int g, int b, int count) { return ColorEntry{r, g, b, box, count}; }

}  // namespace

TEST(DerivePalette, ComponentsAreSumTimesReciprocalTruncated) {
    struct Case {
        std::vector<ColorEntry> table;
        std::string line;
    };
    const Case cases[] = {
        {{in(0, 10, 20, 30, 5)}, "pal[0] (count:5) : 10, 20, 30\n"},
        // 255 x 49 x (1 / 49) = 254.99999999999997: truncation loses one.
        {{in(0, 255, 255, 255, 49)}, "pal[0] (count:49) : 254, 254, 254\n"},
        {{in(0, 1, 2, 3, 49)}, "pal[0] (count:49) : 0, 1, 2\n"},
        // The mean 127.5 truncates to 127.
        {{in(0, 0, 0, 0, 1), in(0, 255, 255, 255, 1)}, "pal[0] (count:2) : 127, 127, 127\n"},
        // No records at all: (0, 0, 0) with the count 0, no division by zero.
        {{}, "pal[0] (count:0) : 0, 0, 0\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(derive(c.table, 1).report, c.line);
    const Derived d = derive({in(0, 255, 255, 255, 49)}, 1);
    EXPECT_EQ(d.palette.red(0), 254);
    EXPECT_EQ(d.palette.count, 1);
}

TEST(DerivePalette, EntriesFollowBoxNumbersAndStopAtTheEndMark) {
    const std::vector<ColorEntry> table = {
        in(1, 0, 255, 0, 1), in(0, 255, 0, 0, 2), in(2, 0, 0, 255, 1),
        ColorEntry{},          // ends the used part
        in(0, 0, 0, 0, 1000),  // never counted
    };
    const Derived d = derive(table, 3);
    EXPECT_EQ(d.report,
              "pal[0] (count:2) : 255, 0, 0\n"
              "pal[1] (count:1) : 0, 255, 0\n"
              "pal[2] (count:1) : 0, 0, 255\n");
    // Stored red, green, blue.
    EXPECT_EQ(d.palette.rgb[3], 0);
    EXPECT_EQ(d.palette.rgb[4], 255);
    EXPECT_EQ(d.palette.rgb[8], 255);
}

TEST(DerivePalette, LargeCountsPrintInExponentFormWithThreeDigits) {
    // (100 x 999999) x (1 / 999999) falls just below 100 as well.
    EXPECT_EQ(derive({in(0, 100, 100, 100, 999999)}, 1).report, "pal[0] (count:999999) : 99, 99, 99\n");
    EXPECT_EQ(derive({in(0, 100, 100, 100, 1000000)}, 1).report, "pal[0] (count:1e+006) : 100, 100, 100\n");
    EXPECT_EQ(derive({in(0, 7, 8, 9, 1234567)}, 1).report, "pal[0] (count:1.23457e+006) : 7, 8, 9\n");
    // 255 x 20,000,000 overflows 32 bits; the 64-bit product keeps the mean.
    EXPECT_EQ(derive({in(0, 255, 0, 255, 20000000)}, 1).report, "pal[0] (count:2e+007) : 255, 0, 255\n");
}
