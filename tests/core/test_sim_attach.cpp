// The simulator behind a FakePort: replies only at matching line settings,
// with wire timing in virtual time.
#include <gtest/gtest.h>

#include "protocol/framing.h"
#include "sim/wire_timing.h"
#include "support/sim_attach.h"

using namespace lork;
using namespace lork::test;

namespace {

std::vector<uint8_t> readAdrReq(uint8_t adr) {
    std::vector<uint8_t> b{adr, 3, 0x08, 0x00, 0x00, 0x01};
    const uint16_t c = CRC16(b.data(), 6);
    b.push_back(uint8_t(c & 0xFF));
    b.push_back(uint8_t(c >> 8));
    return b;
}

struct Rig {
    VirtualClock clock;
    FakePort port{clock};
    sim::InstrumentModel model;
    Rig() {
        attachToFakePort(port, model);
        port.open("COM1");
    }
    // Reads until the line stays quiet for a second; returns bytes and the
    // virtual arrival time of the first and last.
    std::vector<uint8_t> drain(int64_t* first = nullptr, int64_t* last = nullptr) {
        std::vector<uint8_t> got;
        while (port.waitForReadyRead(1000)) {
            uint8_t b;
            while (port.readAvailable(&b, 1) == 1) {
                if (got.empty() && first) *first = clock.now_us;
                if (last) *last = clock.now_us;
                got.push_back(b);
            }
        }
        return got;
    }
};

}  // namespace

TEST(SimAttach, AnswersOnlyAtItsOwnLineSettings) {
    struct Case {
        LineConfig cfg;
        bool answers;
    } cases[] = {
        {{9600, 8, 0, 1}, true},   {{19200, 8, 0, 1}, false}, {{9600, 8, 2, 1}, false},
        {{9600, 8, 0, 2}, false},  {{4800, 8, 0, 1}, false},  {{9600, 7, 0, 1}, false},
    };
    for (const auto& c : cases) {
        Rig r;
        r.port.configure(c.cfg);
        const auto req = readAdrReq(5);
        r.port.write(req.data(), req.size());
        EXPECT_EQ(!r.drain().empty(), c.answers) << c.cfg.baud << "/" << int(c.cfg.parity) << "/" << int(c.cfg.stopbits)
                                                 << "/" << int(c.cfg.bytesize);
    }
}

TEST(SimAttach, ReplyTimingFollowsTheWire) {
    struct Case {
        uint8_t code, parity, stop;
    } cases[] = {{2, 0, 1}, {2, 2, 1}, {6, 0, 2}, {1, 1, 1}};
    for (const auto& c : cases) {
        Rig r;
        r.model.setLine({5, c.code, c.parity, c.stop});
        const int32_t baud = scor_table[c.code];
        r.port.configure({baud, 8, c.parity, c.stop});
        const int64_t ch = sim::charTimeUs(baud, c.parity, c.stop);
        const auto req = readAdrReq(5);
        r.port.write(req.data(), req.size());
        int64_t first = 0, last = 0;
        const auto got = r.drain(&first, &last);
        ASSERT_EQ(got.size(), 7u);
        // Request on the wire, end-of-frame silence, then one character each.
        EXPECT_EQ(first, 8 * ch + sim::frameSilenceUs(baud, c.parity, c.stop) + ch) << baud;
        EXPECT_EQ(last - first, 6 * ch) << baud;
    }
}

TEST(SimAttach, LateReplyLandsInTheSecondAddressSearch) {
    for (uint8_t code = 1; code <= 6; ++code) {
        Rig r;
        r.model.setLine({5, code, 0, 1});
        r.port.configure({scor_table[code], 8, 0, 1});
        r.model.setFault(sim::Fault::Late, 1);
        const auto req = readAdrReq(5);
        r.port.write(req.data(), req.size());
        int64_t first = 0;
        ASSERT_EQ(r.drain(&first).size(), 7u);
        // The master starts reading t_after ms after its write; each
        // single-byte read of the first search waits 2*(t_after+t_before) ms.
        const int64_t read_us = 2000 * (int64_t(t_after[code]) + t_before[code]);
        const int64_t search_end = int64_t(t_after[code]) * 1000 + 3 * read_us;
        EXPECT_GT(first, search_end) << int(code);
        EXPECT_LT(first, search_end + 3 * read_us) << int(code);
    }
}

TEST(SimAttach, NewSettingsServeTheNextRequest) {
    Rig r;
    r.port.configure({9600, 8, 0, 1});
    // Address 9 and 115200 bit/s, written in one request.
    std::vector<uint8_t> w{5, 16, 0x08, 0x00, 0, 2, 4, 0, 9, 0, 6};
    const uint16_t c = CRC16(w.data(), uint16_t(w.size()));
    w.push_back(uint8_t(c & 0xFF));
    w.push_back(uint8_t(c >> 8));
    r.port.write(w.data(), w.size());
    const auto echo = r.drain();
    ASSERT_EQ(echo.size(), 8u);
    EXPECT_EQ(echo[0], 5);
    const auto req = readAdrReq(9);
    r.port.write(req.data(), req.size());
    EXPECT_TRUE(r.drain().empty());  // still at 9600
    r.port.configure({115200, 8, 0, 1});
    r.port.write(req.data(), req.size());
    EXPECT_EQ(r.drain().size(), 7u);
}
