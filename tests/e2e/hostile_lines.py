#!/usr/bin/python3
"""lorkctl against gateways on a bad day (hostile_server.py on the loopback):
every run ends within its deadline, memory and processor stay bounded, and
Ctrl-C ends it at once. Bounds are generous (a loaded machine, sanitizers):
they catch a hang or a spin, they do not time anything.

    hostile_lines.py LORKCTL
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CTL = sys.argv[1]
TICK = os.sysconf("SC_CLK_TCK")
MEMORY_MB = 64
CPU_SHARE = 0.20
INTERRUPT_S = 0.5 + 0.5  # the promise, and room for a loaded machine
failures = []


def bad(text):
    print("FAIL:", text)
    failures.append(text)


class Server:
    def __init__(self, mode):
        self.proc = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "hostile_server.py"), mode, "60"],
                                     stdout=subprocess.PIPE, text=True)
        self.port = int(self.proc.stdout.readline())

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.proc.kill()
        self.proc.wait()


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def cpu_s(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICK
    except OSError:
        return None


def run(label, args, *, limit_s, status=None, interrupt_at=None, cpu_from=None, sig=signal.SIGINT):
    """Runs lorkctl; returns (status, seconds, seconds after the interrupt)."""
    work = tempfile.mkdtemp()
    env = dict(os.environ, XDG_CONFIG_HOME=work, HOME=work)
    with open(os.path.join(work, "out"), "w") as out, open(os.path.join(work, "err"), "w") as err:
        p = subprocess.Popen([CTL] + args, stdout=out, stderr=err, env=env)
    t0 = time.monotonic()
    base = peak = None
    cpu_mark = None
    signalled = None
    while p.poll() is None:
        now = time.monotonic() - t0
        rss = rss_kb(p.pid)
        if rss is not None and now > 0.2:
            base = rss if base is None else base
            peak = max(peak or 0, rss)
        if cpu_from is not None and cpu_mark is None and now >= cpu_from:
            cpu_mark = (now, cpu_s(p.pid))
        if interrupt_at is not None and signalled is None and now >= interrupt_at:
            if cpu_mark is not None and cpu_mark[1] is not None:
                used = cpu_s(p.pid)
                if used is not None:
                    share = (used - cpu_mark[1]) / (now - cpu_mark[0])
                    print(f"  {label}: processor {share:.0%} over {now - cpu_mark[0]:.1f} s")
                    if share >= CPU_SHARE:
                        bad(f"{label}: processor {share:.0%} over the flood")
            p.send_signal(sig)
            signalled = now
        if now > limit_s + 10:
            p.kill()
            p.wait()
            bad(f"{label}: still running after {now:.1f} s, killed")
            return None
        time.sleep(0.01)
    took = time.monotonic() - t0
    growth = (peak - base) / 1024 if peak is not None and base is not None else 0
    after = took - signalled if signalled is not None else None
    with open(os.path.join(work, "err")) as f:
        err_text = f.read().strip().replace("\n", " | ")
    print(f"  {label}: status {p.returncode}, {took:.2f} s" + (f", {after:.2f} s after Ctrl-C" if after is not None else "") +
          f", memory +{growth:.0f} MB; {err_text[:160]}")
    if took > limit_s:
        bad(f"{label}: took {took:.2f} s, bound {limit_s} s")
    if growth >= MEMORY_MB:
        bad(f"{label}: memory grew by {growth:.0f} MB")
    if status is not None and p.returncode not in status:
        bad(f"{label}: status {p.returncode}, expected {status}")
    if after is not None and after > INTERRUPT_S:
        bad(f"{label}: {after:.2f} s from Ctrl-C to the end")
    return p.returncode


# ping: each ends by itself within its deadline; the greeting's and each
# set-up's waits are 2 s, and a failed set-up is tried once more.
PING = [
    ("flood", "tcp", 3, {1}),
    ("flood2217", "rfc2217", 3, {1}),
    ("nop", "rfc2217", 4 + 2, {3}),
    ("sb", "rfc2217", 4 + 2, {3}),
    ("noack", "rfc2217", 4 + 2, {3}),
    ("slow", "rfc2217", 4 + 2, {3}),
    ("reset", "tcp", 3, {1}),
]
for mode, scheme, limit, status in PING:
    with Server(mode) as s:
        run(f"ping {mode}", ["ping", "--port", f"{scheme}://127.0.0.1:{s.port}"], limit_s=limit, status=status)

# monitor: keeps going over a flood without a spin, and Ctrl-C ends it, in a
# flood and in the middle of a wait on a server that does not answer.
for mode, scheme, sig in [("flood", "tcp", signal.SIGINT), ("flood2217", "rfc2217", signal.SIGTERM)]:
    with Server(mode) as s:
        run(f"monitor {mode}", ["monitor", "--period", "0.2", "--port", f"{scheme}://127.0.0.1:{s.port}"],
            limit_s=6, status={0}, cpu_from=1.0, interrupt_at=4.0, sig=sig)
# The gateway goes mute: Ctrl-C comes while monitor waits for a new greeting.
with Server("mute") as s:
    run("monitor mute Ctrl-C", ["monitor", "--period", "0.2", "--port", f"rfc2217://127.0.0.1:{s.port}"],
        limit_s=4, status={0, -signal.SIGINT}, interrupt_at=2.0)
for mode in ["nop", "noack"]:
    with Server(mode) as s:
        run(f"monitor {mode} Ctrl-C", ["monitor", "--period", "0.2", "--port", f"rfc2217://127.0.0.1:{s.port}"],
            limit_s=4, status={0, -signal.SIGINT}, interrupt_at=1.0)
with Server("nop") as s:
    run("ping nop Ctrl-C", ["ping", "--port", f"rfc2217://127.0.0.1:{s.port}"], limit_s=3,
        status={-signal.SIGINT}, interrupt_at=1.0)

sys.exit(1 if failures else 0)
