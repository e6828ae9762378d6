#!/usr/bin/env bash
# The plot's export through the real save dialog, on a real X server with a
# window manager: the program on an instrument whose resistance moves, the
# plot opened from its menu item, "в CSV..." clicked, a path typed into the
# dialog; the file holds the header and the activation's reading.
#   test_plot_export_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
sim_args="--sweep 100:900:60"  # an instrument that answers
. "$(dirname "$0")/x11_session.sh"

start_testlork plot plot
wait_for 20 window_with _NET_WM_NAME '"график"' || fail "no plot window"
plot=$found
# "в CSV..." in the window's top row.
xdotool mousemove --window "$plot" 389 22 click 1
wait_for 60 find_box || fail "no save dialog"
wait_for 5 test "$(xdotool getactivewindow 2>/dev/null)" = "$box" || xdotool windowactivate --sync "$box"
xdotool type --delay 20 "$work/plot.csv"
xdotool key --clearmodifiers Return
wait_for 10 test -s "$work/plot.csv" || fail "no file written after the dialog"
wait_for 5 gone "$box" || fail "the save dialog stays open"

header=$(head -n1 "$work/plot.csv")
[ "$header" = "time,percent,te" ] || fail "header: $header"
line=$(sed -n 2p "$work/plot.csv")
[[ $line =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]+[+-][0-9]{2}:[0-9]{2},[0-9]+\.[0-9]{3},[0-9]+\.[0-9]{3}$ ]] ||
  fail "reading line: $line"

wait_for 60 find_main || fail "no main window"
wmctrl -ic "$main"
wait_for 5 ended || fail "the program goes on after its main window was closed"
echo "ok: $(($(wc -l <"$work/plot.csv") - 1)) readings saved through the dialog"
