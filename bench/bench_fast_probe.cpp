// bench_fast_probe: how late after the wire schedule lork-sim --pace starts
// its reply, at each of the six rates, as the fast search sees it (the
// program's own tty port and FrameExchange). The search's time-out allows
// kSearchMarginUs for this.
//
//   bench_fast_probe LORK_SIM [PROBES=300]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "device/fast_search.h"
#include "link/frame_exchange.h"
#include "platform/base/system_clock.h"
#include "platform/linux/tty_port.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "support/sim_process.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "bench_fast_probe LORK_SIM [PROBES]\n");
        return 2;
    }
    const int probes = argc > 2 ? std::atoi(argv[2]) : 300;
    std::printf("rate    min    p10    first byte after the wire schedule, us: median  p99   max   missed  (margin %lld)\n",
                static_cast<long long>(lork::kSearchMarginUs));
    for (int code = 1; code <= 6; ++code) {
        const int32_t rate = lork::scor_table[size_t(code)];
        lork::test::SimProcess sim;
        std::string why;
        if (!sim.start(argv[1], {"--pace", "--address", "200", "--baud", std::to_string(rate)}, &why)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        lork::TtyPort port;
        lork::LineConfig cfg;
        cfg.baud = rate;
        if (port.open(sim.path()) != 0 || port.configure(cfg) != 0) return 1;
        lork::SystemClock clock;
        lork::FrameExchange fx(port, clock);
        const auto request = lork::rtu::readRequest(200, lork::reg::ReadHoldingRegisters, lork::reg::adr, 1);
        const int64_t schedule = fx.wireUs(request.size() + 1) + lork::replyLatencyUs(fx);
        std::vector<int64_t> late;
        int missed = 0;
        for (int i = 0; i < probes; ++i) {
            // A generous wait: the figure is when the reply comes, not whether.
            const auto r = fx.exchange(request, 200'000);
            if (r.firstByteUs < 0) ++missed;
            else late.push_back(r.firstByteUs - schedule);
        }
        std::sort(late.begin(), late.end());
        if (late.empty()) late.push_back(-1);
        std::printf("%-7d %6lld %6lld %40lld %5lld %5lld   %d\n", int(rate), static_cast<long long>(late[0]), static_cast<long long>(late[late.size() / 10]), static_cast<long long>(late[late.size() / 2]),
                    static_cast<long long>(late[late.size() * 99 / 100]), static_cast<long long>(late.back()), missed);
        sim.stop();
    }
    return 0;
}
