// The program's master (core link and transactions) against a pymodbus RTU
// slave over a socat pseudo-terminal pair: proves the frames our master sends
// and decodes are Modbus as another implementation reads and writes it.
//   peer_pymodbus PYTHON SERVER_SCRIPT
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/device.h"
#include "peer/peer_check.h"
#include "support/child_process.h"
#include "support/fake_port.h"
#include "support/posix_port.h"

using namespace lork;
using namespace lork::test;

namespace {

using lork::test::peer_failures;

bool exists(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: peer_pymodbus PYTHON SERVER_SCRIPT\n");
        return 2;
    }
    const std::string python = argv[1], script = argv[2];
    if (std::system((python + " -c 'import pymodbus, serial' 2>/dev/null").c_str()) != 0) {
        std::printf("SKIP: pymodbus or pyserial missing for %s\n", python.c_str());
        return 77;
    }
    if (std::system("command -v socat >/dev/null") != 0) {
        std::printf("SKIP: socat missing\n");
        return 77;
    }
    char tmpl[] = "/tmp/lork_peer_XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::string dir = tmpl, ours = dir + "/master", theirs = dir + "/slave";

    ChildProcess socat, server;
    socat.start({"socat", "pty,raw,echo=0,link=" + ours, "pty,raw,echo=0,link=" + theirs}, dir + "/socat.log");
    SteadyClock clock;
    const int64_t t0 = clock.nowUs();
    while (!(exists(ours) && exists(theirs)) && clock.nowUs() - t0 < 3'000'000) clock.sleepMs(20);
    if (!exists(theirs)) {
        std::fprintf(stderr, "socat made no pty pair\n");
        return 1;
    }
    server.start({python, script, theirs, "5", "9600"}, dir + "/server.log");

    PosixPort port;
    RecordingHost host;
    Core core(port, clock, host);
    State& st = core.st;
    DeviceState& d = st.dev;
    st.ls.port_name = ours;
    st.ls.adr = 5;
    st.ls.scor = 9600;
    st.ls.scor_code = 2;
    core.link.Port_setup(2);
    CHECK(core.link.port_setup_error == 0, "port set-up %d", core.link.port_setup_error);

    // The slave takes a moment to start: poll its address register.
    uint8_t r = KOD_NO_REPLY;
    const int64_t t1 = clock.nowUs();
    while ((r = core.dev.Read_adr()) != 0 && server.running() && clock.nowUs() - t1 < 10'000'000) clock.sleepMs(100);
    if (r != 0) {
        std::fprintf(stderr, "pymodbus slave never answered (result %u); see %s/server.log\n", unsigned(r), dir.c_str());
        return 1;
    }
    CHECK(st.ls.adr == 5, "adr %u", unsigned(st.ls.adr));

    CHECK((r = core.dev.Read_params()) == 0, "Read_params result %u", unsigned(r));
    CHECK(d.res == 12 && d.kol_step == 34 && d.por_step == 20 && d.light == 1 && d.cal_enable == 0 && d.v_ind == 2 &&
              d.sum_res == 408 && d.proc_dopusk == 7,
          "parameters %u %u %u %u %u %u %u %u", d.res, d.kol_step, d.por_step, d.light, d.cal_enable, d.v_ind,
          d.sum_res, d.proc_dopusk);

    CHECK((r = core.dev.Read_izm()) == 0, "Read_izm result %u", unsigned(r));
    CHECK(d.step == 3, "step %u", d.step);
    CHECK(d.izm_proc == 25.5f && d.izm_znach == 255.0f, "izm_proc %g izm_znach %g", double(d.izm_proc),
          double(d.izm_znach));
    CHECK(d.izm_imp == 0x00012345u, "izm_imp %08X", d.izm_imp);
    CHECK(d.proc == 25.5f && d.te == 255.0f, "proc %g te %g", double(d.proc), double(d.te));
    CHECK(std::fabs(d.procw - 25.5) < 1e-9 && std::fabs(d.tew - 255.0) < 1e-9, "procw %g tew %g", d.procw, d.tew);

    core.dev.Zapros_fn1(0, 8);
    CHECK((r = core.dev.Otvet_fn1()) == 0, "coils result %u", unsigned(r));
    CHECK(d.kluch_K1 == 1 && d.kluch_K2 == 0 && d.svd_I == 0 && d.svd_K2 == 0 && d.svd_K1 == 0 && d.svd_P == 1 &&
              d.svd_I_mig == 0 && d.svd_P_mig == 1,
          "coil flags");

    core.dev.Zapros_fn2(0, 4);
    CHECK((r = core.dev.Otvet_fn2()) == 0, "inputs result %u", unsigned(r));
    CHECK(d.sw_PR == 1 && d.sw_ST == 0 && d.sw_BL == 0 && d.sw_Z == 0, "switch flags %u %u %u %u", d.sw_PR, d.sw_ST,
          d.sw_BL, d.sw_Z);

    st.ex.zapros_func = 4;
    core.dev.Zapros_read(0x0200, 3);
    CHECK((r = core.dev.Otvet_fn4(0x0200, 3)) == 0, "name result %u", unsigned(r));
    CHECK(d.reg_text == "\xCB\xCE\xD0\xCA-1", "name bytes");

    core.dev.Zapros_write1(0x0A03, 1, 2);
    CHECK((r = core.dev.Otvet_fn16(0x0A03, 1)) == 0, "write result %u", unsigned(r));
    CHECK((r = core.dev.Read_params()) == 0 && d.light == 2, "brightness read back %u (result %u)", d.light,
          unsigned(r));

    // A register the slave does not have: its exception code is the result.
    st.ex.zapros_func = 3;
    core.dev.Zapros_read(0x0804, 1);
    CHECK((r = core.dev.Otvet_fn3(0x0804, 1)) == 2, "missing register result %u", unsigned(r));

    server.stop();
    socat.stop();
    std::remove((dir + "/socat.log").c_str());
    std::remove((dir + "/server.log").c_str());
    rmdir(dir.c_str());
    if (peer_failures) std::fprintf(stderr, "%d check(s) failed\n", peer_failures);
    else std::printf("core master against pymodbus slave: all checks passed\n");
    return peer_failures ? 1 : 0;
}
