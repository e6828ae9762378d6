#!/usr/bin/python3
"""The line monitor under a fully loaded line: a generator puts Modbus RTU
traffic on the three-party bus (tests/support/rs485_bus.py) frame after frame,
which the bus carries each after the shortest silence the line allows (1.75 ms
above 19200 bit/s, 3.5 characters below),
and lorkctl sniff listens on another port. Reports the frames sent and heard
by kind, the line's load, the monitor's processor share and its peak memory.

  sniff_load.py LORKCTL [--seconds 60] [--baud 115200]
"""
import argparse
import json
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUS = os.path.join(HERE, "..", "tests", "support", "rs485_bus.py")


def crc16(data):
    c = 0xFFFF
    for b in data:
        c ^= b
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
    return bytes(data) + bytes([c & 0xFF, c >> 8])


def traffic(rng):
    """Endless (frame, kind) pairs: requests and their replies from two
    instruments, now and then an exception and a request nobody answers."""
    n = 0
    while True:
        n += 1
        adr = 5 if n % 2 else 7
        if n % 50 == 0:
            yield crc16([9, 3, 0x08, 0x00, 0x00, 0x01]), "request"
            continue
        fn, start, count = [(3, 0x0A00, 8), (4, 0x0010, 13), (1, 0, 8), (4, 0x0214, 5)][n % 4]
        yield crc16([adr, fn, start >> 8, start & 0xFF, count >> 8, count & 0xFF]), "request"
        if n % 20 == 0:
            yield crc16([adr, 0x80 | fn, 2]), "exception"
        elif fn == 1:
            yield crc16([adr, 1, 1, rng.randrange(256)]), "reply"
        else:
            data = [rng.randrange(256) for _ in range(2 * count)]
            yield crc16([adr, fn, 2 * count] + data), "reply"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("lorkctl")
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--baud", type=int, default=115200)
    ap.add_argument("--silence-us", type=int, default=-1,
                    help="the silence between frames, µs (0: back to back); the line's own by default")
    a = ap.parse_args()
    work = tempfile.mkdtemp()
    char_s = 10.0 / a.baud
    gap_s = 0.00175 if a.baud > 19200 else 3.5 * char_s
    if a.silence_us >= 0:
        gap_s = a.silence_us / 1e6
    bus = subprocess.Popen([sys.executable, BUS, "--baud", str(a.baud), "--pty", "gen=%s/gen" % work,
                            "--pty", "monitor=%s/monitor" % work, "--status", work + "/bus.json",
                            "--keep-streams", "0", "--gap-us", str(int(gap_s * 1e6))], stdout=subprocess.PIPE, text=True)
    assert bus.stdout.readline().strip() == "ready"
    out = open(work + "/sniff.json", "w")
    err = open(work + "/sniff.err", "w")
    sniff = subprocess.Popen([a.lorkctl, "sniff", "--port", work + "/monitor", "--baud", str(a.baud), "--json",
                              "--reply-timeout", "500"], stdout=out, stderr=err)
    for _ in range(100):
        if "слушаю" in open(work + "/sniff.err").read():
            break
        time.sleep(0.1)
    gen = os.open(work + "/gen", os.O_RDWR | os.O_NOCTTY)
    sent = {"request": 0, "reply": 0, "exception": 0}
    rng = random.Random(1)
    line_bytes = 0
    t0 = time.monotonic()
    line_at = t0  # when the line, as the bus keeps it, will have carried what was written
    for frame, kind in traffic(rng):
        now = time.monotonic()
        if now - t0 >= a.seconds:
            break
        # Keep a few milliseconds of frames queued in the bus, so the line
        # never waits for this script; the bus keeps the silence between them.
        if line_at - now > 0.005:
            time.sleep(line_at - now - 0.004)
        os.write(gen, frame)
        sent[kind] += 1
        line_bytes += len(frame)
        line_at = max(line_at, time.monotonic()) + len(frame) * char_s + gap_s
        time.sleep(0.0002)  # one write per read of the bus: a frame each
    elapsed = time.monotonic() - t0
    time.sleep(1.0)

    # The monitor's own account, taken before it ends.
    with open("/proc/%d/stat" % sniff.pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    tick = os.sysconf("SC_CLK_TCK")
    cpu_s = (int(fields[11]) + int(fields[12])) / tick
    started = int(fields[19]) / tick
    with open("/proc/uptime") as f:
        alive_s = float(f.read().split()[0]) - started
    peak_kb = 0
    with open("/proc/%d/status" % sniff.pid) as f:
        for l in f:
            if l.startswith("VmHWM:"):
                peak_kb = int(l.split()[1])
    sniff.send_signal(signal.SIGINT)
    sniff.wait(10)
    bus.send_signal(signal.SIGTERM)
    bus.wait(10)
    os.close(gen)
    out.close()

    heard = {}
    for l in open(work + "/sniff.json"):
        k = json.loads(l)["kind"]
        heard[k] = heard.get(k, 0) + 1
    status = json.load(open(work + "/bus.json"))
    frames_sent = sum(sent.values())
    frames_heard = sum(v for k, v in heard.items() if k != "no_reply")
    result = {
        "seconds": round(elapsed, 1),
        "baud": a.baud,
        "silence_us": int(gap_s * 1e6),
        "line_load": round(line_bytes * 10.0 / a.baud / elapsed, 3),
        "frames_sent": frames_sent,
        "frames_heard": frames_heard,
        "sent": sent,
        "heard": heard,
        "lost": frames_sent - sum(heard.get(k, 0) for k in sent),
        "cpu_share_of_one_core": round(cpu_s / alive_s, 4),
        "peak_rss_kib": peak_kb,
        "monitor_wrote_bytes": status["sent"]["monitor"],
    }
    print(json.dumps(result, ensure_ascii=False, indent=1))
    ok = result["lost"] == 0 and heard.get("crc_error", 0) == 0 and heard.get("stray", 0) == 0 \
        and result["monitor_wrote_bytes"] == 0
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
