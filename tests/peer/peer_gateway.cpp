// The core through Ethernet gateways in front of lork-sim's pseudo-terminal:
// socat as a plain TCP device server, ser2net as an RFC 2217 one. Checks
// the line settings reaching the simulator through the gateway, the rate
// search, 0xFF crossing Telnet both ways, a refused and a lost connection.
//   peer_gateway LORK_SIM
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "peer_check.h"
#include "platform/port_factory.h"
#include "device/device.h"
#include "support/child_process.h"
#include "support/fake_port.h"
#include "support/posix_port.h"
#include "support/sim_process.h"
#include "support/tcp_listen.h"
#include "support/temp_dir.h"

using namespace lork;
using namespace lork::test;

namespace {

struct Rig {
    PortByName port;
    SteadyClock clock;
    RecordingHost host;
    Core core{port, clock, host};
    explicit Rig(const std::string& name) {
        port.notice = [this](const std::string& l) { host.infoLine(l); };
        core.st.ls.port_name = name;
    }
    void lineAt(int32_t baud) {
        core.st.ls.scor = baud;
        core.st.ls.scor_code = Scor_to_code(baud);
        core.link.Port_setup(core.st.ls.scor_code);
    }
};

std::vector<std::string> socat_in_front(int tcp, const std::string& pty) {
    return {"socat", "TCP-LISTEN:" + std::to_string(tcp) + ",bind=127.0.0.1,reuseaddr", "FILE:" + pty + ",raw,echo=0"};
}

void plain_tcp(const std::string& sim_exe) {
    SimProcess sim;
    std::string why;
    CHECK(sim.start(sim_exe, {"--address", "5"}, &why), "%s", why.c_str());
    const int tcp = free_tcp_port();
    const std::string name = "tcp://127.0.0.1:" + std::to_string(tcp);

    Rig refused(name);
    refused.lineAt(9600);
    CHECK(refused.host.messages ==
              std::vector<std::string>{"ошибка настройки порта\nПорт " + name + " не открыть: шлюз отказал в соединении"},
          "refused: no set-up box naming the cause");
    CHECK(refused.host.info_lines.size() == 1 &&
              refused.host.info_lines[0] ==
                  "порт " + name + ": шлюз отказал в соединении [" + std::strerror(ECONNREFUSED) + "]",
          "refused: cause line '%s'", refused.host.info_lines.empty() ? "" : refused.host.info_lines[0].c_str());

    ChildProcess socat;
    CHECK(socat.start(socat_in_front(tcp, sim.path())) && wait_listening(tcp), "socat did not listen");
    Rig r(name);
    r.lineAt(9600);
    CHECK(r.core.dev.Read_adr() == 0, "no answer through the TCP gateway");
    // The gateway's rate is its own: every rate of the search reaches the
    // instrument at 9600, so the first one answers, and the window is told once.
    CHECK(r.core.dev.Find_scor() == 1, "the search through a fixed-rate gateway");
    CHECK(r.host.info_lines.size() == 1 && r.host.info_lines[0].find("скорость линии задаёт шлюз") != std::string::npos,
          "fixed-rate remark: %zu lines", r.host.info_lines.size());
    r.lineAt(9600);

    // The connection is lost in the middle of polling, then the server is back.
    socat.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    r.host.messages.clear();
    r.host.info_lines.clear();
    CHECK(r.core.dev.Read_adr() == 11, "an exchange over the lost connection");
    CHECK(r.host.messages.size() == 1 && r.host.messages[0].rfind("ошибка при передаче= ", 0) == 0,
          "lost: no write box");
    CHECK(r.host.info_lines.size() == 1 && r.host.info_lines[0].find("соединение со шлюзом потеряно") != std::string::npos,
          "lost: cause line '%s'", r.host.info_lines.empty() ? "" : r.host.info_lines[0].c_str());
    CHECK(socat.start(socat_in_front(tcp, sim.path())) && wait_listening(tcp), "socat did not come back");
    r.host.messages.clear();
    r.lineAt(9600);
    CHECK(r.core.dev.Read_adr() == 0 && r.host.messages.empty(), "no recovery at the next set-up");
    socat.stop();
    CHECK(sim.stop(), "lork-sim did not exit cleanly");
}

void rfc2217(const std::string& sim_exe, const std::string& work) {
    SimProcess sim;
    std::string why;
    CHECK(sim.start(sim_exe, {"--address", "5", "--baud", "19200"}, &why), "%s", why.c_str());
    const int tcp = free_tcp_port();
    const std::string yaml = work + "/ser2net.yaml";
    write_bytes(yaml, "connection: &sim\n"
                      "  accepter: telnet(rfc2217),tcp,127.0.0.1," + std::to_string(tcp) + "\n"
                      "  connector: serialdev," + sim.path() + ",9600n81,local\n"
                      "  options:\n"
                      "    kickolduser: true\n");
    ChildProcess ser2net;
    CHECK(ser2net.start({"ser2net", "-n", "-u", "-c", yaml, "-P", work + "/ser2net.pid"}, work + "/ser2net.log") &&
              wait_listening(tcp),
          "ser2net did not listen");
    Rig r("rfc2217://127.0.0.1:" + std::to_string(tcp));
    r.lineAt(19200);
    CHECK(r.core.dev.Read_adr() == 0, "no answer at 19200 through RFC 2217");
    r.lineAt(9600);
    CHECK(r.core.dev.Read_adr() == 11, "an answer at 9600 from an instrument at 19200");
    CHECK(r.core.dev.Find_scor() == 3, "the rate search through RFC 2217");
    CHECK(r.port.config().baud == 19200, "the gateway is not left at the rate found");
    r.lineAt(19200);
    // 0xFF in a request and in its reply: R = 255 written and read back
    // (with N 3 and U 0, which leave room for it).
    r.core.st.ex.zapros_func = 16;
    r.core.dev.Zapros_write(0x0A00, 3, {255, 3, 0});
    CHECK(r.core.dev.Otvet_fn16(0x0A00, 3) == 0, "the write of 0x00FF");
    CHECK(r.core.dev.Read_params() == 0 && r.core.st.dev.res == 255, "R read back as %u", unsigned(r.core.st.dev.res));
    for (const auto& m : r.host.messages) std::fprintf(stderr, "message: %s\n", m.c_str());
    CHECK(r.host.messages.empty() && r.host.info_lines.empty(), "messages through RFC 2217");
    ser2net.stop();
    CHECK(sim.stop(), "lork-sim did not exit cleanly");
}

bool have(const char* tool) {
    return system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peer_gateway LORK_SIM\n");
        return 2;
    }
    if (!have("socat") || !have("ser2net")) {
        std::printf("SKIP: socat or ser2net not installed\n");
        return 77;
    }
    TempDir work;
    plain_tcp(argv[1]);
    rfc2217(argv[1], work.path());
    if (!peer_failures) std::printf("gateways: all checks passed\n");
    return peer_failures ? 1 : 0;
}
