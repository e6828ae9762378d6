// lork-sim against a libmodbus RTU master: proves the simulator speaks
// Modbus as a master no one here wrote understands it.
//   peer_libmodbus PATH_TO_LORK_SIM
#include <modbus/modbus.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "peer/peer_check.h"
#include "support/sim_process.h"

namespace {

using lork::test::peer_failures;

struct Master {
    modbus_t* ctx = nullptr;
    Master(const std::string& path, int baud, char parity, int stop, int slave) {
        ctx = modbus_new_rtu(path.c_str(), baud, parity, 8, stop);
        if (!ctx) return;
        modbus_set_slave(ctx, slave);
        modbus_set_response_timeout(ctx, 0, 300000);
        if (modbus_connect(ctx) != 0) {
            modbus_free(ctx);
            ctx = nullptr;
        }
    }
    ~Master() {
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peer_libmodbus LORK_SIM\n");
        return 2;
    }
    lork::test::SimProcess sim;
    std::string why;
    // 100 % of a fresh calibration; an unusual line so defaults cannot pass.
    if (!sim.start(argv[1], {"--address", "17", "--baud", "19200", "--parity", "2", "--stopbits", "1",
                             "--resistance", "1000"},
                   &why)) {
        std::fprintf(stderr, "SKIP: %s\n", why.c_str());
        return 77;
    }
    {
        Master m(sim.path(), 19200, 'O', 1, 17);
        if (!m.ctx) {
            std::fprintf(stderr, "libmodbus cannot open %s: %s\n", sim.path().c_str(), modbus_strerror(errno));
            return 1;
        }

        // Every register kind.
        uint8_t bits[8] = {};
        CHECK(modbus_read_bits(m.ctx, 0, 8, bits) == 8, "%s", modbus_strerror(errno));
        // At 1000 ohm: past U, not on the last step, within range.
        const uint8_t coils_want[8] = {1, 0, 0, 0, 1, 1, 0, 0};
        CHECK(std::memcmp(bits, coils_want, 8) == 0, "coils %d%d%d%d%d%d%d%d", bits[0], bits[1], bits[2], bits[3],
              bits[4], bits[5], bits[6], bits[7]);
        CHECK(modbus_read_input_bits(m.ctx, 0, 4, bits) == 4, "%s", modbus_strerror(errno));
        CHECK(bits[0] && bits[1] && bits[2] && bits[3], "switches off read 1");
        CHECK(sim.command("switch BL 1"), "switch command");
        CHECK(modbus_read_input_bits(m.ctx, 2, 1, bits) == 1 && bits[0] == 0, "BL on reads 0");

        struct RegCase {
            bool input;
            int start;
            std::vector<uint16_t> want;
        } regs[] = {
            {false, 0x0800, {17, 3, 2, 1}},
            {false, 0x0900, {1, 0x1170, 4, 0x1EB0}},  // 70000 and 270000 pulses
            {false, 0x0A00, {10, 90, 50, 2, 0, 1, 900, 10}},
            {true, 0x0200, {0xCBCE, 0xD0CA, 0x2D31}},  // "ЛОРК-1" in Windows-1251
            {true, 0x0214, {0x3120, 0x3020, 0x302E, 0x3020, 0}},  // "1 0 0.0 ", green
        };
        for (const auto& c : regs) {
            std::vector<uint16_t> got(c.want.size());
            const int n = c.input ? modbus_read_input_registers(m.ctx, c.start, int(got.size()), got.data())
                                  : modbus_read_registers(m.ctx, c.start, int(got.size()), got.data());
            CHECK(n == int(got.size()), "read 0x%04X: %s", c.start, modbus_strerror(errno));
            for (size_t i = 0; i < got.size() && n > 0; ++i)
                CHECK(got[i] == c.want[i], "register 0x%04zX = 0x%04X, want 0x%04X", c.start + i, got[i], c.want[i]);
        }

        // The measurement block and its three byte orders.
        uint16_t izm[13] = {};
        CHECK(modbus_read_input_registers(m.ctx, 0x0010, 13, izm) == 13, "%s", modbus_strerror(errno));
        CHECK(modbus_get_float_dcba(&izm[1]) == 100.0f, "izm_proc %g", double(modbus_get_float_dcba(&izm[1])));
        CHECK(modbus_get_float_dcba(&izm[3]) == 1000.0f, "izm_znach %g", double(modbus_get_float_dcba(&izm[3])));
        CHECK((uint32_t(izm[5]) << 16 | izm[6]) == 270000u, "izm_imp");
        CHECK(modbus_get_float_abcd(&izm[7]) == 100.0f, "proc %g", double(modbus_get_float_abcd(&izm[7])));
        CHECK(modbus_get_float_abcd(&izm[9]) == 1000.0f, "te");
        CHECK(izm[11] == 1000 && izm[12] == 10000, "procw %u tew %u", izm[11], izm[12]);

        // Holding registers written and read back.
        const uint16_t params[3] = {20, 40, 12};
        CHECK(modbus_write_registers(m.ctx, 0x0A00, 3, params) == 3, "%s", modbus_strerror(errno));
        uint16_t back[3] = {};
        CHECK(modbus_read_registers(m.ctx, 0x0A00, 3, back) == 3 && std::memcmp(back, params, sizeof back) == 0,
              "parameters read back %u %u %u", back[0], back[1], back[2]);
        CHECK(sim.command("resistance 255"), "resistance command");
        const uint16_t view = 2;
        CHECK(modbus_write_registers(m.ctx, 0x0A05, 1, &view) == 1, "%s", modbus_strerror(errno));
        uint16_t ci[5] = {};
        CHECK(modbus_read_input_registers(m.ctx, 0x0214, 5, ci) == 5 && ci[0] == 0x3220 && ci[2] == 0x352E,
              "indicator in ohm %04X %04X %04X %04X", ci[0], ci[1], ci[2], ci[3]);

        // Exceptions, each with its own errno.
        uint16_t one = 0;
        errno = 0;
        CHECK(modbus_read_registers(m.ctx, 0x0804, 1, &one) == -1 && errno == EMBXILADD, "illegal address: %s",
              modbus_strerror(errno));
        CHECK(modbus_read_input_registers(m.ctx, 0x0203, 1, &one) == -1 && errno == EMBXILADD,
              "illegal input register: %s", modbus_strerror(errno));
        CHECK(modbus_read_bits(m.ctx, 8, 1, bits) == -1 && errno == EMBXILADD, "coil 8: %s", modbus_strerror(errno));
        CHECK(modbus_write_register(m.ctx, 0x0A03, 1) == -1 && errno == EMBXILFUN, "illegal function: %s",
              modbus_strerror(errno));
        CHECK(modbus_write_registers(m.ctx, 0x0900, 1, &one) == -1 && errno == EMBXSFAIL, "cal forbidden: %s",
              modbus_strerror(errno));
        one = 9;
        CHECK(modbus_write_registers(m.ctx, 0x0A05, 1, &one) == -1 && errno == EMBXILVAL, "bad view: %s",
              modbus_strerror(errno));

        // A new address answers from the next request on; the echo still
        // comes from the old one.
        const uint16_t adr = 33;
        CHECK(modbus_write_registers(m.ctx, 0x0800, 1, &adr) == 1, "address write: %s", modbus_strerror(errno));
        modbus_set_slave(m.ctx, 33);
        CHECK(modbus_read_registers(m.ctx, 0x0800, 1, &one) == 1 && one == 33, "new address");
    }
    // At another rate, parity or stop bits the simulator hears garbage and
    // stays silent; at its own it still answers.
    struct Line {
        int baud;
        char parity;
        int stop;
        bool answers;
    } lines[] = {{9600, 'O', 1, false}, {19200, 'N', 1, false}, {19200, 'O', 2, false}, {19200, 'O', 1, true}};
    for (const auto& l : lines) {
        Master m(sim.path(), l.baud, l.parity, l.stop, 33);
        uint16_t one = 0;
        errno = 0;
        const int rc = m.ctx ? modbus_read_registers(m.ctx, 0x0800, 1, &one) : -1;
        if (l.answers) CHECK(rc == 1 && one == 33, "no answer at its own line: %s", modbus_strerror(errno));
        else CHECK(rc == -1 && errno == ETIMEDOUT, "answered at %d/%c/%d", l.baud, l.parity, l.stop);
    }
    CHECK(sim.stop(), "lork-sim did not exit cleanly on SIGTERM");

