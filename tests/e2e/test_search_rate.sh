#!/usr/bin/env bash
# "поиск скорости" end to end: the built program on a pseudo-terminal against
# lork-sim answering at 38400 bit/s only. The program starts at 9600, finds
# nobody at 4800, 9600 and 19200, and settles at 38400.
#   test_search_rate.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
work=$(mktemp -d)
trap 'kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null; rm -rf "$work"' EXIT

"$sim" --address 5 --baud 38400 >"$work/sim.out" 2>"$work/sim.err" </dev/null &
simpid=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
if [ -z "$pty" ] || [ ! -e "$pty" ]; then
  echo "lork-sim gave no terminal: $(cat "$work/sim.err")"
  exit 77
fi

# A fresh settings folder: the program starts from its defaults (address 5, 9600).
XDG_CONFIG_HOME="$work/config" HOME="$work" QT_QPA_PLATFORM=offscreen \
  timeout 60 "$testlork" --port "$pty" --run-command poisk_scor >"$work/out" 2>"$work/err"
rc=$?
cat "$work/out"
if [ $rc -ne 0 ]; then
  echo "testlork ended with $rc"; cat "$work/err"; exit 1
fi

fail=0
expect() {
  grep -qxF -- "$1" "$work/out" || { echo "missing line: '$1'"; fail=1; }
}
expect " ищем скорость для №=5  [ Pb=0, Sb=1 ]"
expect "№5 ответил на 38400  [ Pb=0, Sb=1 ]"
grep -q '^ начало в: ' "$work/out" || { echo "no start line"; fail=1; }
grep -q '^ конец в: ' "$work/out" || { echo "no end line"; fail=1; }
if grep -q '^message:' "$work/out"; then echo "unexpected message box"; fail=1; fi
exit $fail
