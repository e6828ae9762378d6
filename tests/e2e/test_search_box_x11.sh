#!/usr/bin/env bash
# A search that ends with its message box, on a real X server with a window
# manager: the box closes from the keyboard, and then the main window closes
# the ordinary way and the program ends. The line is lork-sim never answering.
#   test_search_box_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
. "$(dirname "$0")/x11_session.sh"

start_testlork search poisk_scor
wait_for 60 find_box || fail "no message box at the end of the search"
wait_for 5 test "$(xdotool getactivewindow 2>/dev/null)" = "$box" || xdotool windowactivate --sync "$box"
xdotool key --clearmodifiers Return
wait_for 5 gone "$box" || fail "the message box stays open after Return"

wait_for 60 find_main || fail "no main window"
wmctrl -ic "$main"
wait_for 5 ended || fail "the program goes on after its main window was closed"
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "testlork ended with $rc"
echo "ok: box closed with Return, program ended after the window closed"
