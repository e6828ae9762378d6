#!/usr/bin/env bash
# The window through the accessibility bus, as a screen reader sees and
# drives it: a session bus of its own, the real program in a real X session
# against an answering lork-sim, and a client on pyatspi that walks every
# page and drives one command of each kind (a11y_walk.py tells which).
#   test_a11y_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
command -v dbus-run-session >/dev/null || { echo "no dbus-run-session"; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "no pyatspi (python3-pyatspi)"; exit 77; }
if [ -z "${LORK_A11Y_BUS:-}" ]; then
  LORK_A11Y_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
sim_args="--address 5 --verbose"
. "$(dirname "$0")/x11_session.sh"

start_testlork a11y ""
wait_for 60 find_main || fail "no main window"
wait_for 10 grep -q 'lork-sim: <-' "$work/sim.err" || fail "the activation sent nothing"
/usr/bin/python3 "$(dirname "$0")/a11y_walk.py" "$app" "$work/sim.err" || fail "through the accessibility bus"
wmctrl -ic "$main"
wait_for 5 ended || fail "the program goes on after its main window was closed"
# The interfaces the bus asked for go with the program, without a crash.
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "testlork ended with $rc"
echo "ok: through the accessibility bus"
