#!/usr/bin/env bash
# A search that ends with its message box, on a real X server with a window
# manager: the box closes from the keyboard, and then the main window closes
# the ordinary way and the program ends. The line is lork-sim never answering.
#   test_search_box_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
command -v Xvfb >/dev/null || { echo "no Xvfb"; exit 77; }
for tool in openbox xdotool wmctrl xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/bootstrap installs it)"; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; wait "${pids[i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; echo "--- testlork:"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }
# wait_for SECONDS COMMAND...: true once COMMAND succeeds.
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@"; do ((SECONDS < end)) || return 1; sleep 0.2; done
}

# The server picks a free display number itself and writes it out.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb gave no display: $(cat "$work/xvfb.err")"
export DISPLAY=":$(head -n1 "$work/display")"
openbox >"$work/wm.log" 2>&1 &
pids+=($!)
wait_for 10 wmctrl -m >/dev/null 2>&1 || fail "no window manager"

"$sim" --silent >"$work/sim.out" 2>"$work/sim.err" </dev/null &
pids+=($!)
wait_for 5 test -s "$work/sim.out" || fail "lork-sim gave no terminal: $(cat "$work/sim.err")"
pty=$(head -n1 "$work/sim.out")

XDG_CONFIG_HOME="$work/config" HOME="$work" QT_QPA_PLATFORM=xcb \
  "$testlork" --port "$pty" --start-command poisk_scor >"$work/out" 2>"$work/err" </dev/null &
app=$!
pids+=($app)

# The modal box is the one window the window manager marks modal.
modal_window() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$app" '' 2>/dev/null); do
    xprop -id "$w" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MODAL && { echo "$w"; return 0; }
  done
  return 1
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
gone() { ! viewable "$1"; }
ended() { ! kill -0 "$app" 2>/dev/null; }

box=""
find_box() { box=$(modal_window); }
wait_for 60 find_box || fail "no message box at the end of the search"
wait_for 5 test "$(xdotool getactivewindow 2>/dev/null)" = "$box" || xdotool windowactivate --sync "$box"
xdotool key --clearmodifiers Return
wait_for 5 gone "$box" || fail "the message box stays open after Return"

main=$(xdotool search --onlyvisible --pid "$app" --name 'RS485' | head -n1)
[ -n "$main" ] || fail "no main window"
wmctrl -ic "$main"
wait_for 5 ended || fail "the program goes on after its main window was closed"
wait "$app"
rc=$?
[ "$rc" -eq 0 ] || fail "testlork ended with $rc"
echo "ok: box closed with Return, program ended after the window closed"
