// The register table against the instrument's documented map (literal
// addresses, so a wrong entry fails here) and its three 32-bit orders.
#include <gtest/gtest.h>

#include <set>

#include "protocol/register_table.h"

namespace lork::reg {
namespace {

TEST(RegisterTable, PlacesAsDocumented) {
    struct Row {
        const char* name;
        Space space;
        uint16_t address;
        uint8_t width;
        bool writable;
    } rows[] = {
        {"adr", Space::Holding, 0x0800, 1, true},       {"stopbit", Space::Holding, 0x0803, 1, true},
        {"cal0", Space::Holding, 0x0900, 2, true},      {"cal100", Space::Holding, 0x0902, 2, true},
        {"res", Space::Holding, 0x0A00, 1, true},       {"v_ind", Space::Holding, 0x0A05, 1, true},
        {"sum_res", Space::Holding, 0x0A06, 1, false},  {"proc_dopusk", Space::Holding, 0x0A07, 1, false},
        {"step", Space::Input, 0x0010, 1, false},       {"izm_proc", Space::Input, 0x0011, 2, false},
        {"izm_znach", Space::Input, 0x0013, 2, false},  {"izm_imp", Space::Input, 0x0015, 2, false},
        {"te", Space::Input, 0x0019, 2, false},         {"tew", Space::Input, 0x001C, 1, false},
        {"name", Space::Input, 0x0200, 3, false},       {"version", Space::Input, 0x020A, 5, false},
        {"ci_text", Space::Input, 0x0214, 4, false},    {"ci_flag", Space::Input, 0x0218, 1, false},
        {"kluch_K1", Space::Coil, 0, 1, false},         {"svd_P_mig", Space::Coil, 7, 1, false},
        {"sw_PR", Space::DiscreteInput, 0, 1, false},   {"sw_Z", Space::DiscreteInput, 3, 1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Register* g = registerNamed(r.name);
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->space, r.space);
        EXPECT_EQ(g->address, r.address);
        EXPECT_EQ(g->width, r.width);
        EXPECT_EQ(g->writable, r.writable);
    }
    // One entry per name and per register: no two cover the same address.
    std::set<std::string_view> names;
    for (const Register& r : table()) {
        EXPECT_TRUE(names.insert(r.name).second) << r.name;
        for (uint16_t a = r.address; a < r.address + r.width; ++a) EXPECT_EQ(registerCovering(r.space, a), &r) << r.name;
    }
}

TEST(RegisterTable, DecodesEachFormAndLeavesTheUnknownRaw) {
    struct Case {
        Space space;
        uint16_t start;
        std::vector<uint16_t> words;
        std::string line;
    } cases[] = {
        // Data bytes 00 00 C8 42 as received: the float's bytes from the least significant up.
        {Space::Input, 0x0011, {0x0000, 0xC842}, "izm_proc=100 %"},
        {Space::Input, 0x0017, {0x42C8, 0x0000}, "proc=100 %"},
        {Space::Input, 0x0015, {0x0001, 0x0002}, "izm_imp=65538 имп."},
        {Space::Input, 0x001B, {1234}, "procw=123.4 %"},
        {Space::Holding, 0x0A00, {0x0F0A}, "R=10 Ом"},  // the low byte only
        {Space::Input, 0x0200, {0xCBCE, 0xD0CA, 0x2D31}, "name=\"ЛОРК-1\""},
        {Space::DiscreteInput, 0, {0, 1}, "sw_PR=1, sw_ST=0"},  // on when clear
        // Half of a 32-bit value, and a register the table does not know.
        {Space::Input, 0x0012, {0xC842, 0x0000}, "0x0012=0xC842, 0x0013=0x0000"},
        {Space::Input, 0x0011, {0x0000}, "0x0011=0x0000"},
        {Space::Holding, 0x0B00, {0x1234}, "0x0B00=0x1234"},
    };
    for (const Case& c : cases) EXPECT_EQ(decodedLine(decode(c.space, c.start, c.words)), c.line);
}

}  // namespace
}  // namespace lork::reg
