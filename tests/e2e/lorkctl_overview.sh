#!/usr/bin/env bash
# lorkctl monitor --address with a list: three instruments on one line (one
# lork-sim answering at three addresses), the third made silent for two of
# its turns while the run goes on. Each round has one line per instrument in
# the list's order; the two others never fail; the silent one is marked,
# counts its failures and answers again. Ctrl-C ends the run with status 0.
#   lorkctl_overview.sh LORKCTL LORK_SIM
set -u
ctl=$1 simexe=$2
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
export XDG_CONFIG_HOME=$work/config HOME=$work
fail=0
bad() { echo "FAIL: $*"; fail=1; }

mkfifo "$work/sim.in"
"$simexe" --address 1,5,7 <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
exec 9>"$work/sim.in"
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
[ -e "$pty" ] || { echo "lork-sim gave no terminal"; exit 77; }

lines() { wc -l <"$1"; }
wait_lines() {  # file count
  for _ in $(seq 600); do [ "$(lines "$1")" -ge "$2" ] && return 0; sleep 0.1; done
  bad "fewer than $2 lines in $1: $(cat "$1")"
  return 1
}

# Timing is not the subject: a time-out a loaded machine meets.
"$ctl" monitor --port "$pty" --address 1,5,7 --period 0.2 --timeout 1500 --json >"$work/json" 2>"$work/json.err" &
mon=$!
pids+=($mon)
wait_lines "$work/json" 6
# The next two presence reads of 7 go unanswered: two failed turns.
echo "at 7 fault silent 2" >&9
wait_lines "$work/json" 18
kill -INT "$mon"
wait "$mon"
rc=$?
[ "$rc" -eq 0 ] || bad "monitor ended with $rc: $(cat "$work/json.err")"

"$py" - "$work/json" <<'EOF' || fail=1
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
rounds = [rows[i:i + 3] for i in range(0, len(rows) - len(rows) % 3, 3)]
bad = []
for r in rounds:
    if [x["adr"] for x in r] != [1, 5, 7]:
        bad.append("round out of order: %s" % [x["adr"] for x in r])
for x in rows:
    if x["adr"] != 7 and ("error" in x or x["failures"] != 0):
        bad.append("instrument %d failed: %s" % (x["adr"], x))
    if "error" not in x and (x.get("name") != "ЛОРК-1" or "izm_proc" not in x):
        bad.append("answer without its values: %s" % x)
seven = [x for x in rows if x["adr"] == 7]
failed = [x for x in seven if "error" in x]
if len(failed) != 2:
    bad.append("7 failed %d turns, not 2: %s" % (len(failed), seven))
else:
    if failed[-1]["failures"] != 2 or "last_good" not in failed[-1]:
        bad.append("a failed turn counts and keeps the last good time: %s" % failed[-1])
    after = seven[seven.index(failed[-1]) + 1:]
    if not after or "error" in after[0] or after[0]["failures"] != 2:
        bad.append("7 did not answer again: %s" % seven)
print("\n".join(bad))
sys.exit(1 if bad else 0)
EOF

# The text form: one line per instrument per round, the address first.
"$ctl" monitor --port "$pty" --address 5,7 --period 0.2 --timeout 1500 >"$work/text" 2>"$work/text.err" &
mon=$!
pids+=($mon)
wait_lines "$work/text" 4
kill -INT "$mon"
wait "$mon"
head -n 4 "$work/text" | awk 'NR % 2 == 1 && !/ адрес 5 ЛОРК-1 / { exit 1 } NR % 2 == 0 && !/ адрес 7 ЛОРК-1 / { exit 1 }' ||
  bad "text lines: $(cat "$work/text")"
grep -q 'инд="' "$work/text" || bad "no indicator in: $(cat "$work/text")"

# A list that is not one is refused before anything is sent.
"$ctl" monitor --port "$pty" --address 1,0 >"$work/out" 2>"$work/err"
[ $? -eq 2 ] && grep -q -- "--address" "$work/err" || bad "bad list: $(cat "$work/err")"
exit $fail
