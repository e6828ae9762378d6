// scan_libmodbus: a plain libmodbus master loop for the side-by-side figures
// of bench_power.sh: the read of 0x0800 x1 to each address, or one block read
// REPEATS times.
//   scan_libmodbus PORT RATE TIMEOUT_MS scan FROM TO
//   scan_libmodbus PORT RATE TIMEOUT_MS read ADDRESS START COUNT REPEATS
#include <modbus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 7) return 2;
    modbus_t* ctx = modbus_new_rtu(argv[1], std::atoi(argv[2]), 'N', 8, 1);
    if (!ctx || modbus_connect(ctx) != 0) return 3;
    const int timeoutMs = std::atoi(argv[3]);
    modbus_set_response_timeout(ctx, 0, uint32_t(timeoutMs) * 1000);
    uint16_t regs[125];
    int found = 0;
    if (std::strcmp(argv[4], "scan") == 0) {
        for (int a = std::atoi(argv[5]); a <= std::atoi(argv[6]); ++a) {
            modbus_set_slave(ctx, a);
            if (modbus_read_registers(ctx, 0x0800, 1, regs) == 1) {
                std::printf("%d\n", a);
                ++found;
            }
        }
    } else if (argc >= 9) {
        modbus_set_slave(ctx, std::atoi(argv[5]));
        const int count = std::atoi(argv[7]);
        for (int i = 0; i < std::atoi(argv[8]); ++i)
            if (modbus_read_registers(ctx, int(std::strtol(argv[6], nullptr, 0)), count, regs) == count) ++found;
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return found > 0 ? 0 : 1;
}
