#!/usr/bin/env bash
# bench_power: lorkctl's fast search and raw read side by side with mbpoll,
# a libmodbus loop and (the reads) a pymodbus loop, on lork-sim --pace (instrument at
# address 200 for the scans, 5 for the read), rounds alternating the tools.
#   bench/bench_power.sh BUILD_DIR [ROUNDS=3]
# Each line: tool, job, seconds of one whole process, what it found.
set -u
build=$1 rounds=${2:-3}
ctl=$build/cli/lorkctl sim=$build/sim/lork-sim lmb=$build/bench/scan_libmodbus
pmb=$(cd "$(dirname "$0")" && pwd)/pymodbus_read.py
work=$(mktemp -d)
sim_pid=
stop_sim() { [ -n "$sim_pid" ] && { kill "$sim_pid"; wait "$sim_pid" 2>/dev/null; }; sim_pid=; }
trap 'stop_sim; rm -rf "$work"' EXIT
start_sim() {
  stop_sim
  "$sim" --pace "$@" >"$work/sim.out" 2>/dev/null &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  pty=$(head -n1 "$work/sim.out")
}
# timed TOOL JOB COMMAND...: one line of figures
timed() {
  local tool=$1 job=$2; shift 2
  local t0 t1 out
  t0=$(date +%s%N)
  out=$("$@" 2>/dev/null | tr '\n' ' ')
  t1=$(date +%s%N)
  printf '%-10s %-14s %7.3f  %s\n' "$tool" "$job" "$(echo "($t1 - $t0) / 1000000000" | bc -l)" "${out:0:40}"
}
mbpoll_scan() { mbpoll -m rtu -b "$1" -P none -a 1:247 -0 -r 2048 -c 1 -1 -o "$2" "$pty" | grep -c '^\[2048\]'; }
mbpoll_reads() { for _ in $(seq 20); do mbpoll -m rtu -b "$1" -P none -a 5 -0 -r 2560 -c 8 -1 -o 1 "$pty" >/dev/null; done; echo 20; }
pymodbus_reads() { for _ in $(seq 20); do /usr/bin/python3 "$pmb" "$pty" "$1" 1; done | grep -c '^1$'; }
ctl_reads() { for _ in $(seq 20); do "$ctl" raw read --port "$pty" --baud "$1" 3 0x0A00 8 >/dev/null; done; echo 20; }

for round in $(seq "$rounds"); do
  echo "# round $round, load $(cut -d' ' -f1-3 /proc/loadavg)"
  for rate in 9600 115200; do
    # The shortest time-outs that found the instrument (mbpoll's floor is 10 ms).
    if [ "$rate" = 9600 ]; then mbt=0.015 lmt=20; else mbt=0.01 lmt=5; fi
    start_sim --address 200 --baud "$rate"
    timed lorkctl "scan $rate" "$ctl" search --port "$pty" --baud "$rate" --fast
    command -v mbpoll >/dev/null && timed mbpoll "scan $rate" mbpoll_scan "$rate" "$mbt"
    [ -x "$lmb" ] && timed libmodbus "scan $rate" "$lmb" "$pty" "$rate" "$lmt" scan 1 247
    start_sim --address 5 --baud "$rate"
    timed lorkctl "20 reads $rate" ctl_reads "$rate"
    command -v mbpoll >/dev/null && timed mbpoll "20 reads $rate" mbpoll_reads "$rate"
    /usr/bin/python3 -c 'import pymodbus' 2>/dev/null && timed pymodbus "20 reads $rate" pymodbus_reads "$rate"
    /usr/bin/python3 -c 'import pymodbus' 2>/dev/null && timed pymodbus "100 in one $rate" /usr/bin/python3 "$pmb" "$pty" "$rate" 100
  done
  # The rate tried last: the whole search's cost.
  start_sim --address 200 --baud 4800
  timed lorkctl "six rates" "$ctl" search --port "$pty" --fast --rates all
done
