// The power tools beside the fixed transactions: replies of any length
// checked, an exchange that ends as soon as its reply is whole, and which
// failures may be sent again.
#include <gtest/gtest.h>

#include "cli/session.h"
#include "core_test_util.h"
#include "link/frame_exchange.h"
#include "platform/crc16.h"
#include "protocol/rtu_frame.h"

namespace lork::test {
namespace {

constexpr int64_t ms = 1000;

TEST(RtuReply, ChecksOfEveryKind) {
    const auto read2 = rtu::readRequest(5, 3, 0x0A00, 2);
    const auto good = with_crc({5, 3, 4, 0, 10, 0, 100});
    auto bad_crc = good;
    bad_crc.back() ^= 1;
    const auto write = rtu::writeRequest(5, 0x0A00, {7, 8});
    struct Case {
        const char* what;
        std::vector<uint8_t> request, reply;
        uint8_t kod;
        bool exception;
    } cases[] = {
        {"good", read2, good, 0, false},
        {"none", read2, {}, KOD_NO_REPLY, false},
        {"other address", read2, with_crc({6, 3, 4, 0, 10, 0, 100}), KOD_ADR, false},
        {"cut", read2, {good.begin(), good.end() - 1}, KOD_CRC, false},
        {"too long", read2, [&] { auto r = good; r.push_back(0); return r; }(), KOD_ECHO, false},
        {"crc", read2, bad_crc, KOD_CRC, false},
        {"other function", read2, with_crc({5, 4, 4, 0, 10, 0, 100}), KOD_FUNC, false},
        {"byte count", read2, with_crc({5, 3, 2, 0, 10}), KOD_ECHO, false},
        {"exception", read2, with_crc({5, 0x83, 2}), 2, true},
        {"exception 0", read2, with_crc({5, 0x83, 0}), KOD_ECHO, false},
        {"write echo", write, with_crc({5, 16, 0x0A, 0, 0, 2}), 0, false},
        {"write echo wrong", write, with_crc({5, 16, 0x0A, 0, 0, 1}), KOD_ECHO, false},
    };
    for (const auto& c : cases) {
        const auto r = rtu::checkReply(c.request, c.reply);
        EXPECT_EQ(r.kod, c.kod) << c.what;
        EXPECT_EQ(r.exception, c.exception) << c.what;
    }
    EXPECT_EQ(rtu::replyValues(read2, good), (std::vector<uint16_t>{10, 100}));
    // Bits come low bit first.
    const auto coils = rtu::readRequest(5, 1, 0, 10);
    EXPECT_EQ(rtu::replyValues(coils, with_crc({5, 1, 2, 0x05, 0x02})),
              (std::vector<uint16_t>{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(RtuFrame, LongFramesCarryTheirWholeCrc) {
    // The fixed transactions' CRC stops at 64 bytes; a 125-register reply does not.
    std::vector<uint8_t> reply{5, 3, 250};
    for (int i = 0; i < 250; ++i) reply.push_back(uint8_t(i));
    const uint16_t c = lork::crc16Modbus(reply.data(), reply.size());
    reply.push_back(uint8_t(c & 0xFF));
    reply.push_back(uint8_t(c >> 8));
    EXPECT_TRUE(rtu::checkReply(rtu::readRequest(5, 3, 0, 125), reply).ok());
    reply[100] ^= 1;
    EXPECT_EQ(rtu::checkReply(rtu::readRequest(5, 3, 0, 125), reply).kod, KOD_CRC);
}

TEST(FrameExchange, EndsWhenWholeAndKeepsTheSilence) {
    CoreRig r;
    FrameExchange fx(r.port, r.clock);
    const auto request = rtu::readRequest(5, 3, 0x0A00, 2);
    const auto reply = with_crc({5, 3, 4, 0, 10, 0, 100});
    int64_t sent = 0;
    r.port.onWrite = [&](FakePort& p, const std::vector<uint8_t>&) {
        sent = r.clock.now_us;
        p.arriveSpaced(sent + 12 * ms, reply, 1040);
    };
    auto got = fx.exchange(request, 50 * ms);
    EXPECT_EQ(got.bytes, reply);
    EXPECT_EQ(got.firstByteUs, 12 * ms);
    EXPECT_EQ(r.clock.now_us - sent, 12 * ms + 8 * 1040);  // the last byte, no time-out after it
    // The next request waits for 3.5 characters of silence after that byte.
    const int64_t last = r.clock.now_us;
    r.port.onWrite = [&](FakePort&, const std::vector<uint8_t>&) { sent = r.clock.now_us; };
    got = fx.exchange(request, 20 * ms);
    EXPECT_TRUE(got.bytes.empty());
    EXPECT_GE(sent - last, fx.silenceUs());
    EXPECT_LT(sent - last, fx.silenceUs() + ms);  // the fake port waits in whole milliseconds
    EXPECT_EQ(r.clock.now_us - sent, 20 * ms);
}

TEST(Retries, WritesThatMayHaveBeenDoneAreNotRepeated) {
    struct Case {
        uint8_t kod;
        bool write, exception, repeat;
    } cases[] = {
        {0, false, false, false},           {KOD_NO_REPLY, false, false, true}, {KOD_CRC, false, false, true},
        {2, false, true, true},             {KOD_NO_REPLY, true, false, true},  {KOD_CUT, true, false, true},
        {KOD_CRC, true, false, false},      {3, true, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lorkctl::mayRepeat(c.kod, c.write, c.exception), c.repeat)
            << int(c.kod) << " write " << c.write << " exception " << c.exception;
}

}  // namespace
}  // namespace lork::test
