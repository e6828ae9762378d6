#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core_test_util.h"

namespace lork::test {
namespace {

// Everything a reply check may write, floats by their bits so NaNs compare.
std::string snapshot(const State& st) {
    const auto& d = st.dev;
    std::string s;
    auto put = [&s](const auto& v) { s.append(reinterpret_cast<const char*>(&v), sizeof v); };
    put(d.cal0), put(d.cal100), put(d.res), put(d.kol_step), put(d.por_step), put(d.light);
    put(d.cal_enable), put(d.v_ind), put(d.sum_res), put(d.proc_dopusk), put(d.step);
    put(d.izm_proc), put(d.izm_znach), put(d.izm_imp), put(d.proc), put(d.te), put(d.procw), put(d.tew);
    put(d.ci_flag), put(d.kluch_K1), put(d.kluch_K2), put(d.svd_I), put(d.svd_K2), put(d.svd_K1);
    put(d.svd_P), put(d.svd_I_mig), put(d.svd_P_mig), put(d.sw_PR), put(d.sw_ST), put(d.sw_BL), put(d.sw_Z);
    put(d.reg_value);
    s += d.reg_text;
    put(st.ls.adr), put(st.ls.scor_code), put(st.ls.parity), put(st.ls.stopbit);
    return s;
}

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
// checks can give, and no byte that did not arrive changes the outcome.
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
        const unsigned len = ex.len_suda;
        if (len >= 3 && len <= 63 && rng() % 3) {
            const uint16_t crc = CRC16(&ex.paket_suda[1], uint16_t(len - 2));
            ex.paket_suda[len - 1] = uint8_t(crc & 0xFF);
            ex.paket_suda[len] = uint8_t(crc >> 8);
        }
        const uint16_t start = uint16_t(starts[rng() % std::size(starts)] + rng() % 20);
        const uint16_t kol = uint16_t(rng() % 5 == 0 ? rng() : rng() % 32);

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
        // Nothing of a failing reply is decoded.
        if (ra != KOD_OK && ra != 2) {
            ASSERT_EQ(snapshot(a.st), before) << "iteration " << iter;
        }
        ASSERT_EQ(ra, rb) << "iteration " << iter;
        ASSERT_EQ(snapshot(a.st), snapshot(b.st)) << "iteration " << iter;

        const bool exception = len >= 3 && ex.rx_status != 2 && ex.paket_suda[1] == 5 &&
                               ex.paket_suda[2] == uint8_t(0x80 | c.func);
        if (exception) {
            ASSERT_NE(ra, KOD_OK);
        } else {
            ASSERT_TRUE(ra == 0 || ra == 2 || (ra >= 6 && ra <= 9) || ra == 11) << int(ra);
        }
        if (ra == KOD_OK) ++decoded;
        ASSERT_LE(a.st.dev.reg_text.size(), 60u);
    }
    EXPECT_GT(decoded, 1000);  // the loop reaches the decoding, not only the checks
}

}  // namespace
}  // namespace lork::test
