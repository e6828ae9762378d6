// mbtcp_libmodbus: the same reads as a run of `lorkctl read`, made by
// libmodbus over Modbus TCP, for bench_mbtcp: connect, each read of the list
// in turn, close. The list has one read a line: unit function start count.
//   mbtcp_libmodbus HOST PORT LIST
#include <modbus.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    FILE* list = std::fopen(argv[3], "r");
    if (!list) return 2;
    modbus_t* ctx = modbus_new_tcp(argv[1], std::atoi(argv[2]));
    if (!ctx || modbus_connect(ctx) != 0) return 3;
    modbus_set_response_timeout(ctx, 1, 0);
    unsigned unit, func, start, count;
    uint16_t regs[125];
    uint8_t bits[2000];
    int failed = 0;
    while (std::fscanf(list, "%u %u %u %u", &unit, &func, &start, &count) == 4) {
        modbus_set_slave(ctx, int(unit));
        int got = -1;
        switch (func) {
        case 1: got = modbus_read_bits(ctx, int(start), int(count), bits); break;
        case 2: got = modbus_read_input_bits(ctx, int(start), int(count), bits); break;
        case 3: got = modbus_read_registers(ctx, int(start), int(count), regs); break;
        case 4: got = modbus_read_input_registers(ctx, int(start), int(count), regs); break;
        default: break;
        }
        if (got != int(count)) ++failed;
    }
    std::fclose(list);
    modbus_close(ctx);
    modbus_free(ctx);
    return failed == 0 ? 0 : 1;
}
