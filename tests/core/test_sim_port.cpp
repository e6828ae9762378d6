// The in-process simulator behind SerialPort (the demonstration on Windows):
// a reply at its own line settings only, and no byte before its wire time.
#include <gtest/gtest.h>

#include <chrono>

#include "protocol/framing.h"
#include "sim/sim_port.h"
#include "sim/wire_timing.h"

using namespace lork;

TEST(SimPort, AnswersAtItsLineSettingsNoSoonerThanTheWireAllows) {
    sim::InstrumentModel model;
    sim::SimPort port(model);
    ASSERT_EQ(port.open("ДЕМО"), 0u);
    std::vector<uint8_t> req{5, 3, 0x08, 0x00, 0x00, 0x01};
    const uint16_t c = CRC16(req.data(), 6);
    req.push_back(uint8_t(c & 0xFF));
    req.push_back(uint8_t(c >> 8));
    for (const LineConfig cfg : {LineConfig{19200, 8, 0, 1}, LineConfig{9600, 8, 0, 1}}) {
        port.configure(cfg);
        const auto t0 = std::chrono::steady_clock::now();
        ASSERT_EQ(port.write(req.data(), req.size()), 0u);
        uint8_t b[16];
        EXPECT_EQ(port.readAvailable(b, sizeof b), 0u);  // still on the wire
        std::vector<uint8_t> got;
        while (port.waitForReadyRead(50)) {
            const size_t n = port.readAvailable(b, sizeof b);
            got.insert(got.end(), b, b + n);
        }
        if (cfg.baud != 9600) {
            EXPECT_TRUE(got.empty());
            continue;
        }
        ASSERT_EQ(got.size(), 7u);
        EXPECT_EQ(got[0], 5);
        EXPECT_EQ(CRC16(got.data(), uint16_t(got.size())), 0);
        const int64_t ch = sim::charTimeUs(9600, 0, 1);
        const auto wire = std::chrono::microseconds(ch * int64_t(req.size() + got.size()));
        EXPECT_GE(std::chrono::steady_clock::now() - t0, wire);
    }
}
