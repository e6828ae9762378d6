#!/usr/bin/env bash
# lorkctl's power tools end to end against lork-sim: raw reads and writes,
# own time-outs and retries, the fast search.
#   lorkctl_power.sh LORKCTL LORK_SIM
set -u
ctl=$1 simexe=$2
[ -x "$ctl" ] && [ -x "$simexe" ] || { echo "missing programs"; exit 77; }
work=$(mktemp -d)
sim_pid=
stop_sim() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  exec 9>&- 2>/dev/null
  sim_pid=
}
trap 'stop_sim; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config HOME=$work XDG_DATA_HOME=$work/data
fail=0
bad() { echo "FAIL: $*"; fail=1; }
start_sim() {
  stop_sim
  rm -f "$work/sim.out" "$work/sim.err" "$work/sim.in"
  mkfifo "$work/sim.in"
  # Above the load of a busy machine where allowed (root): its replies are
  # what the time-outs measure.
  nice -n -10 "$simexe" --verbose "$@" <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  exec 9>"$work/sim.in"
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  pty=$(head -n1 "$work/sim.out")
  [ -e "$pty" ] || { echo "lork-sim gave no terminal: $(cat "$work/sim.err")"; exit 77; }
}
sim_cmd() { echo "$1" >&9; sleep 0.2; }
requests() { grep -c -- '<- ' "$work/sim.err"; }
# Where timing is not the subject, a time-out a loaded machine meets; the
# searches keep their own waits (those are the subject) and get a second try.
T=(--timeout 1500)
run() {
  local want=$1; shift
  local t=("${T[@]}")
  case " $* " in *" --timeout "*|*" search "*) t=() ;; esac
  timeout 120 "$ctl" "$@" "${t[@]}" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq "$want" ] || bad "lorkctl $* -> $rc, expected $want; stderr: $(cat "$work/err")"
}
has() { grep -qF -- "$2" "$work/$1" || bad "'$2' not in $1: $(cat "$work/$1")"; }

# --- raw read: the parameter block and the name, in decimal and hex
start_sim
run 0 raw read --port "$pty" 3 0x0A00 8
has out "0x0A00    10 0x000A"; has out "0x0A01    90 0x005A"; has out "0x0A06   900 0x0384"
[ "$(wc -l <"$work/out")" -eq 8 ] || bad "8 lines expected: $(cat "$work/out")"
run 0 raw read --port "$pty" --json 4 512 3
has out '[{"address": 512, "value": 52174, "hex": "0xCBCE"}, {"address": 513, "value": 53450, "hex": "0xD0CA"}'
run 1 raw read --port "$pty" 3 0x1234 1
has err "исключение 2"

# --- bounds and the write's consent: nothing sent
n=$(requests)
for args in "3 0xFFFF 2" "3 0 126" "1 0 2001" "5 0 1" "3 0 0" "3 -1 1" "3 0x 1"; do
  run 2 raw read --port "$pty" $args
done
run 2 raw write --port "$pty" 0x0A03 1
has err "--yes"
[ "$(requests)" -eq "$n" ] || bad "a refused raw command sent requests"
run 0 raw write --port "$pty" --yes 0x0A03 2
run 0 raw read --port "$pty" 3 0x0A03 1
has out "0x0A03     2 0x0002"

# --- retries: a silent reply repeated; a write refused with an exception not
sim_cmd "fault silent 1"
n=$(requests)
run 0 ping --port "$pty" --retries 1
[ "$(requests)" -eq $((n + 2)) ] || bad "ping --retries 1 after one silence: $((n + 2)) requests expected"
n=$(requests)
run 1 raw write --port "$pty" --yes --retries 3 0x0A06 1
[ "$(requests)" -eq $((n + 1)) ] || bad "a write refused with an exception was repeated"
# --timeout: a silent address costs about the time-out, not the six reads
t0=$(date +%s%N)
run 1 ping --port "$pty" --address 9 --timeout 400
ms=$(( ($(date +%s%N) - t0) / 1000000 ))
[ "$ms" -ge 400 ] || bad "ping --timeout 400 gave up after $ms ms"

# --- fast search: at every rate it finds what the ordinary search finds.
# The waits are the subject here (the ordinary probe waits 12 ms at the fast
# rates): both ends run above the load where allowed, and a search that found
# otherwise is measured again, three times at most.
# search_finds WANT ARGS...: the search's output is WANT, in $work/out.
search_finds() {
  local want=$1; shift
  for _ in 1 2 3; do
    timeout 120 nice -n -10 "$ctl" search --port "$pty" "$@" >"$work/out" 2>"$work/err" &&
      [ "$(cat "$work/out")" = "$want" ] && return 0
  done
  bad "search $* gave '$(cat "$work/out")', not '$want': $(tail -n2 "$work/err")"
}
for rate in 9600 115200 4800 19200 38400 57600; do
  start_sim --address 200 --baud "$rate" --pace
  search_finds "200:$rate" --baud 9600 --rates "$rate" --from 199 --to 201
  search_finds "200:$rate" --baud 9600 --fast --rates all --from 150
done
start_sim --address 200 --pace
search_finds "200:9600" --fast
start_sim --address 200 --parity 2 --stopbits 2 --pace
search_finds '[{"address": 200, "rate": 9600, "parity": "odd", "stopbits": 2}]' --fast --parity all --stopbits all --from 190 --json

exit $fail
