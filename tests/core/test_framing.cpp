#include <gtest/gtest.h>

#include <cstring>

#include "core_test_util.h"
#include "protocol/rtu_frame.h"

namespace lork::test {
namespace {

size_t utf8_chars(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

std::vector<uint8_t> tuda(const ExchangeBuffers& ex) {
    return {ex.paket_tuda.begin() + 1, ex.paket_tuda.begin() + 1 + ex.len_tuda};
}

TEST(Crc, CheckValueOfTheNineDigits) {
    const char* s = "123456789";
    EXPECT_EQ(CRC16(reinterpret_cast<const uint8_t*>(s), 9), 0x4B37);
}

TEST(Frames, ReadRequestOfRegister0800) {
    ExchangeBuffers ex;
    Make_zapros(ex, 5, 3, 0x0800, 1);
    EXPECT_EQ(tuda(ex), (std::vector<uint8_t>{0x05, 0x03, 0x08, 0x00, 0x00, 0x01, 0x87, 0xEE}));
}

TEST(Frames, WriteRequestOfOneAndTwoRegisters) {
    ExchangeBuffers ex;
    Make_zapros_write(ex, 5, 0x0A03, 1, {1});
    EXPECT_EQ(tuda(ex), (std::vector<uint8_t>{0x05, 0x10, 0x0A, 0x03, 0x00, 0x01, 0x02, 0x00, 0x01, 0xFF, 0x63}));

    Make_zapros_write(ex, 7, 0x0900, 2, {0x1234, 0xABCD});
    ASSERT_EQ(ex.len_tuda, 13);
    EXPECT_EQ(tuda(ex), with_crc({0x07, 0x10, 0x09, 0x00, 0x00, 0x02, 0x04, 0x12, 0x34, 0xAB, 0xCD}));
}

TEST(Frames, WriteRequestNeverLeavesTheBuffer) {
    ExchangeBuffers ex;
    ex.paket_suda.fill(0x5A);  // lies right behind the request in memory
    Make_zapros_write(ex, 5, 0, 200, {});  // more than fits, and no values given
    EXPECT_LE(ex.len_tuda, 63);
    const unsigned kol = ex.paket_tuda[5] * 256u + ex.paket_tuda[6];
    EXPECT_EQ(ex.len_tuda, 2 * kol + 9);
    EXPECT_EQ(ex.paket_tuda[7], 2 * kol);
    EXPECT_EQ(tuda(ex), with_crc(std::vector<uint8_t>(ex.paket_tuda.begin() + 1, ex.paket_tuda.begin() + ex.len_tuda - 1)));
    for (uint8_t b : ex.paket_suda) EXPECT_EQ(b, 0x5A);
}

TEST(KodTexts, CharacterCounts) {
    const size_t counts[13] = {17, 20, 22, 24, 23, 26, 28, 25, 44, 42, 16, 20, 10};
    for (uint8_t c = 0; c < 13; ++c) EXPECT_EQ(utf8_chars(kod_texts[c]), counts[c]) << "code " << int(c);
    EXPECT_EQ(kod_texts[0], "\"ОК: нет ошибок\" ");
    EXPECT_EQ(kod_texts[2], " \"недопустимый адрес \"");
    EXPECT_EQ(kod_texts[12], " оборвали ");
}

TEST(KodTexts, CodesWithoutTextNameTheirNumber) {
    EXPECT_EQ(Kod_text(6), kod_texts[6]);
    EXPECT_EQ(Kod_text(15), " код исключения 15");
    EXPECT_EQ(Kod_text(255), " код исключения 255");
}

// Every result the common checks can give, for a function-3 request at address 5.
struct CheckCase {
    const char* what;
    std::vector<uint8_t> reply;
    uint8_t rx_status;
    int expected;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.what; }

class CommonChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CommonChecks, Result) {
    const auto& c = GetParam();
    ExchangeBuffers ex;
    load_reply(ex, c.reply, c.rx_status);
    EXPECT_EQ(commonChecks(ex, 5, 3), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    AllCodes, CommonChecks,
    ::testing::Values(
        CheckCase{"good reply passes", with_crc({5, 3, 2, 0, 5}), 0, -1},
        CheckCase{"late reply passes too", with_crc({5, 3, 2, 0, 5}), 1, -1},
        CheckCase{"exception 1", {5, 0x83, 1, 0, 0}, 0, 1},
        CheckCase{"exception 2, no CRC check", {5, 0x83, 2}, 0, 2},
        CheckCase{"exception 3", with_crc({5, 0x83, 3}), 0, 3},
        CheckCase{"exception 4", with_crc({5, 0x83, 4}), 0, 4},
        CheckCase{"exception 5", with_crc({5, 0x83, 5}), 0, 5},
        CheckCase{"exception 10", with_crc({5, 0x83, 10}), 0, 10},
        CheckCase{"exception 200 kept", with_crc({5, 0x83, 200}), 0, 200},
        CheckCase{"exception code 0 is no success", with_crc({5, 0x83, 0}), 0, 8},
        CheckCase{"exception without its code", {5, 0x83}, 0, 6},
        CheckCase{"bad CRC", {5, 3, 2, 0, 5, 0x89, 0x88}, 0, 6},
        CheckCase{"address and function only", {5, 3}, 0, 6},
        CheckCase{"good CRC, other address", with_crc({6, 3, 2, 0, 5}), 0, 7},
        CheckCase{"other function", with_crc({5, 4, 2, 0, 5}), 0, 9},
        CheckCase{"address byte only", {5}, 0, 9},
        CheckCase{"no reply", {}, 2, 11},
        CheckCase{"stray byte then silence", {0x33}, 2, 11},
        CheckCase{"nothing received", {}, 0, 11}),
    [](const auto& p) { return "case" + std::to_string(p.index); });

// A gateway's exceptions 0x0A and 0x0B have texts of their own only when the
// port says the gateway sent them; from an instrument they stay its codes.
TEST(CommonChecks, GatewayExceptionsOnlyFromTheGateway) {
    const struct {
        uint8_t code, gateway;
        int expected;
    } cases[] = {{0x0A, 0x0A, KOD_GW_PATH}, {0x0B, 0x0B, KOD_GW_TARGET}, {0x0A, 0, 10}, {0x0B, 0, 11}};
    for (const auto& c : cases) {
        ExchangeBuffers ex;
        load_reply(ex, with_crc({5, 0x83, c.code}), 0);
        ex.gatewayExc = c.gateway;
        EXPECT_EQ(commonChecks(ex, 5, 3), c.expected) << int(c.code) << " " << int(c.gateway);
        const auto check = rtu::checkReply(rtu::readRequest(5, 3, 0, 1), with_crc({5, 0x83, c.code}), c.gateway);
        EXPECT_EQ(check.kod, c.gateway ? c.expected : c.code);
        EXPECT_EQ(check.exception, c.gateway == 0);
    }
    EXPECT_EQ(Kod_text(KOD_GW_PATH), " шлюз: нет пути");
    EXPECT_EQ(rtu::checkText(rtu::checkReply(rtu::readRequest(5, 3, 0, 1), with_crc({5, 0x83, 0x0B}), 0x0B)),
              " шлюз: прибор не ответил");
}

TEST(KodTextDump, ExampleReply) {
    ExchangeBuffers ex;
    load_reply(ex, {0x05, 0x03, 0x02, 0x00, 0x05, 0x89, 0x88});
    EXPECT_EQ(Kod_text_dump(ex, 6), " неверная контрольная сумма  принято: 05 03 02 00 05 89 88 ");
    ex.len_suda = 0;
    EXPECT_EQ(Kod_text_dump(ex, 11), " не дождались ответа");
}

TEST(ExchangeLines, RequestAndReply) {
    ExchangeBuffers ex;
    EXPECT_EQ(tudaLine(ex), "нет сообщений");
    EXPECT_EQ(sudaLine(ex), "нет ответа");
    Make_zapros(ex, 5, 3, 0x0800, 1);
    load_reply(ex, {0x05, 0x03, 0x02, 0x00, 0x05, 0x89, 0x87});
    EXPECT_EQ(tudaLine(ex), "05 03 08 00 00 01 87 EE ");
    EXPECT_EQ(sudaLine(ex), "05 03 02 00 05 89 87  dl=7");
    ex.paket_suda[1] = 0xAB;
    EXPECT_EQ(sudaLine(ex).substr(0, 3), "AB ");
}

TEST(ExchangeLines, LengthsBeyondTheBufferStopAtItsEnd) {
    ExchangeBuffers ex;
    ex.paket_suda.fill(0x11);
    ex.len_suda = 255;
    ex.len_tuda = 255;
    EXPECT_EQ(hexBytes(&ex.paket_suda[1], 255).size(), 63u * 3);
    EXPECT_EQ(sudaLine(ex), hexBytes(&ex.paket_suda[1], 63) + " dl=255");
    EXPECT_EQ(tudaLine(ex).size(), 63u * 3);
    EXPECT_EQ(Kod_text_dump(ex, 0).size(), kod_texts[0].size() + std::strlen(" принято: ") + 63 * 3);
}

}  // namespace
}  // namespace lork::test
