// Times the fixed transactions over a real tty path against lork-sim --pace,
// which sends its replies at wire speed:
//  - the simulator's own turnaround (first and last reply byte against the
//    ideal wire schedule), seen through a raw termios port;
//  - the same reads made by a libmodbus master;
//  - our master on the program's own ports (the tty, and TCP over the
//    loopback through socat in front of the same pty): Read_adr,
//    Read_params, Read_izm and a probe of a silent address, each against its
//    budget, and against the budget that waits for the simulator's own first
//    byte where that comes after pause_after.
//   bench_link PATH_TO_LORK_SIM [REPEATS]
#include <modbus/modbus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/port_factory.h"
#include "platform/base/system_clock.h"
#include "protocol/framing.h"
#include "support/child_process.h"
#include "sim/wire_timing.h"
#include "support/posix_port.h"
#include "support/sim_process.h"
#include "device/device.h"
#include "support/fake_port.h"

using namespace lork;
using namespace lork::test;

namespace {

struct Stats {
    double median_ms = 0, max_ms = 0;
};

template <class C>
Stats timeIt(int repeats, const std::function<bool()>& op, C& clock, int* failures) {
    std::vector<double> t;
    for (int i = 0; i < repeats; ++i) {
        const int64_t a = clock.nowUs();
        if (!op()) ++*failures;
        t.push_back(double(clock.nowUs() - a) / 1000.0);
    }
    std::sort(t.begin(), t.end());
    return {t[t.size() / 2], t.back()};
}

std::vector<uint8_t> readReq(uint8_t func, uint16_t start, uint16_t kol) {
    std::vector<uint8_t> b{5, func, uint8_t(start >> 8), uint8_t(start), uint8_t(kol >> 8), uint8_t(kol)};
    const uint16_t c = CRC16(b.data(), 6);
    b.push_back(uint8_t(c & 0xFF));
    b.push_back(uint8_t(c >> 8));
    return b;
}

struct Txn {
    const char* name;
    uint8_t func;
    uint16_t start, kol;
};
const Txn kTxns[] = {{"Read_adr", 3, 0x0800, 1}, {"Read_params", 3, 0x0A00, 8}, {"Read_izm", 4, 0x0010, 13}};

// First and last reply byte after the write, medians in ms, as a port
// without the link sees them (no pauses, no time-outs: it reads until the
// reply is complete).
void rawTurnaround(SerialPort& port, int repeats, double* first_ms, double* last_ms, int* failures) {
    SteadyClock clock;
    for (const Txn& t : kTxns) {
        const auto req = readReq(t.func, t.start, t.kol);
        const size_t replyLen = 5 + 2u * t.kol;
        std::vector<double> first, last;
        for (int i = 0; i < repeats; ++i) {
            port.purgeInput();
            const int64_t a = clock.nowUs();
            port.write(req.data(), req.size());
            size_t got = 0;
            int64_t f = 0, l = 0;
            uint8_t buf[64];
            while (got < replyLen && port.waitForReadyRead(200)) {
                const size_t n = port.readAvailable(buf, sizeof buf);
                if (n && !got) f = clock.nowUs();
                got += n;
                l = clock.nowUs();
            }
            if (got != replyLen) ++*failures;
            first.push_back(double(f - a) / 1000.0);
            last.push_back(double(l - a) / 1000.0);
        }
        std::sort(first.begin(), first.end());
        std::sort(last.begin(), last.end());
        first_ms[&t - kTxns] = first[first.size() / 2];
        last_ms[&t - kTxns] = last[last.size() / 2];
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_link LORK_SIM [REPEATS]\n");
        return 2;
    }
    const std::string exe = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    SteadyClock clock;
    int failures = 0;

    for (int32_t baud : {9600, 115200}) {
        const uint8_t code = baud == 9600 ? 2 : 6;
        const int64_t ch = sim::charTimeUs(baud, 0, 1);
        SimProcess sim;
        std::string why;
        if (!sim.start(exe, {"--pace", "--baud", std::to_string(baud)}, &why)) {
            std::fprintf(stderr, "cannot start lork-sim: %s\n", why.c_str());
            return 1;
        }
        std::printf("\n## %d bit/s (character %lld us, end-of-frame silence %lld us), %d repeats\n\n", baud,
                    (long long)ch, (long long)sim::frameSilenceUs(baud, 0, 1), repeats);

        double first_ms[3] = {};
        // 1. The simulator's turnaround on the raw port.
        std::printf("| simulator, raw port | first byte, median ms | ideal ms | last byte, median ms | ideal ms |\n");
        std::printf("|---|---|---|---|---|\n");
        {
            PosixPort port;
            port.open(sim.path());
            port.configure({baud, 8, 0, 1});
            double last_ms[3];
            rawTurnaround(port, repeats, first_ms, last_ms, &failures);
            for (const Txn& t : kTxns) {
                const size_t k = size_t(&t - kTxns);
                const size_t replyLen = 5 + 2u * t.kol;
                const double ideal_first = double(8 * ch + sim::frameSilenceUs(baud, 0, 1) + ch) / 1000.0;
                const double ideal_last = ideal_first + double((int64_t(replyLen) - 1) * ch) / 1000.0;
                std::printf("| %s | %.2f | %.2f | %.2f | %.2f |\n", t.name, first_ms[k], ideal_first, last_ms[k],
                            ideal_last);
            }
        }

        // 2. libmodbus master, same reads.
        double lib_ms[3] = {};
        {
            modbus_t* ctx = modbus_new_rtu(sim.path().c_str(), baud, 'N', 8, 1);
            modbus_set_slave(ctx, 5);
            modbus_set_response_timeout(ctx, 1, 0);
            if (modbus_connect(ctx) != 0) {
                std::fprintf(stderr, "libmodbus cannot open %s\n", sim.path().c_str());
                return 1;
            }
            std::printf("\n| libmodbus master | median ms | max ms |\n|---|---|---|\n");
            for (int k = 0; k < 3; ++k) {
                const Txn& t = kTxns[k];
                uint16_t regs[16];
                const Stats s = timeIt(
                    repeats,
                    [&] {
                        const int n = t.func == 3 ? modbus_read_registers(ctx, t.start, t.kol, regs)
                                                  : modbus_read_input_registers(ctx, t.start, t.kol, regs);
                        return n == t.kol;
                    },
                    clock, &failures);
                lib_ms[k] = s.median_ms;
                std::printf("| %s | %.2f | %.2f |\n", t.name, s.median_ms, s.max_ms);
            }
            modbus_close(ctx);
            modbus_free(ctx);
        }

        // 3. Our master, on the tty and through a TCP device server on the loopback.
        ChildProcess socat;
        const std::string tcp = "tcp://127.0.0.1:" + std::to_string(47000 + baud % 1000);
        socat.start({"socat", "TCP-LISTEN:" + tcp.substr(16) + ",bind=127.0.0.1,reuseaddr",
                     "FILE:" + sim.path() + ",raw,echo=0"});
        usleep(300'000);
        for (const std::string& name : {sim.path(), tcp}) {
            PortByName port;
            SystemClock sclock;
            RecordingHost host;
            Core core(port, sclock, host);
            core.st.ls.port_name = name;
            core.st.ls.adr = 5;
            core.st.ls.scor = baud;
            core.st.ls.scor_code = code;
            core.link.Port_setup(code);
            // What earlier users of the pty left in it reaches a new
            // connection first; a few exchanges take it away.
            for (int i = 0; i < 3; ++i) core.dev.Read_adr();
            const LineSettings& ls = core.st.ls;
            // The slave's first byte as it comes out of the gateway: socat's
            // two loopback hops on top of the simulator's own time.
            double gw_first[3] = {}, gw_last[3] = {};
            if (name == tcp) {
                rawTurnaround(port, repeats, gw_first, gw_last, &failures);
                std::printf("\n| through the gateway, raw | first byte, median ms | later than on the pty, ms | last byte, median ms |\n|---|---|---|---|\n");
                for (int k = 0; k < 3; ++k)
                    std::printf("| %s | %.2f | %.2f | %.2f |\n", kTxns[k].name, gw_first[k], gw_first[k] - first_ms[k], gw_last[k]);
            }
            std::printf("\n| our master, %s | median ms | max ms | budget ms | ratio | budget with the slave's first byte | ratio | ratio to libmodbus | budget with the first byte out of the gateway | ratio |\n"
                        "|---|---|---|---|---|---|---|---|---|---|\n",
                        name == tcp ? "TCP over the loopback" : "tty");
            std::function<uint8_t()> ops[3] = {[&] { return core.dev.Read_adr(); },
                                               [&] { return core.dev.Read_params(); },
                                               [&] { return core.dev.Read_izm(); }};
            for (int k = 0; k < 3; ++k) {
                const Txn& t = kTxns[k];
                const Stats s = timeIt(repeats, [&] { return ops[k]() == 0; }, sclock, &failures);
                const unsigned len_wait = 2u * t.kol + 5u;
                const double tail = double(t_byte[code]) * len_wait + ls.RIT;
                const double budget = core.link.pause_before + double(8 * ch) / 1000.0 + core.link.pause_after + tail;
                // The address search waits for the first byte, which a Modbus
                // slave sends only after the request and 3.5 characters of silence.
                const double with_slave =
                    core.link.pause_before + std::max<double>(core.link.pause_after, first_ms[k]) + tail;
                std::printf("| %s | %.2f | %.2f | %.2f | %.3f | %.2f | %.3f | %.2f |", t.name, s.median_ms,
                            s.max_ms, budget, s.median_ms / budget, with_slave, s.median_ms / with_slave,
                            s.median_ms / lib_ms[k]);
                if (name == tcp) {
                    const double with_gw =
                        core.link.pause_before + std::max<double>(core.link.pause_after, gw_first[k]) + tail;
                    std::printf(" %.2f | %.3f |\n", with_gw, s.median_ms / with_gw);
                } else {
                    std::printf(" - | - |\n");
                }
            }
            // A probe of an address nobody has: four single-byte read
            // time-outs (three searching, one ending the second pass).
            core.st.ls.adr = 99;
            int probe_fail = 0;
            const Stats s = timeIt(repeats, [&] { return core.dev.Probe_adr() == KOD_CUT; }, sclock, &probe_fail);
            failures += probe_fail;
            const double budget = core.link.pause_before + core.link.pause_after + 4.0 * (ls.RTTM + ls.RTTC);
            std::printf("| Probe_adr, silent | %.2f | %.2f | %.2f | %.3f | - | - | - | - | - |\n", s.median_ms, s.max_ms,
                        budget, s.median_ms / budget);
            for (const auto& m : host.messages) std::fprintf(stderr, "message: %s\n", m.c_str());
        }
        socat.stop();
        if (!sim.stop()) ++failures;
    }
    if (failures) std::fprintf(stderr, "%d operation(s) failed\n", failures);
    return failures ? 1 : 0;
}
