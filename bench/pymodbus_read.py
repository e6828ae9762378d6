#!/usr/bin/python3
"""A pymodbus loop for bench_power.sh: COUNT reads of holding registers
0x0A00..0x0A07 from address 5 on PTY at BAUD, in one process; prints how many
came back good.  Usage: pymodbus_read.py PTY BAUD COUNT

pymodbus 3.0.0rc1 takes its time-out as int(timeout) seconds: 0.3 becomes 0,
which gives up before any reply, so the time-out here is 1 s (a good reply
ends the wait at once).
"""
import logging
import sys

from pymodbus.client import ModbusSerialClient


def main():
    pty, baud, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    logging.basicConfig(level=logging.CRITICAL)
    client = ModbusSerialClient(port=pty, baudrate=baud, timeout=1)
    client.connect()
    good = 0
    for _ in range(count):
        r = client.read_holding_registers(0x0A00, 8, slave=5)
        good += not r.isError() and len(r.registers) == 8
    client.close()
    print(good)
    return 0


if __name__ == "__main__":
    sys.exit(main())
