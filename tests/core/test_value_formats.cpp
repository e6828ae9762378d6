#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "protocol/value_formats.h"

using namespace lork;

TEST(ValueFormats, NumberFormatIsFixedThreeDecimalsRightAligned) {
    struct Case { double v; char sep; const char* want; };
    const Case cases[] = {
        {25.5, ',', "  25,500"},
        {25.5, '.', "  25.500"},
        {0.0, ',', "   0,000"},
        {-3.25, ',', "  -3,250"},
        {100.0, ',', " 100,000"},
        {123456.789, ',', "123456,789"},   // wider than 8: grows, never truncated
        {0.0005, ',', "   0,001"},         // rounding, not truncation
    };
    for (const auto& c : cases) EXPECT_EQ(numberFormat(c.v, c.sep), c.want) << c.v;
}

TEST(ValueFormats, PulseTextHasDecimalAndEightUpperHexDigits) {
    EXPECT_EQ(pulseText(300), "300     (0000012C hex)");
    EXPECT_EQ(pulseText(0), "0     (00000000 hex)");
    EXPECT_EQ(pulseText(0xFFFFFFFFu), "4294967295     (FFFFFFFF hex)");
    EXPECT_EQ(pulseText(0xABCDEFu), "11259375     (00ABCDEF hex)");
}

TEST(ValueFormats, DecimalFloatDropsTrailingZerosAndUsesSeparator) {
    struct Case { double v; char sep; const char* want; };
    const Case cases[] = {
        {255 / 10.0, ',', "25,5"},
        {300 / 10.0, ',', "30"},
        {0.0, ',', "0"},
        {1234 / 10.0, ',', "123,4"},
        {65535 / 10.0, ',', "6553,5"},  // the largest a 16-bit register gives
        {1 / 10.0, '.', "0.1"},
        {3 / 10.0, ',', "0,3"},         // 0.30000000000000004 must not leak its tail
    };
    for (const auto& c : cases) EXPECT_EQ(decimalFloat(c.v, c.sep), c.want) << c.v;
}

TEST(ValueFormats, StepTextOfQueryAndOfSingleReadDifferByOne) {
    struct Case { uint8_t step; double tew; uint8_t res; const char* query; const char* click; };
    const Case cases[] = {
        {0, 25.5, 10, "3-4", "2-3"},
        {7, 25.5, 10, " 7", " 7"},
        {255, 0.0, 0, " 255", " 255"},     // on a step the resistance is not needed
        {0, 30.0, 10, "4-5", "3-4"},       // exact multiple
        {0, 0.0, 10, "1-2", "0-1"},
        {0, 6553.5, 1, "6554-6555", "6553-6554"},
        {0, 25.5, 0, stepTextNoRes, stepTextNoRes},  // R = 0: no division
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stepText(c.step, c.tew, c.res), c.query) << int(c.step) << " " << c.tew;
        EXPECT_EQ(stepTextClick(c.step, c.tew, c.res), c.click) << int(c.step) << " " << c.tew;
    }
}

TEST(ValueFormats, StepTextSurvivesNonFiniteResistance) {
    double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(stepText(0, inf, 10), stepTextNoRes);
    EXPECT_EQ(stepTextClick(0, std::nan(""), 10), stepTextNoRes);
}
