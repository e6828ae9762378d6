#!/usr/bin/python3
"""A Modbus RTU slave from pymodbus holding known values in the instrument's
register layout, for testing the program's master side against a slave no one
here wrote.  Usage: pymodbus_server.py PORT [ADDRESS [BAUD]]
PORT tcp:N serves Modbus TCP on 127.0.0.1:N instead (no BAUD); a request to
another unit than ADDRESS gets pymodbus's gateway exception 0x0B.

The values are mirrored in peer_pymodbus.cpp; change both together.
"""
import logging
import struct
import sys

from pymodbus.datastore import (ModbusServerContext, ModbusSlaveContext,
                                ModbusSparseDataBlock)
from pymodbus.server import StartSerialServer, StartTcpServer
from pymodbus.transaction import ModbusRtuFramer


def regs_be(value, fmt):
    """Two registers, high word first (big-endian bytes on the wire)."""
    hi, lo = struct.unpack(">HH", struct.pack(">" + fmt, value))
    return [hi, lo]


def regs_le_float(value):
    """Two registers whose four wire bytes run from the least to the most
    significant byte of the float."""
    b = struct.pack("<f", value)
    return [(b[0] << 8) | b[1], (b[2] << 8) | b[3]]


def context(address):
    holding = {
        0x0800: address, 0x0801: 2, 0x0802: 0, 0x0803: 1,
        0x0900: 0x0001, 0x0901: 0x1170, 0x0902: 0x0004, 0x0903: 0x1EB0,
        0x0A00: 12, 0x0A01: 34, 0x0A02: 20, 0x0A03: 1,
        0x0A04: 0, 0x0A05: 2, 0x0A06: 408, 0x0A07: 7,
    }
    measurement = ([3] + regs_le_float(25.5) + regs_le_float(255.0)
                   + regs_be(0x00012345, "I") + regs_be(25.5, "f")
                   + regs_be(255.0, "f") + [255, 2550])
    inputs = {0x0010 + i: v for i, v in enumerate(measurement)}
    for i, ch in enumerate(range(0, 6, 2)):
        name = "ЛОРК-1".encode("cp1251")
        inputs[0x0200 + i] = (name[ch] << 8) | name[ch + 1]
    coils = {i: bool(0xA1 >> i & 1) for i in range(8)}
    switches = {0: False, 1: True, 2: True, 3: True}
    slave = ModbusSlaveContext(
        co=ModbusSparseDataBlock(coils), di=ModbusSparseDataBlock(switches),
        hr=ModbusSparseDataBlock(holding), ir=ModbusSparseDataBlock(inputs),
        zero_mode=True)
    return ModbusServerContext(slaves={address: slave}, single=False)


def main():
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    port = sys.argv[1]
    address = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    baud = int(sys.argv[3]) if len(sys.argv) > 3 else 9600
    logging.basicConfig(level=logging.WARNING)
    if port.startswith("tcp:"):
        StartTcpServer(context=context(address), address=("127.0.0.1", int(port[4:])),
                       allow_reuse_address=True)
        return 0
    StartSerialServer(context=context(address), framer=ModbusRtuFramer,
                      port=port, baudrate=baud, bytesize=8, parity="N",
                      stopbits=1, timeout=0.005)
    return 0


if __name__ == "__main__":
    sys.exit(main())
