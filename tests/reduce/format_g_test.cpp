#include "format_g.h"

#include <gtest/gtest.h>

TEST(FormatG, MatchesPercentGWithAtLeastThreeExponentDigits) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {1.0, "1"},
        {49.0, "49"},
        {999999.0, "999999"},
        {1000000.0, "1e+006"},
        {1234567.0, "1.23457e+006"},
        {9999995.0, "1e+007"},  // rounds up into the next decade
        {12345678.0, "1.23457e+007"},
        {2147483647.0, "2.14748e+009"},
        {1e100, "1e+100"},
        {1e200, "1e+200"},
        {0.5, "0.5"},
        {123.456, "123.456"},
        {0.0001, "0.0001"},
        {0.00001, "1e-005"},
        {-2.5, "-2.5"},
        {-1500000.0, "-1.5e+006"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(formatG(value), text) << value;
}
