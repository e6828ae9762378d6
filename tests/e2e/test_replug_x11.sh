#!/usr/bin/env bash
# An adapter pulled and plugged in again while polling runs, on a real X
# server with a window manager and the real message boxes: lork-sim, behind
# a fixed path, is killed; the box of the dead line is closed from the
# keyboard; the simulator comes back under the same path, and "пуск" polls
# again without the port being chosen again. The log of exchanges tells
# what the window did.
#   test_replug_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
. "$(dirname "$0")/x11_session.sh"

pty="$work/tty"
log="$work/log.csv"
line=""
plug() {
  "$sim" --address 5 --link "$pty" >"$work/line.out" 2>&1 </dev/null &
  line=$!
  pids+=($line)
  wait_for 5 test -e "$pty"
}
# The device goes and its path with it (left behind, the path would name
# whichever terminal gets that number next).
pull() { kill -9 "$line"; wait "$line" 2>/dev/null; rm -f "$pty"; }
# Polling ticks the instrument answered to the end (the measurement read is
# their last exchange); the line is pulled between two ticks, so that the
# next presence check finds it gone.
answered() { grep -c ',опрос,0,05 04 00 10 .*,0,ОК: нет ошибок$' "$log"; }
more_than() { (($(answered) > $1)); }
unanswered() { grep -c '"опрос, проба",1,.*,11,не дождались ответа$' "$log"; }
# "периодический", then "пуск": where the window lays them out on this screen.
start_polling() {
  xdotool mousemove --window "$main" 680 480 click 1
  sleep 0.3
  xdotool mousemove --window "$main" 42 48 click 1
}

plug || fail "lork-sim gave no line"
start_testlork replug "" --log "$log"
wait_for 20 find_main || fail "no main window"
wait_for 10 grep -q '^11,' "$log" || fail "the activation did not read the instrument"
for cycle in 1 2; do
  before=$(answered)
  start_polling
  wait_for 10 more_than "$before" || fail "cycle $cycle: \"пуск\" does not poll"
  dead=$(unanswered)
  pull
  wait_for 10 find_box || fail "cycle $cycle: no message box for the dead line"
  boxes=0
  while find_box; do
    boxes=$((boxes + 1))
    xdotool windowactivate --sync "$box" 2>/dev/null
    xdotool key --clearmodifiers Return
    wait_for 5 gone "$box" || fail "cycle $cycle: the message box stays open after Return"
    sleep 1.5
  done
  echo "cycle $cycle: $boxes message box(es) closed"
  (($(unanswered) > dead)) || fail "cycle $cycle: no failed presence check"
  after=$(answered)
  sleep 2.5
  (($(answered) == after)) || fail "cycle $cycle: polling goes on over the dead line"
  plug || fail "lork-sim did not come back"
done
before=$(answered)
start_polling
wait_for 10 more_than "$before" || fail "\"пуск\" does not poll after the last re-plug"

wmctrl -ic "$main"
wait_for 5 ended || fail "the program goes on after its main window was closed"
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "testlork ended with $rc"
echo "ok: polling stopped by the dead line, box closed, \"пуск\" polls again, twice"
