// lorkctl's input from outside: JSON templates and KEY=VALUE words, refused
// before anything is sent when they are not what they claim.
#include <gtest/gtest.h>

#include "cli/json.h"
#include "cli/options.h"
#include "cli/values.h"
#include "device/overview.h"

using namespace lorkctl;

TEST(LorkctlTemplate, FlatObjectsOnly) {
    std::string err;
    auto ok = parseFlatObject(R"( {"res": 12, "parity": "odd", "baud": 19200} )", &err);
    ASSERT_TRUE(ok) << err;
    EXPECT_EQ(ok->at("res").number, 12);
    EXPECT_TRUE(ok->at("parity").isText);
    EXPECT_EQ(ok->at("parity").text, "odd");
    EXPECT_TRUE(parseFlatObject("{}", &err));
    for (const char* bad : {"", "[1]", R"({"res": 12)", R"({"res": 12} x)", R"({"res": {"a": 1}})",
                            R"({"res": 1, "res": 2})", R"({res: 1})", R"({"res" 1})", R"({"a": "\u0041"})"}) {
        err.clear();
        EXPECT_FALSE(parseFlatObject(bad, &err)) << bad;
        EXPECT_FALSE(err.empty()) << bad;
    }
}

TEST(LorkctlAssignments, RangesAndKeys) {
    const auto a = parseAssignments({"res=20", "kol_step=0", "light=2", "baud=115200", "parity=odd", "address=247"}, true);
    ASSERT_EQ(a.size(), 6u);
    EXPECT_EQ(a[3].second, 6);  // the baud code
    EXPECT_EQ(a[4].second, 2);
    struct Case {
        std::vector<std::string> words;
        bool interfaceToo;
    };
    const Case refused[] = {
        {{"res=4"}, false},       {{"res=21"}, false},      {{"kol_step=256"}, false}, {{"por_step=-1"}, false},
        {{"light=3"}, false},     {{"v_ind=0"}, false},     {{"cal_enable=2"}, false}, {{"res=1x"}, false},
        {{"res="}, false},        {{"res"}, false},         {{"color=1"}, false},      {{"res=5", "res=6"}, false},
        {{"address=5"}, false},   {{"address=0"}, true},    {{"baud=1200"}, true},     {{"parity=mark"}, true},
        {{"stopbits=3"}, true},
    };
    for (const auto& c : refused) {
        try {
            parseAssignments(c.words, c.interfaceToo);
            ADD_FAILURE() << c.words[0] << " was taken";
        } catch (const Exit& e) {
            EXPECT_EQ(e.status, ST_USAGE) << c.words[0];
        }
    }
}

TEST(LorkctlNumbers, StrictEverywhere) {
    struct Case {
        const char* text;
        std::optional<long> dec, hex;  // toNumber, toNumberOrHex within 0..65535
    };
    const Case cases[] = {
        {"0", 0, 0},           {"65535", 65535, 65535}, {"007", 7, 7},          {"0x0A00", std::nullopt, 0x0A00},
        {"0XfF", std::nullopt, 255},
        {"0x0x0A00", std::nullopt, std::nullopt},  // a second prefix
        {"0x +2560", std::nullopt, std::nullopt},  // a blank and a sign after the prefix
        {" +5", std::nullopt, std::nullopt},       {"+5", std::nullopt, std::nullopt},
        {"5 ", std::nullopt, std::nullopt},        {"-1", std::nullopt, std::nullopt},
        {"0x", std::nullopt, std::nullopt},        {"", std::nullopt, std::nullopt},
        {"65536", std::nullopt, std::nullopt},     {"99999999999999999999999", std::nullopt, std::nullopt},
        {"0x10000", std::nullopt, std::nullopt},   {"1e3", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toNumber(c.text, 0, 65535), c.dec) << "'" << c.text << "'";
        EXPECT_EQ(toNumberOrHex(c.text, 0, 65535), c.hex) << "'" << c.text << "'";
    }
    EXPECT_EQ(toDecimal("0.5", 0.05, 86400), 0.5);
    EXPECT_EQ(toDecimal("2", 0.05, 86400), 2.0);
    for (const char* bad : {"0.01", " 1", "+1", "1.", ".5", "1e1", "0x1", "nan", "inf", "1.2.3"})
        EXPECT_FALSE(toDecimal(bad, 0.05, 86400)) << bad;
}

TEST(LorkctlTemplate, NumbersAsJsonWritesThemAndWhereAFaultIs) {
    for (const char* bad : {R"({"res": 0x0A})", R"({"res": +5})", R"({"res": 012})", R"({"res": 1.})",
                            R"({"res": nan})", R"({"res": -})"}) {
        std::string err;
        EXPECT_FALSE(parseFlatObject(bad, &err)) << bad;
    }
    std::string err;
    size_t at = 0;
    const std::string text = "{\n  \"res\": 12,\n  \"кол\": x}";
    EXPECT_FALSE(parseFlatObject(text, &err, &at));
    EXPECT_EQ(lineColumn(text, at), "3:10");  // columns in characters, not bytes
}

TEST(LorkctlAddressList, ListsRangesAndRefusals) {
    using V = std::vector<uint8_t>;
    EXPECT_EQ(lork::parseAddressList("1,5,7-9"), (V{1, 5, 7, 8, 9}));
    EXPECT_EQ(lork::parseAddressList(" 9 , 1-2,2 "), (V{9, 1, 2}));  // each once, in the order given
    EXPECT_EQ(lork::parseAddressList("247"), (V{247}));
    for (const char* bad : {"", "0", "248", "1,,2", "5-3", "1-", "-4", "1;2", "+5", "1000", "7-9-11", "a"}) {
        std::string why;
        EXPECT_FALSE(lork::parseAddressList(bad, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
    EXPECT_EQ(lork::addressListText({1, 5, 7, 8, 9, 11, 12}), "1,5,7-9,11,12");
}
