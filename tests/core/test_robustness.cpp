#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core_test_util.h"

namespace lork::test {
namespace {

struct Check {
    uint8_t func;
    uint8_t (*run)(Device&, uint16_t, uint16_t);
};

const Check checks[] = {
    {1, [](Device& d, uint16_t, uint16_t) { return d.Otvet_fn1(); }},
    {2, [](Device& d, uint16_t, uint16_t) { return d.Otvet_fn2(); }},
    {3, [](Device& d, uint16_t s, uint16_t k) { return d.Otvet_fn3(s, k); }},
    {4, [](Device& d, uint16_t s, uint16_t k) { return d.Otvet_fn4(s, k); }},
    {16, [](Device& d, uint16_t s, uint16_t k) { return d.Otvet_fn16(s, k); }},
};

// Random and truncated replies into every reply check: nothing outside the
// buffer is touched (the sanitizer build watches that), results are ones the
// checks can give, no byte that did not arrive changes the outcome, and
// nothing of a reply that fails, or that has another byte count or length
// than its request asks for, reaches the state.
TEST(Robustness, RandomRepliesIntoEveryCheck) {
    std::mt19937 rng(20261207);
    auto byte = [&] { return uint8_t(rng() & 0xFF); };
    const uint16_t starts[] = {0x0010, 0x0200, 0x0214, 0x0800, 0x0900, 0x0A00};
    int decoded = 0;
    for (int iter = 0; iter < 20000; ++iter) {
        const Check& c = checks[rng() % std::size(checks)];
        ExchangeBuffers ex;
        for (auto& b : ex.paket_suda) b = byte();
        const auto pick = rng() % 10;
        ex.len_suda = pick == 0 ? byte() : uint8_t(rng() % 40);
        ex.rx_status = uint8_t(rng() % 3);
        if (rng() % 8) ex.paket_suda[1] = 5;
        switch (rng() % 4) {
            case 0: ex.paket_suda[2] = uint8_t(0x80 | c.func); break;
            case 1: ex.paket_suda[2] = byte(); break;
            default: ex.paket_suda[2] = c.func; break;
        }
        if (rng() % 4 == 0) ex.paket_suda[3] = uint8_t(rng() % 30);
        const uint16_t start = uint16_t(starts[rng() % std::size(starts)] + rng() % 20);
        const uint16_t kol = uint16_t(rng() % 5 == 0 ? rng() : rng() % 32);
        // Half the replies take the form the request asks for, so that the
        // decoding is reached; the others keep their random count and length.
        const unsigned data = c.func <= 2 ? (kol + 7u) / 8u : 2u * kol;
        const unsigned asked = c.func == 16 ? 8 : data + 5;
        if (rng() % 2 && asked <= 63) {
            ex.len_suda = uint8_t(asked);
            if (c.func != 16) ex.paket_suda[3] = uint8_t(asked - 5);
        }
        Make_zapros(ex, 5, c.func, start, kol);  // the bit checks take the count from the request
        const unsigned len = ex.len_suda;
        if (len >= 3 && len <= 63 && rng() % 3) {
            const uint16_t crc = CRC16(&ex.paket_suda[1], uint16_t(len - 2));
            ex.paket_suda[len - 1] = uint8_t(crc & 0xFF);
            ex.paket_suda[len] = uint8_t(crc >> 8);
        }

        // The same reply twice, with different garbage where nothing arrived.
        VirtualClock clock;
        FakePort port(clock);
        RecordingHost host;
        Core a(port, clock, host), b(port, clock, host);
        a.st.ex = ex;
        b.st.ex = ex;
        b.st.ex.paket_suda[0] = uint8_t(~ex.paket_suda[0]);
        for (unsigned i = len + 1; i < 64; ++i) b.st.ex.paket_suda[i] = uint8_t(~ex.paket_suda[i]);

        const std::string before = snapshot(a.st);
        const uint8_t ra = c.run(a.dev, start, kol);
        const uint8_t rb = c.run(b.dev, start, kol);
        const bool exception = len >= 3 && ex.rx_status != 2 && ex.paket_suda[1] == 5 &&
                               ex.paket_suda[2] == uint8_t(0x80 | c.func);
        // Only a reply of the asked form is decoded (2: a register the
        // decoding does not know); of any other nothing reaches the state.
        const bool decodes = ra == KOD_OK || (ra == 2 && !exception);
        if (decodes) {
            ASSERT_EQ(len, asked) << "iteration " << iter;
            if (c.func != 16) {
                ASSERT_EQ(ex.paket_suda[3], data) << "iteration " << iter;
            }
        } else {
            ASSERT_EQ(snapshot(a.st), before) << "iteration " << iter;
        }
        ASSERT_EQ(ra, rb) << "iteration " << iter;
        ASSERT_EQ(snapshot(a.st), snapshot(b.st)) << "iteration " << iter;

        if (exception) {
            ASSERT_NE(ra, KOD_OK);
        } else {
            ASSERT_TRUE(ra == 0 || ra == 2 || (ra >= 6 && ra <= 9) || ra == 11) << int(ra);
        }
        if (decodes) ++decoded;
        ASSERT_LE(a.st.dev.reg_text.size(), 60u);
    }
    EXPECT_GT(decoded, 1000);  // the loop reaches the decoding, not only the checks
}

}  // namespace
}  // namespace lork::test
