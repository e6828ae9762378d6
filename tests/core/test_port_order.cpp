#include <gtest/gtest.h>

#include "platform/port_order.h"

namespace lork {
namespace {

using Names = std::vector<std::string>;

struct OrderCase {
    const char* name;
    Names listed;
    Names expected;
};

class PortOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(PortOrder, OrdersAsTheOperatorExpects) {
    EXPECT_EQ(orderPortNames(GetParam().listed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PortOrder,
    ::testing::Values(
        OrderCase{"ComNamesByNumber", {"COM10", "COM2", "COM1"}, {"COM1", "COM2", "COM10"}},
        OrderCase{"ThreeDigitComLast", {"COM100", "COM9", "COM12", "COM3"}, {"COM3", "COM9", "COM12", "COM100"}},
        OrderCase{"SingleNameAsListed", {"COM5"}, {"COM5"}},
        OrderCase{"NoneStaysEmpty", {}, {}},
        OrderCase{"LinuxNamesNatural", {"ttyUSB10", "ttyS0", "ttyUSB1"}, {"ttyS0", "ttyUSB1", "ttyUSB10"}},
        OrderCase{"LinuxMixed",
                  {"ttyUSB2", "ttyACM0", "ttyS10", "ttyS1", "ttyUSB0", "ttyS2"},
                  {"ttyS1", "ttyS2", "ttyS10", "ttyACM0", "ttyUSB0", "ttyUSB2"}},
        OrderCase{"ShortAndLongNamesKept", {"/dev/pts/3", "COM2", "S1", "COM1"}, {"COM1", "COM2", "/dev/pts/3", "S1"}},
        OrderCase{"DuplicatesKeptOncePerListing", {"COM2", "COM1", "COM2"}, {"COM1", "COM2", "COM2"}},
        OrderCase{"PtsByNumber", {"/dev/pts/10", "/dev/pts/9"}, {"/dev/pts/9", "/dev/pts/10"}}),
    [](const ::testing::TestParamInfo<OrderCase>& c) { return std::string(c.param.name); });

TEST(PortOrder, EveryListedNameAppearsExactlyOnce) {
    const Names listed{"ttyUSB3", "COM4", "x", "ttyS7", "COM40", "ttyAMA0", "COM400", "ttyUSB12", "ab"};
    Names out = orderPortNames(listed);
    Names a = listed, b = out;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

TEST(PortOrder, NaturalComparisonIsAStrictOrder) {
    EXPECT_TRUE(naturalLess("ttyUSB2", "ttyUSB10"));
    EXPECT_FALSE(naturalLess("ttyUSB10", "ttyUSB2"));
    EXPECT_TRUE(naturalLess("ttyS", "ttyS0"));           // no number before a number
    EXPECT_NE(naturalLess("COM01", "COM1"), naturalLess("COM1", "COM01"));
    EXPECT_FALSE(naturalLess("COM1", "COM1"));
    EXPECT_TRUE(naturalLess("tty99999999999999999999", "tty100000000000000000000"));  // no overflow
}

TEST(PortOrder, ListReadAnewKeepsThePortInUseAndOwnEntries) {
    const Names own{"/dev/pts/4", "tcp://gw:4001"};
    // A new adapter takes its place by the rule; the gone port in use stays, ordered among the rest.
    EXPECT_EQ(portListNow({"ttyUSB1", "ttyS0"}, own, "ttyUSB0"),
              (Names{"ttyS0", "ttyUSB0", "ttyUSB1", "/dev/pts/4", "tcp://gw:4001"}));
    // An own entry in use is not listed twice; nothing in use adds nothing.
    EXPECT_EQ(portListNow({"ttyS0"}, own, "tcp://gw:4001"), (Names{"ttyS0", "/dev/pts/4", "tcp://gw:4001"}));
    EXPECT_EQ(portListNow({"ttyS0"}, {}, ""), (Names{"ttyS0"}));
}

}  // namespace
}  // namespace lork
