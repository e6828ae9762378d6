#!/usr/bin/env bash
# "поиск скорости" end to end through an RFC 2217 gateway: ser2net in front
# of lork-sim's pseudo-terminal, the simulator answering at 19200 bit/s only.
# The program sets each rate of the search on the gateway's line and settles
# at 19200.
#   test_search_rate_rfc2217.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
command -v ser2net >/dev/null || { echo "SKIP: ser2net not installed"; exit 77; }
work=$(mktemp -d)
trap 'kill "$gwpid" "$simpid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

"$sim" --address 5 --baud 19200 >"$work/sim.out" 2>"$work/sim.err" </dev/null &
simpid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
[ -n "$pty" ] && [ -e "$pty" ] || { echo "lork-sim gave no terminal: $(cat "$work/sim.err")"; exit 77; }

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$work/ser2net.yaml" <<YAML
connection: &sim
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port
  connector: serialdev,$pty,9600n81,local
YAML
ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/gw.log" 2>&1 &
gwpid=$!
hex=$(printf ':%04X' "$port")
for _ in $(seq 50); do grep -q "$hex 00000000:0000 0A" /proc/net/tcp && break; sleep 0.1; done

XDG_CONFIG_HOME="$work/config" HOME="$work" QT_QPA_PLATFORM=offscreen \
  timeout 60 "$testlork" --port "rfc2217://127.0.0.1:$port" --run-command poisk_scor >"$work/out" 2>"$work/err"
rc=$?
cat "$work/out"
[ $rc -eq 0 ] || { echo "testlork ended with $rc"; cat "$work/err"; exit 1; }
fail=0
grep -qxF -- "№5 ответил на 19200  [ Pb=0, Sb=1 ]" "$work/out" || { echo "19200 not found"; fail=1; }
if grep -q '^message:' "$work/out"; then echo "unexpected message box"; fail=1; fi
exit $fail
