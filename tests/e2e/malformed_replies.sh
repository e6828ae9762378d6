#!/usr/bin/env bash
# Replies of another form than asked, with a good CRC (lork-sim's bytecount
# and extra faults), over a pseudo-terminal and through a Modbus TCP gateway:
# lorkctl fails with the malformed-reply text and prints no value. Through the
# gateway, a reply from another unit reads as a wrong address and a
# three-byte exception as malformed.
#   malformed_replies.sh LORKCTL LORK_SIM
set -u
ctl=$1 simexe=$2
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3
[ -x "$ctl" ] && [ -x "$simexe" ] && [ -x "$py" ] || { echo "missing programs"; exit 77; }
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  exec 9>&- 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config HOME=$work XDG_DATA_HOME=$work/data
fail=0
bad() { echo "FAIL: $*"; fail=1; }
# A loaded machine still answers within these; the faults are the subject.
wait_opt=(--timeout 3000)
run() {
  local want=$1; shift
  timeout 120 "$ctl" "$@" "${wait_opt[@]}" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq "$want" ] || bad "lorkctl $* -> $rc, expected $want; out: $(cat "$work/out"); err: $(cat "$work/err")"
}
has() { grep -qF -- "$2" "$work/$1" || bad "'$2' not in $1: $(cat "$work/$1")"; }
hasnt() { ! grep -qF -- "$2" "$work/$1" || bad "'$2' in $1: $(cat "$work/$1")"; }
malformed=" неверный формат ответного сообщения adr|kol"

mkfifo "$work/sim.in"
"$simexe" --verbose <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
exec 9>"$work/sim.in"
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
[ -e "$pty" ] || { echo "lork-sim gave no terminal"; exit 77; }
sim_cmd() { echo "$1" >&9; sleep 0.3; }

# --- a pseudo-terminal: read fails on the first malformed reply, prints nothing
run 0 read --port "$pty"
has out "R=10 Ом, N=90, U=50"
for fault in "bytecount" "bytecount 1000 1" "extra"; do
  sim_cmd "fault $fault"
  run 1 read --port "$pty"
  has err "$malformed"
  [ ! -s "$work/out" ] || bad "read printed values from malformed replies ($fault): $(cat "$work/out")"
done
run 1 raw read --port "$pty" 3 0x0A00 8
has err "$malformed"

# monitor goes on through the failures, each a line with its text, no values;
# Ctrl-C ends it with 0 as always.
timeout --preserve-status -s INT 4 "$ctl" monitor --port "$pty" --period 0.3 "${wait_opt[@]}" >"$work/out" 2>"$work/err"
rc=$?
[ "$rc" -eq 0 ] || bad "monitor ended with $rc: $(cat "$work/err")"
has out "нет ответа:$malformed"
hasnt out "%="
sim_cmd "fault none"

# --- a Modbus TCP gateway in front of the same instrument
gateway() {
  local out=$work/gw.$RANDOM
  "$py" "$here/mbtcp_gateway.py" "$pty" "$@" >"$out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  gw="mbtcp://127.0.0.1:$(head -n1 "$out")"
}
gateway
run 0 ping --port "$gw"
for fault in "bytecount" "extra"; do
  sim_cmd "fault $fault"
  run 1 read --port "$gw"
  has err "$malformed"
  [ ! -s "$work/out" ] || bad "read through the gateway printed values ($fault): $(cat "$work/out")"
  run 1 raw read --port "$gw" 3 0x0A00 8
  has err "$malformed"
done
sim_cmd "fault none"

gateway --unit 6
run 1 ping --port "$gw"
has err " неверный системный номер"
gateway --exception 10 --pad
run 1 ping --port "$gw"
has err "$malformed"
hasnt err "ошибка таймаута"
exit $fail
