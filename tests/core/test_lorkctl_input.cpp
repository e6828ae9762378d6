// lorkctl's input from outside: JSON templates and KEY=VALUE words, refused
// before anything is sent when they are not what they claim.
#include <gtest/gtest.h>

#include "cli/json.h"
#include "cli/options.h"
#include "cli/values.h"

using namespace lorkctl;

TEST(LorkctlTemplate, FlatObjectsOnly) {
    std::string err;
    auto ok = parse_flat_object(R"( {"res": 12, "parity": "odd", "baud": 19200} )", &err);
    ASSERT_TRUE(ok) << err;
    EXPECT_EQ(ok->at("res").number, 12);
    EXPECT_TRUE(ok->at("parity").is_text);
    EXPECT_EQ(ok->at("parity").text, "odd");
    EXPECT_TRUE(parse_flat_object("{}", &err));
    for (const char* bad : {"", "[1]", R"({"res": 12)", R"({"res": 12} x)", R"({"res": {"a": 1}})",
                            R"({"res": 1, "res": 2})", R"({res: 1})", R"({"res" 1})", R"({"a": "\u0041"})"}) {
        err.clear();
        EXPECT_FALSE(parse_flat_object(bad, &err)) << bad;
        EXPECT_FALSE(err.empty()) << bad;
    }
}

TEST(LorkctlAssignments, RangesAndKeys) {
    const auto a = parse_assignments({"res=20", "kol_step=0", "light=2", "baud=115200", "parity=odd", "address=247"}, true);
    ASSERT_EQ(a.size(), 6u);
    EXPECT_EQ(a[3].second, 6);  // the baud code
    EXPECT_EQ(a[4].second, 2);
    struct Case {
        std::vector<std::string> words;
        bool interface_too;
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
            parse_assignments(c.words, c.interface_too);
            ADD_FAILURE() << c.words[0] << " was taken";
        } catch (const Exit& e) {
            EXPECT_EQ(e.status, ST_USAGE) << c.words[0];
        }
    }
}

TEST(LorkctlAssignments, ParameterPageRules) {
    EXPECT_TRUE(rule_warnings(10, 90, 89).empty());
    EXPECT_EQ(rule_warnings(10, 91, 50).size(), 1u);  // N * R = 910
    EXPECT_EQ(rule_warnings(10, 50, 50).size(), 1u);  // U = N
    EXPECT_EQ(rule_warnings(20, 60, 70).size(), 2u);
}