    // Calibration kept in the state file across a restart, reached through
    // the --link path; injected faults as a foreign master sees them.
    char dir[] = "/tmp/lork_sim_state_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string state = std::string(dir) + "/eeprom", link = std::string(dir) + "/tty";
    for (int run = 0; run < 2; ++run) {
        lork::test::SimProcess again;
        std::vector<std::string> args{"--state", state, "--link", link};
        if (run == 1) args.insert(args.end(), {"--fault", "badcrc:1"});
        if (!again.start(argv[1], args, &why)) {
            CHECK(false, "restart: %s", why.c_str());
            break;
        }
        Master m(link, 9600, 'N', 1, 5);
        CHECK(m.ctx != nullptr, "cannot open the --link path");
        if (!m.ctx) break;
        uint16_t cal[4] = {0x0001, 0x0203, 0x0004, 0x0506};
        if (run == 0) {
            const uint16_t allow = 1;
            CHECK(modbus_write_registers(m.ctx, 0x0A04, 1, &allow) == 1, "allow: %s", modbus_strerror(errno));
            CHECK(modbus_write_registers(m.ctx, 0x0900, 4, cal) == 4, "cal write: %s", modbus_strerror(errno));
        } else {
            uint16_t got[4] = {}, allow = 0;
            errno = 0;
            CHECK(modbus_read_registers(m.ctx, 0x0900, 4, got) == -1 && errno == EMBBADCRC, "bad CRC: %s",
                  modbus_strerror(errno));
            modbus_flush(m.ctx);
            CHECK(again.command("exception 10 1"), "exception command");
            errno = 0;
            CHECK(modbus_read_registers(m.ctx, 0x0900, 4, got) == -1 && errno == EMBXGPATH, "exception 10: %s",
                  modbus_strerror(errno));
            CHECK(modbus_read_registers(m.ctx, 0x0900, 4, got) == 4 && std::memcmp(got, cal, sizeof cal) == 0,
                  "calibration after restart %04X %04X %04X %04X", got[0], got[1], got[2], got[3]);
            CHECK(modbus_read_registers(m.ctx, 0x0A04, 1, &allow) == 1 && allow == 1, "permission after restart");
        }
        CHECK(again.stop(), "lork-sim did not exit cleanly");
        CHECK(access(link.c_str(), F_OK) != 0, "--link path left behind");
    }
    std::remove(state.c_str());
    rmdir(dir);
    if (peer_failures) std::fprintf(stderr, "%d check(s) failed\n", peer_failures);
    else std::printf("libmodbus master against lork-sim: all checks passed\n");
    return peer_failures ? 1 : 0;
}
