// Hostile bytes through what reads a line: the Telnet input of a gateway and
// the reply checks of the three functions. Nothing may be held beyond its
// bound, and nothing read or written outside the buffers (the sanitizers
// watch that); a reply taken as good came from the address asked and carries
// its CRC.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/telnet_input.h"
#include "device/device.h"
#include "protocol/framing.h"
#include "support/fake_port.h"

namespace {

struct Sink : lork::TelnetInput::Sink {
    void lineData(uint8_t) override {}
    void optionVerb(uint8_t, uint8_t) override {}
    void subnegotiation(const std::vector<uint8_t>& body) override {
        if (body.size() > lork::TelnetInput::kSubMax) std::abort();
    }
};

void telnet(const uint8_t* data, size_t size, size_t cut) {
    lork::TelnetInput in;
    Sink sink;
    cut = std::min(cut, size);
    in.feed(data, cut, sink);
    in.feed(data + cut, size - cut, sink);
    if (in.held() > lork::TelnetInput::kSubMax) std::abort();
}

void reply(const uint8_t* data, size_t size, uint8_t how) {
    using namespace lork;
    test::VirtualClock clock;
    test::FakePort port{clock};
    test::RecordingHost host;
    Core core{port, clock, host};
    core.st.ls.adr = 5;
    core.link.Port_setup(2);
    const std::vector<uint8_t> bytes(data, data + size);
    port.onWrite = [&](test::FakePort& p, const std::vector<uint8_t>&) { p.arrive(clock.now_us + 1000, bytes); };
    const uint16_t kol = uint16_t(1 + how % 8);
    static constexpr uint8_t funcs[] = {3, 4, 16};
    auto& ex = core.st.ex;
    ex.zapros_func = funcs[how / 8 % 3];
    ex.zapros_start = ex.zapros_func == 4 ? 0x0000 : 0x0800;
    ex.zapros_kol = kol;
    uint8_t kod;
    switch (ex.zapros_func) {
    case 3:
        core.dev.Zapros_read(ex.zapros_start, kol);
        kod = core.dev.Otvet_fn3(ex.zapros_start, kol);
        break;
    case 4:
        core.dev.Zapros_read(ex.zapros_start, kol);
        kod = core.dev.Otvet_fn4(ex.zapros_start, kol);
        break;
    default:
        core.dev.Zapros_write(ex.zapros_start, kol, std::vector<uint16_t>(kol, 0x1234));
        kod = core.dev.Otvet_fn16(ex.zapros_start, kol);
        break;
    }
    if (kod == KOD_OK && (ex.paket_suda[1] != 5 || ex.len_suda < 4 || CRC16(&ex.paket_suda[1], ex.len_suda) != 0))
        std::abort();
    (void)Kod_text_dump(core.st.ex, kod);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t pick = data[0];
    if (pick & 1) telnet(data + 1, size - 1, pick >> 1);
    else reply(data + 1, size - 1, uint8_t(pick >> 1));
    return 0;
}
