#!/usr/bin/env bash
# lorkctl's power tools end to end against lork-sim: raw reads and writes,
# own time-outs and retries, the fast search.
#   lorkctl_power.sh LORKCTL LORK_SIM
. "$(dirname "$0")/lorkctl_harness.sh" "$@"
# The searches keep their own waits (those are the subject).
own_wait() { case " $* " in *" --timeout "* | *" search "*) return 0 ;; esac; return 1; }

# --- raw read: the parameter block and the name, in decimal and hex
start_sim
run 0 raw read --port "$pty" 3 0x0A00 8
has out "0x0A00    10 0x000A"; has out "0x0A01    90 0x005A"; has out "0x0A06   900 0x0384"
[ "$(wc -l <"$work/out")" -eq 8 ] || bad "8 lines expected: $(cat "$work/out")"
run 0 raw read --port "$pty" --json 4 512 3
has out '[{"address": 512, "value": 52174, "hex": "0xCBCE"}, {"address": 513, "value": 53450, "hex": "0xD0CA"}'
run 1 raw read --port "$pty" 3 0x1234 1
has err "исключение 2"
# a register by its name: its own function, address and width, and its value decoded
run 0 raw read --port "$pty" R
has out "0x0A00    10 0x000A"; has out "R=10 Ом"
run 0 raw read --port "$pty" 3 kol_step 1
has out "0x0A01    90 0x005A"

# --- bounds and the write's consent: nothing sent
n=$(requests)
for args in "3 0xFFFF 2" "3 0 126" "1 0 2001" "5 0 1" "3 0 0" "3 -1 1" "3 0x 1" "4 R 1" "Q"; do
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
