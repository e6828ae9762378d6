#!/usr/bin/env bash
# The line monitor on a three-party line: a master (mbpoll, then lorkctl) on
# one end, two simulators at addresses 5 and 7 on another, lorkctl sniff on
# the third, at 9600 and 115200 bit/s. Every frame the master and the
# instruments sent is heard, paired and decoded; tshark reads the same frames
# from the pcap; the monitor never sent a byte (the bus counts them).
#   sniff_bus.sh LORKCTL LORK_SIM
set -u
ctl=$1 simexe=$2
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3
for t in mbpoll tshark; do command -v $t >/dev/null || { echo "no $t"; exit 77; }; done
[ -x "$ctl" ] && [ -x "$simexe" ] && [ -x "$py" ] || { echo "missing programs"; exit 77; }
work=$(mktemp -d)
[ -z "${KEEP_WORK:-}" ] || echo "work: $work"
pids=()
stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  pids=()
}
trap 'stop_all; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config HOME=$work
fail=0
bad() { echo "FAIL: $*"; fail=1; }
wait_for() {  # FILE TEXT: up to 10 s
  for _ in $(seq 100); do grep -qF -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

line() {
  local rate=$1 d=$work/$1
  mkdir -p "$d"
  local attach=()
  for a in 5 7; do
    "$simexe" --address $a --baud "$rate" </dev/null >"$d/sim$a.out" 2>"$d/sim$a.err" &
    pids+=($!)
    wait_for "$d/sim$a.out" /dev/ || { bad "$rate: lork-sim $a gave no terminal"; return; }
    attach+=(--attach "sim$a=$(head -n1 "$d/sim$a.out")")
  done
  "$py" "$here/../support/rs485_bus.py" --baud "$rate" --pty "master=$d/master" --pty "monitor=$d/monitor" \
    "${attach[@]}" --status "$d/bus.json" >"$d/bus.out" 2>"$d/bus.err" &
  local bus=$!
  wait_for "$d/bus.out" ready || { bad "$rate: the bus did not start: $(cat "$d/bus.err")"; return; }
  "$ctl" sniff --port "$d/monitor" --baud "$rate" --json --pcap "$d/line.pcap" --reply-timeout 3000 \
    >"$d/sniff.json" 2>"$d/sniff.err" &
  local sniff=$!
  wait_for "$d/sniff.err" "слушаю" || { bad "$rate: sniff did not start: $(cat "$d/sniff.err")"; return; }

  # The master: mbpoll (libmodbus) first, with its own time-out, then lorkctl.
  # What the monitor must report follows from what went over the line, so a
  # simulator that a loaded machine kept from answering fails nothing here;
  # the pauses between commands make that rare.
  local mb=(mbpoll -m rtu -b "$rate" -P none -0 -1 -o 2)
  local ls=(--port "$d/master" --baud "$rate" --timeout 1500)
  master() { "$@" >>"$d/master.log" 2>&1 || echo "note: $rate: $* failed" >>"$d/master.log"; sleep 0.2; }
  master "${mb[@]}" -a 5 -r 2560 -c 8 -t 4 "$d/master"
  master "${mb[@]}" -a 7 -r 16 -c 13 -t 3 "$d/master"
  master "${mb[@]}" -a 5 -r 0 -c 8 -t 0 "$d/master"
  master "${mb[@]}" -a 7 -r 0 -c 4 -t 1 "$d/master"
  master "${mb[@]}" -a 9 -r 2048 -c 1 -t 4 -o 0.3 "$d/master"  # nobody at 9
  master "$ctl" read "${ls[@]}" --address 5
  master "$ctl" set "${ls[@]}" --address 7 light=2
  master "$ctl" raw read 4 0x0200 3 "${ls[@]}" --address 7
  sleep 0.5
  kill -INT "$sniff"; wait "$sniff"; local rc=$?
  [ "$rc" -eq 0 ] || bad "$rate: sniff ended with $rc: $(cat "$d/sniff.err")"
  kill "$bus"; wait "$bus"
  stop_all

  tshark -r "$d/line.pcap" -o 'uat:user_dlts:"User 0 (DLT=147)","mbrtu","0","","0",""' \
    -T fields -e mbrtu.unit_id -e modbus.func_code >"$d/tshark.txt" 2>"$d/tshark.err" ||
    bad "$rate: tshark: $(cat "$d/tshark.err")"
  "$py" - "$d" "$rate" <<'EOF' || fail=1
import json, sys
d, rate = sys.argv[1], sys.argv[2]
bus = json.load(open(d + "/bus.json"))
frames = [json.loads(l) for l in open(d + "/sniff.json") if l.strip()]
problems = []
def check(ok, what):
    if not ok:
        problems.append(what)
check(bus["sent"]["monitor"] == 0, "the monitor sent %d bytes" % bus["sent"]["monitor"])
kinds = [f["kind"] for f in frames]
check("crc_error" not in kinds and "stray" not in kinds, "frames cut wrong: %s" % kinds)
def stream(sel):
    return "".join(f["bytes"].replace(" ", "").lower() for f in frames if sel(f))
check(stream(lambda f: f["kind"] == "request") == bus["streams"]["master"], "requests differ from what the master sent")
for a in (5, 7):
    got = stream(lambda f: f["kind"] in ("reply", "exception") and f["address"] == a)
    check(got == bus["streams"]["sim%d" % a], "replies of %d differ from what it sent" % a)
by_seq = {f["seq"]: f for f in frames}
for f in frames:
    if f["kind"] in ("reply", "exception", "no_reply"):
        req = by_seq.get(f.get("pair", 0))
        check(req is not None and req["kind"] == "request" and req["address"] == f["address"],
              "unpaired: %s" % f["text"])
# Every request got a reply on the line or is reported without one.
answered = sum(1 for k in kinds if k in ("reply", "exception"))
check(kinds.count("request") == answered + kinds.count("no_reply"), "requests, replies and no-replies do not add up")
check([f["kind"] for f in frames if f["address"] == 9] == ["request", "no_reply"], "address 9 not reported unanswered")
check(answered >= 10, "only %d replies on the line" % answered)
texts = "\n".join(f["text"] for f in frames)
for want in ("чтение 0x0A00 ×8 → R=", "чтение входных 0x0010 ×13 → step=",
             "адрес 7: запись 0x0A03 ×1 ← light=2", "чтение входных 0x0200 ×3 → name=\"",
             "адрес 9: чтение 0x0800 ×1 → нет ответа"):
    check(want in texts, "no line with %r" % want)
shark = [l.split("\t") for l in open(d + "/tshark.txt").read().splitlines()]
mine = [f for f in frames if f["bytes"]]
check(len(shark) == len(mine), "tshark read %d frames, the monitor heard %d" % (len(shark), len(mine)))
for s, f in zip(shark, mine):
    if int(s[0]) != f["address"] or (s[1] and int(s[1]) != f["function"] & 0x7F):
        check(False, "tshark: %s, monitor: %s" % (s, f["text"]))
        break
for p in problems:
    print("FAIL %s bit/s: %s" % (rate, p))
print("%s bit/s: %d frames, %d requests" % (rate, len(frames), kinds.count("request")))
sys.exit(1 if problems else 0)
EOF
  [ $fail -eq 0 ] || { echo "--- $rate sniff:"; head -c 3000 "$d/sniff.json"; cat "$d/sniff.err" "$d/bus.err"; }
}

line 9600
line 115200
exit $fail
