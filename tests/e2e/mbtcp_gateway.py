#!/usr/bin/python3
"""A Modbus TCP gateway for the tests: MBAP on the loopback, RTU on a serial
line (lork-sim's pseudo-terminal).  Prints its TCP port, then serves.
Usage: mbtcp_gateway.py PTY [--exception CODE] [--stray] [--unit N] [--pad]
  --exception CODE  answer every request with this exception (10: no path,
                    11: the instrument did not answer) without asking the line
  --stray           send a reply with another transaction identifier, its
                    register values all 0xFFFF, before each right one
  --unit N          every reply names unit N, whoever answered
  --pad             every reply's PDU gets a byte 0x00 more (an exception
                    then has three bytes)
"""
import argparse
import os
import select
import socket
import struct
import sys
import termios
import time
import tty


def crc16(data):
    c = 0xFFFF
    for b in data:
        c ^= b
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
    return bytes([c & 0xFF, c >> 8])


def rtu_exchange(fd, frame):
    """The RTU reply to frame, without its CRC; None when none came whole."""
    termios.tcflush(fd, termios.TCIFLUSH)
    os.write(fd, frame + crc16(frame))
    got = b""
    deadline = time.monotonic() + 1.0
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.05 if got else deadline - time.monotonic())
        if not ready:
            if got:
                break
            continue
        got += os.read(fd, 256)
    if len(got) < 4 or crc16(got[:-2]) != got[-2:]:
        return None
    return got[:-2]


def read_exact(conn, n):
    out = b""
    while len(out) < n:
        part = conn.recv(n - len(out))
        if not part:
            raise ConnectionError
        out += part
    return out


def serve(conn, fd, args):
    while True:
        tid, _, length, unit = struct.unpack(">HHHB", read_exact(conn, 7))
        pdu = read_exact(conn, length - 1)
        if args.exception:
            answer = bytes([pdu[0] | 0x80, args.exception])
        else:
            reply = rtu_exchange(fd, bytes([unit]) + pdu)
            answer = reply[1:] if reply else bytes([pdu[0] | 0x80, 0x0B])
        if args.pad:
            answer += b"\x00"
        if args.unit:
            unit = args.unit
        if args.stray and len(answer) > 2 and answer[0] in (3, 4):
            other = answer[:2] + b"\xff" * (len(answer) - 2)
            conn.sendall(struct.pack(">HHHB", tid ^ 0x5555, 0, len(other) + 1, unit) + other)
        conn.sendall(struct.pack(">HHHB", tid, 0, len(answer) + 1, unit) + answer)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("pty")
    p.add_argument("--exception", type=int, default=0)
    p.add_argument("--stray", action="store_true")
    p.add_argument("--unit", type=int, default=0)
    p.add_argument("--pad", action="store_true")
    args = p.parse_args()
    fd = os.open(args.pty, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            serve(conn, fd, args)
        except (ConnectionError, OSError):
            pass
        conn.close()


if __name__ == "__main__":
    sys.exit(main())
