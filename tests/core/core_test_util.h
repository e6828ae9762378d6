#pragma once
// Shared helpers of the core tests: frames with their CRC, replies put into
// the receive buffer as the link would leave them, and a wired Core on a
// FakePort in virtual time.
#include <cstdint>
#include <string>
#include <vector>

#include "device/device.h"
#include "support/fake_port.h"

namespace lork::test {

// The bytes followed by their CRC, low byte first.
inline std::vector<uint8_t> with_crc(std::vector<uint8_t> b) {
    const uint16_t crc = CRC16(b.data(), uint16_t(b.size()));
    b.push_back(uint8_t(crc & 0xFF));
    b.push_back(uint8_t(crc >> 8));
    return b;
}

// A reply as Port_receive leaves it: "." filling, the bytes from position 1.
inline void load_reply(ExchangeBuffers& ex, const std::vector<uint8_t>& bytes, uint8_t rx_status = 0) {
    ex.paket_suda.fill(0);
    for (unsigned i = 1; i <= 32; ++i) ex.paket_suda[i] = 0x2E;
    for (size_t i = 0; i < bytes.size() && i + 1 < ex.paket_suda.size(); ++i) ex.paket_suda[i + 1] = bytes[i];
    ex.len_suda = uint8_t(bytes.size());
    ex.rx_status = rx_status;
}

// A read reply (functions 3 and 4) carrying the registers, high byte first.
inline std::vector<uint8_t> reg_reply(uint8_t adr, uint8_t func, const std::vector<uint16_t>& regs) {
    std::vector<uint8_t> b{adr, func, uint8_t(2 * regs.size())};
    for (uint16_t r : regs) {
        b.push_back(uint8_t(r >> 8));
        b.push_back(uint8_t(r & 0xFF));
    }
    return with_crc(b);
}

// Everything a reply check may write, floats by their bits so NaNs compare.
inline std::string snapshot(const State& st) {
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

struct CoreRig {
    VirtualClock clock;
    FakePort port{clock};
    RecordingHost host;
    Core core{port, clock, host};
    State& st = core.st;

    // Port open at the default 9600 with that rate's time-outs and pauses.
    CoreRig() { core.link.Port_setup(2); }

    // Every request is answered by `reply` after delay_us.
    void answer_with(std::vector<uint8_t> reply, int64_t delay_us = 1000) {
        port.onWrite = [this, reply, delay_us](FakePort& p, const std::vector<uint8_t>&) {
            p.arrive(clock.now_us + delay_us, reply);
        };
    }
};

}  // namespace lork::test
