#!/usr/bin/env bash
# A write of N that breaks a rule the parameters page shows (U < N with the
# U = 50 the window read at its activation), on a real X server with a window
# manager: the question comes in a real modal box. Return takes its default,
# "нет", and nothing is written; the second time the other button is chosen
# from the keyboard, the value goes out and the instrument refuses it.
#   test_params_rules_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
sim_args="--verbose"
. "$(dirname "$0")/x11_session.sh"
writes() { grep -c -- '<- 05 10 0A 01' "$work/sim.err"; }

start_testlork rules SB_izmkolstep,SB_izmkolstep
wait_for 60 find_box || fail "no question before the write"
[ "$(net_name "$box")" = "параметры" ] || fail "the box is $(net_name "$box")"
grep -q -- '<- 05 03 0A 00 00 08' "$work/sim.err" || fail "the window read no parameters at its activation"
first=$box
xdotool windowactivate --sync "$first" 2>/dev/null
xdotool key --clearmodifiers Return
wait_for 5 gone "$first" || fail "the question stays open after Return"

box=""
wait_for 60 find_box || fail "no question the second time"
[ "$(writes)" -eq 0 ] || fail "written although the answer was the default"
xdotool windowactivate --sync "$box" 2>/dev/null
xdotool key --clearmodifiers Tab space
wait_for 5 gone "$box" || fail "the second question stays open"
wait_for 5 grep -q -- '-> 05 90 03' "$work/sim.err" || fail "the value did not go out, or was not refused: $(tail -n3 "$work/sim.err")"
grep -q -- '<- 05 10 0A 01 00 01 02 00 02' "$work/sim.err" || fail "N went out otherwise than as typed"

wait_for 60 find_main || fail "no main window"
wmctrl -ic "$main"
wait_for 10 ended || fail "the program goes on after its main window was closed"
echo "ok: asked in a real box, Return kept the value back, the other button wrote it"
