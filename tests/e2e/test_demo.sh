#!/bin/bash
# The demonstration mode end to end: testlork --demo starts lork-sim on a
# pseudo-terminal, polls it over the real tty code path, quits on its own and
# takes the simulator with it, without touching the operator's settings.
set -u
TESTLORK=$1
SIM=$2
[ -x "$TESTLORK" ] && [ -x "$SIM" ] || { echo "missing programs"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"
export QT_QPA_PLATFORM=offscreen

# lork-sim logs every frame to standard error, which the demo passes through.
# Its --link path names this run's simulator among any others on the machine.
LORK_DEMO_SIM_ARGS="--verbose --link $work/sim-link" \
  timeout 60 "$TESTLORK" --demo --quit-after 3000 >"$work/out" 2>"$work/err"
rc=$?
fail=0
if [ $rc -ne 0 ]; then echo "testlork --demo exited with $rc"; fail=1; fi

# The start-up presence read of address 5 must reach the simulator, and the
# activation's readings query after it: every block asked and answered.
grep -q -i -- "<- 05 03 08 00 00 01" "$work/err" || { echo "no presence read reached the simulator"; fail=1; }
for req in "<- 05 02 00 00 00 04" "<- 05 04 02 14 00 05" \
           "<- 05 01 00 00 00 08" "<- 05 03 0A 00 00 08" "<- 05 04 00 10 00 0D"; do
  grep -q -i -- "$req" "$work/err" || { echo "simulator never got: $req"; fail=1; }
done
grep -q -i -- "-> 05 04 1A" "$work/err" || { echo "no measurement block answered"; fail=1; }

# The child must end with the program.
sleep 0.5
if pgrep -f -- "--link $work/sim-link" >/dev/null; then echo "lork-sim outlived testlork"; fail=1; fi

# The operator's configuration folder stays as it was.
if [ -n "$(ls -A "$XDG_CONFIG_HOME")" ]; then echo "demo wrote into the operator's settings:"; ls -R "$XDG_CONFIG_HOME"; fail=1; fi

# A calibration of the 0 % point in the demo: logged, with the journal's log,
# in the demo's own temporary folder, which goes with it; the operator's
# calibration log stays untouched.
export XDG_DATA_HOME=$work/data TMPDIR=$work/tmp
mkdir -p "$XDG_DATA_HOME" "$TMPDIR"
printf 'cal_enable 1\n' >"$work/sim-state"
LORK_DEMO_SIM_ARGS="--resistance 0 --state $work/sim-state --link $work/sim-link" \
  timeout 60 "$TESTLORK" --demo --quit-after 8000 --start-command ToolButton11,B_cal0_old,B_cal0_new,SB_save_cal0 \
  >"$work/out" 2>"$work/err" &
demo_pid=$!
logged=
for _ in $(seq 150); do
  logged=$(ls "$TMPDIR"/*/testlork/calibration.csv 2>/dev/null)
  [ -n "$logged" ] && [ "$(wc -l <"$logged")" -ge 2 ] && break
  sleep 0.05
done
if [ -z "$logged" ]; then echo "no calibration log in the demo's folder"; ls -R "$TMPDIR"; fail=1
else
  grep -q ',0,70000,70000,' "$logged" || { echo "calibration record: $(cat "$logged")"; fail=1; }
  [ -s "$(dirname "$(dirname "$logged")")/journal.csv" ] || { echo "no journal log beside it"; fail=1; }
fi
wait $demo_pid || { echo "testlork --demo (calibrating) exited with $?"; fail=1; }
# (Qt puts its runtime folder under TMPDIR when XDG_RUNTIME_DIR is unset.)
left=$(find "$XDG_DATA_HOME" "$TMPDIR" "$XDG_CONFIG_HOME" -mindepth 1 -not -path "$TMPDIR/runtime-*")
[ -z "$left" ] || { echo "the demo left files outside its folder or kept its folder: $left"; fail=1; }

if [ $fail -ne 0 ]; then echo "--- stderr"; tail -40 "$work/err"; exit 1; fi
exit 0
