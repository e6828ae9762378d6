// The core's rate search over a real tty path: lork-sim at 38400 bit/s is
// found at code 4 after 4800, 9600 and 19200 stay silent, and the port is
// left at 38400.
//   peer_find_scor PATH_TO_LORK_SIM
#include <cstdio>

#include "device/device.h"
#include "support/fake_port.h"
#include "support/posix_port.h"
#include "support/sim_process.h"

using namespace lork;
using namespace lork::test;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peer_find_scor LORK_SIM\n");
        return 2;
    }
    int failures = 0;
    auto check = [&](bool ok, const char* what) {
        if (!ok) {
            ++failures;
            std::fprintf(stderr, "FAILED: %s\n", what);
        }
    };
    struct Case {
        const char* baud;
        uint8_t parity, stop;
        uint8_t want;
    } cases[] = {
        {"38400", 0, 1, 4},
        {"115200", 2, 2, 6},  // odd parity and two stop bits carried through the search
    };
    for (const auto& c : cases) {
        SimProcess sim;
        std::string why;
        if (!sim.start(argv[1], {"--address", "5", "--baud", c.baud, "--parity", std::to_string(c.parity),
                                 "--stopbits", std::to_string(c.stop)},
                       &why)) {
            std::printf("SKIP: %s\n", why.c_str());
            return 77;
        }
        PosixPort port;
        SteadyClock clock;
        RecordingHost host;
        Core core(port, clock, host);
        core.st.ls.port_name = sim.path();
        core.st.ls.adr = 5;
        core.st.ls.scor = 9600;
        core.st.ls.scor_code = 2;
        core.st.ls.parity = c.parity;
        core.st.ls.stopbit = c.stop;
        const int64_t t0 = clock.nowUs();
        const uint8_t code = core.dev.Find_scor();
        const int64_t took = clock.nowUs() - t0;
        std::printf("Find_scor at %s bit/s: code %u in %.1f ms\n", c.baud, unsigned(code), double(took) / 1000.0);
        check(code == c.want, "Find_scor found another code");
        check(port.config().baud == scor_table[c.want], "the port is not left at the rate found");
        check(core.st.ls.scor == 9600 && core.st.ls.scor_code == 2, "the search changed the line settings");
        for (const auto& m : host.messages) std::fprintf(stderr, "message: %s\n", m.c_str());
        check(host.messages.empty(), "the search showed a message");
        check(sim.stop(), "lork-sim did not exit cleanly");
    }
    if (!failures) std::printf("rate search over the tty: all checks passed\n");
    return failures ? 1 : 0;
}
