#!/usr/bin/env bash
# Replies of another form than asked, with a good CRC (lork-sim's bytecount
# and extra faults), over a pseudo-terminal and through a Modbus TCP gateway:
# lorkctl fails with the malformed-reply text and prints no value. Through the
# gateway, a reply from another unit reads as a wrong address and a
# three-byte exception as malformed.
#   malformed_replies.sh LORKCTL LORK_SIM
. "$(dirname "$0")/lorkctl_harness.sh" "$@"
[ -x "$py" ] || { echo "missing programs"; exit 77; }
# A loaded machine still answers within these; the faults are the subject.
T=(--timeout 3000)
malformed=" неверный формат ответного сообщения adr|kol"
start_sim

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
"$ctl" monitor --port "$pty" --period 1 "${T[@]}" >"$work/out" 2>"$work/err" &
interrupt_after_lines "$work/out" 3 $!
[ "$rc" -eq 0 ] || bad "monitor ended with $rc: $(cat "$work/err")"
has out "нет ответа:$malformed"
hasnt out "%="
sim_cmd "fault none"

# --- a Modbus TCP gateway in front of the same instrument
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
