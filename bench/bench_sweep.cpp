// bench_sweep: the device search's cost in real time over the program's own
// serial port (QSerialPort on a pseudo-terminal) against a silent lork-sim.
//
//   bench_sweep LORK_SIM [FULL_ADDRESSES=10] [OPENS=200]
//
// 1. Address sweep at 9600 bit/s: 247 x Check_scor, measured in full.
// 2. Full sweep: Find_scor over the first FULL_ADDRESSES addresses (six rates
//    each), extrapolated to 247 addresses: the whole sweep takes about 87 s,
//    too long to repeat.
// 3. Port_open on the pty, OPENS times: the cost of the re-openings every
//    probe makes (two per probe: Port_setup and the probe's own Port_open),
//    and for comparison the cost of opening the closed device afresh.
//
// Budgets: a silent probe is pause_before + pause_after + 4 x (RTTM + RTTC)
// (three single-byte reads of the first address search, one that ends the
// second pass), with the per-rate pauses and time-outs of the link.
#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/link.h"
#include "platform/linux/tty_port.h"
#include "platform/base/system_clock.h"
#include "device/device.h"
#include "support/sim_process.h"

namespace {

struct QuietHost : lork::Host {
    int messages = 0;
    void messageBox(const std::string& text) override {
        ++messages;
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    bool keyPressedSince(int) override { return false; }
};

double silentProbeBudgetMs(uint8_t code) {
    const double rttm = 2.0 * lork::t_after[code], rttc = 2.0 * lork::t_before[code];
    return lork::t_before[code] + lork::t_after[code] + 4 * (rttm + rttc);
}

double ms(int64_t us) { return double(us) / 1000.0; }

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_sweep LORK_SIM [FULL_ADDRESSES] [OPENS]\n");
        return 2;
    }
    const int fullAddresses = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 247) : 10;
    const int opens = argc > 3 ? std::max(1, std::atoi(argv[3])) : 200;

    lork::test::SimProcess sim;
    std::string why;
    if (!sim.start(argv[1], {"--silent", "--baud", "9600", "--address", "5"}, &why)) {
        std::fprintf(stderr, "lork-sim: %s\n", why.c_str());
        return 1;
    }
    lork::TtyPort port;
    lork::SystemClock clock;
    QuietHost host;
    lork::Core core(port, clock, host);
    auto& ls = core.st.ls;
    ls.port_name = sim.path();
    ls.scor = 9600;
    ls.scor_code = 2;
    core.link.Port_setup(2);
    if (core.link.port_setup_error != 0) {
        std::fprintf(stderr, "cannot open %s: %d\n", sim.path().c_str(), core.link.port_setup_error);
        return 1;
    }

    // --- Port_open on the pty ---
    std::vector<double> openMs;
    for (int i = 0; i < opens; ++i) {
        const int64_t t = clock.nowUs();
        core.link.Port_open(ls.port_name, 9600, 0, 1, 8);
        openMs.push_back(ms(clock.nowUs() - t));
    }
    double openMean = 0;
    for (double v : openMs) openMean += v;
    openMean /= double(openMs.size());
    // For comparison: a fresh opening, as when the port was closed before
    // (lock file, exclusive flag, attribute round trips).
    std::vector<double> freshMs;
    for (int i = 0; i < std::max(1, opens / 4); ++i) {
        port.close();
        const int64_t t = clock.nowUs();
        core.link.Port_open(ls.port_name, 9600, 0, 1, 8);
        freshMs.push_back(ms(clock.nowUs() - t));
    }
    double freshMean = 0;
    for (double v : freshMs) freshMean += v;
    freshMean /= double(freshMs.size());

    // --- address sweep at 9600 ---
    std::vector<double> perAddress;
    const int64_t t0 = clock.nowUs();
    for (int a = 1; a <= 247; ++a) {
        ls.adr = uint8_t(a);
        const int64_t t = clock.nowUs();
        const uint8_t code = core.dev.Check_scor();
        perAddress.push_back(ms(clock.nowUs() - t));
        if (code != 0) std::fprintf(stderr, "address %d answered a silent simulator\n", a);
    }
    const double sweepMs = ms(clock.nowUs() - t0);
    const double probe9600 = silentProbeBudgetMs(2);

    // --- full sweep sample ---
    std::vector<double> perFull;
    const int64_t f0 = clock.nowUs();
    for (int a = 1; a <= fullAddresses; ++a) {
        ls.adr = uint8_t(a);
        const int64_t t = clock.nowUs();
        core.dev.Find_scor();
        perFull.push_back(ms(clock.nowUs() - t));
    }
    const double fullSampleMs = ms(clock.nowUs() - f0);
    double fullBudget = 0;
    for (uint8_t c = 1; c <= 6; ++c) fullBudget += silentProbeBudgetMs(c);

    const double perFullMean = fullSampleMs / fullAddresses;
    std::printf("Port_open on a pty: mean %.3f ms, median %.3f ms, max %.3f ms (%d openings)\n", openMean,
                median(openMs), *std::max_element(openMs.begin(), openMs.end()), opens);
    std::printf("fresh opening of a closed pty: mean %.3f ms, median %.3f ms (%zu openings); "
                "2 per 9600 probe would be %.1f %% of its budget\n",
                freshMean, median(freshMs), freshMs.size(), 100.0 * 2 * freshMean / silentProbeBudgetMs(2));
    std::printf("\naddress sweep, 9600 bit/s, 247 addresses (measured in full)\n");
    std::printf("  total %.0f ms; budget %.0f ms (247 x %.0f ms); over budget %.2f %%\n", sweepMs,
                247 * probe9600, probe9600, 100.0 * (sweepMs / (247 * probe9600) - 1));
    std::printf("  per address: median %.2f ms, max %.2f ms\n", median(perAddress),
                *std::max_element(perAddress.begin(), perAddress.end()));
    std::printf("  port openings: 2 per address = %.3f ms = %.2f %% of the budget\n", 2 * openMean,
                100.0 * 2 * openMean / probe9600);
    std::printf("\nfull sweep, six rates per address (%d addresses measured, 247 extrapolated)\n", fullAddresses);
    std::printf("  per address: mean %.1f ms, median %.1f ms; budget %.0f ms; over budget %.2f %%\n", perFullMean,
                median(perFull), fullBudget, 100.0 * (perFullMean / fullBudget - 1));
    std::printf("  whole sweep extrapolated: %.1f s; budget %.1f s\n", perFullMean * 247 / 1000,
                fullBudget * 247 / 1000);
    std::printf("  port openings: 12 per address = %.3f ms = %.2f %% of the budget\n", 12 * openMean,
                100.0 * 12 * openMean / fullBudget);
    std::printf("  fastest rate alone (115200): 2 openings = %.2f %% of its %.0f ms probe\n",
                100.0 * 2 * openMean / silentProbeBudgetMs(6), silentProbeBudgetMs(6));
    if (!sim.stop()) std::fprintf(stderr, "lork-sim did not end cleanly\n");
    return host.messages == 0 ? 0 : 1;
}
