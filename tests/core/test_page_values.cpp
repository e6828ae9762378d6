// Rules of the parameters and calibration pages that need no window.
#include <gtest/gtest.h>

#include "protocol/value_rules.h"

using namespace lork;

TEST(PageValues, ValuesAWriteMaySend) {
    struct Case {
        std::optional<int32_t> typed;
        bool address;
        const char* refusal;
    };
    const Case cases[] = {
        {1, true, nullptr},
        {247, true, nullptr},
        {0, true, msgAdrRange},
        {248, true, msgAdrRange},
        {300, true, msgAdrRange},  // would go out as 44
        {-1, true, msgAdrRange},
        {std::nullopt, true, msgNotNumber},
        {0, false, nullptr},
        {150, false, nullptr},
        {255, false, nullptr},
        {256, false, msgValueRange},
        {300, false, msgValueRange},  // would be shown back as 44
        {70000, false, msgValueRange},  // past 16 bits as well
        {-5, false, msgValueRange},
        {std::nullopt, false, msgNotNumber},
    };
    for (const auto& c : cases) {
        const Taken t = c.address ? takeAddress(c.typed) : takeByte(c.typed);
        const int shown = c.typed ? *c.typed : -999;
        EXPECT_STREQ(t.refusal, c.refusal) << shown << (c.address ? " address" : " byte");
        if (!c.refusal) {
            EXPECT_EQ(t.value, uint16_t(*c.typed)) << shown;
        }
    }
}

TEST(PageValues, CalibrationViews) {
    struct Case {
        uint32_t v;
        const char *dec, *hi, *lo;
    };
    const Case cases[] = {
        {74565, "74565", "0001", "2345"},
        {70000, "70000", "0001", "1170"},
        {0, "0", "0000", "0000"},
        {0xFFFFFFFFu, "4294967295", "FFFF", "FFFF"},
        {0x00ABCDEFu, "11259375", "00AB", "CDEF"},  // upper-case digits
    };
    for (const auto& c : cases) {
        const CalViews v = calViews(c.v);
        EXPECT_EQ(v.dec, c.dec);
        EXPECT_EQ(v.hi, c.hi);
        EXPECT_EQ(v.lo, c.lo);
    }
    EXPECT_EQ(pulsesText(70000), "70000 импульсов");
}

TEST(PageValues, PausesAndRatesByCode) {
    struct Case {
        uint8_t code;
        unsigned bytes, before, after;
        int32_t rate;
    };
    const Case cases[] = {
        {2, 2, 4, 5, 9600},   // the factory rate
        {6, 1, 1, 1, 115200},  // the table's last code
        {0, 4, 8, 10, 0},     // no rate: the slowest pauses, rate shown as 0
        {9, 1, 1, 1, 0},      // a code past the table: no out-of-bounds rate
        {255, 1, 1, 1, 0},
    };
    for (const auto& c : cases) {
        const Pauses p = pausesFor(c.code);
        EXPECT_EQ(p.bytes, c.bytes) << int(c.code);
        EXPECT_EQ(p.before, c.before) << int(c.code);
        EXPECT_EQ(p.after, c.after) << int(c.code);
        EXPECT_EQ(rateOf(c.code), c.rate) << int(c.code);
    }
}

TEST(PageValues, StepRulesNameTheNumbers) {
    const std::optional<long> unknown;
    struct Case {
        StepParams p;
        unsigned written;
        std::vector<std::string> broken;
    };
    const Case cases[] = {
        {{10, 90, 89}, STEP_KOL_STEP, {}},
        {{10, 91, 50}, STEP_KOL_STEP, {"Не выполняется условие N * R <= 900 Ом: N = 91, R = 10, N * R = 910 Ом."}},
        {{10, 50, 50}, STEP_POR_STEP, {"Не выполняется условие U < N: U = 50, N = 50."}},
        {{20, 60, 70}, STEP_KOL_STEP, {"Не выполняется условие N * R <= 900 Ом: N = 60, R = 20, N * R = 1200 Ом.",
                                       "Не выполняется условие U < N: U = 70, N = 60."}},
        // A write answers for the rules its value is part of.
        {{20, 60, 70}, STEP_RES, {"Не выполняется условие N * R <= 900 Ом: N = 60, R = 20, N * R = 1200 Ом."}},
        {{20, 60, 70}, STEP_POR_STEP, {"Не выполняется условие U < N: U = 70, N = 60."}},
        {{20, 60, 10}, STEP_POR_STEP, {}},
        // Values not known: broken only where nothing the instrument holds could keep the rule.
        {{unknown, 248, unknown}, STEP_KOL_STEP, {}},
        {{unknown, 0, unknown}, STEP_KOL_STEP, {"Не выполняется условие U < N: N = 0, U не меньше 0."}},
        {{unknown, unknown, 254}, STEP_POR_STEP, {}},
        {{unknown, unknown, 255}, STEP_POR_STEP, {"Не выполняется условие U < N: U = 255, N не больше 255."}},
        {{20, unknown, unknown}, STEP_RES, {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(brokenRules(cases[i].p, cases[i].written), cases[i].broken) << "case " << i;
}

TEST(PageValues, StepWriteOrderKeepsTheRulesAtEveryWrite) {
    // From R 10, N 90, U 50 to R 20, N 40, U 30: U first (else 30 < 40 fails
    // against U 50), then N (else 20 * 90), then R.
    const auto order = stepWriteOrder({10, 90, 50}, {20, 40, 30}, STEP_RES | STEP_KOL_STEP | STEP_POR_STEP);
    EXPECT_EQ(order, (std::vector<StepParam>{STEP_POR_STEP, STEP_KOL_STEP, STEP_RES}));
    // No order exists: R, N, U as they came.
    EXPECT_EQ(stepWriteOrder({10, 90, 50}, {20, 90, 50}, STEP_RES | STEP_POR_STEP),
              (std::vector<StepParam>{STEP_RES, STEP_POR_STEP}));
}

TEST(PageValues, IndicatorPairs) {
    EXPECT_EQ(ciPairs("1.2 3 4."), (std::array<std::string, 4>{"1.", "2 ", "3 ", "4."}));
    EXPECT_EQ(ciPairs("abc"), (std::array<std::string, 4>{"ab", "c", "", ""}));
    EXPECT_EQ(ciPairs("0123456789"), (std::array<std::string, 4>{"01", "23", "45", "67"}));
}
