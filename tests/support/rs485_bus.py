#!/usr/bin/python3
"""A small RS-485 line between terminals: every byte one port sends reaches
every other port when the line would have carried it at its rate, so the
line keeps the timing a real one would (one sender at a time: what comes
while the line is busy follows it). It counts what each port sent and keeps it, so a
test can tell what the master, each instrument and the monitor put on the
line.

  rs485_bus.py --baud 9600 --pty master=/tmp/m --pty monitor=/tmp/mon \\
               --attach sim5=/dev/pts/7 --status /tmp/bus.json [--no-pace]

--pty NAME=LINK makes a pseudo-terminal and LINK a symbolic link to the end a
program opens; --attach NAME=PATH opens a terminal someone else made (a
simulator's). "ready" goes to standard output when the line is up. On SIGTERM
or SIGINT the status file gets {"sent": {NAME: bytes}, "streams": {NAME: hex}}
and the bus ends.
"""
import argparse
import json
import os
import select
import signal
import sys
import termios
import time
import tty

SPEEDS = {4800: termios.B4800, 9600: termios.B9600, 19200: termios.B19200, 38400: termios.B38400,
          57600: termios.B57600, 115200: termios.B115200}


def raw(fd, baud):
    tty.setraw(fd)
    attrs = termios.tcgetattr(fd)
    attrs[4] = attrs[5] = SPEEDS[baud]
    termios.tcsetattr(fd, termios.TCSANOW, attrs)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--baud", type=int, default=9600, choices=sorted(SPEEDS))
    ap.add_argument("--pty", action="append", default=[])
    ap.add_argument("--attach", action="append", default=[])
    ap.add_argument("--status", required=True)
    ap.add_argument("--no-pace", action="store_true", help="pass bytes on as they come")
    ap.add_argument("--gap-us", type=int, default=0,
                    help="the silence the line keeps after each write it carries (a sender that writes "
                         "frame after frame at once still leaves the line its silence)")
    ap.add_argument("--keep-streams", type=int, default=1, help="0: count only (long runs)")
    a = ap.parse_args()

    ports = {}  # name -> fd the bus reads and writes
    keep = []   # slave ends held open, so a client's close does not hang the line up
    for item in a.pty:
        name, link = item.split("=", 1)
        master, slave = os.openpty()
        raw(slave, a.baud)
        keep.append(slave)
        path = os.ttyname(slave)
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(path, link)
        ports[name] = master
    for item in a.attach:
        name, path = item.split("=", 1)
        fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        raw(fd, a.baud)
        ports[name] = fd
    for fd in ports.values():
        os.set_blocking(fd, False)

    char_s = 10.0 / a.baud  # start, 8 data, stop
    sent = {n: 0 for n in ports}
    streams = {n: bytearray() for n in ports}
    line = []        # (when its last character is through, bytes, sender), in order
    free_at = 0.0    # when the line is next quiet
    outbox = {n: bytearray() for n in ports}
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))
    by_fd = {fd: n for n, fd in ports.items()}
    print("ready", flush=True)

    while not stop:
        now = time.monotonic()
        # What a port sent reaches every other port once the line has carried
        # its last character; a chunk goes on whole, so a late wake-up of the
        # bus delays it but never cuts a frame in two.
        i = 0
        while i < len(line) and (a.no_pace or line[i][0] <= now):
            _, data, sender = line[i]
            for n in ports:
                if n != sender:
                    outbox[n] += data
            i += 1
        del line[:i]
        for n, buf in outbox.items():
            if buf:
                try:
                    k = os.write(ports[n], bytes(buf))
                    del buf[:k]
                except BlockingIOError:
                    pass
                except OSError:
                    buf.clear()  # nobody holds that end: the bytes are lost, as on a line
        timeout = 0.05
        if line:
            timeout = max(0.0, line[0][0] - time.monotonic())
        # A port whose reader is behind is written again as soon as it has room.
        waiting = [ports[n] for n, buf in outbox.items() if buf]
        try:
            ready, _, _ = select.select(list(by_fd), waiting, [], timeout)
        except InterruptedError:
            continue
        for fd in ready:
            try:
                data = os.read(fd, 4096)
            except (BlockingIOError, OSError):
                continue
            if not data:
                continue
            n = by_fd[fd]
            sent[n] += len(data)
            if a.keep_streams:
                streams[n] += data
            t = max(time.monotonic(), free_at)
            line.append((t + len(data) * char_s, data, n))
            free_at = t + len(data) * char_s + a.gap_us / 1e6

    with open(a.status + ".tmp", "w") as f:
        json.dump({"sent": sent, "streams": {n: s.hex() for n, s in streams.items()}}, f)
    os.replace(a.status + ".tmp", a.status)


if __name__ == "__main__":
    sys.exit(main())
