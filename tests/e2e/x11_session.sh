# Sourced by the tests that need a real X server: Xvfb on a display number it
# picks itself (the screen size in $screen, 1280x1024 unless set), a small
# window manager, lork-sim never answering (unless the test sets sim_args to
# the simulator's options first; its commands from $sim_input when set),
# and clean-up of everything started. Ends
# the test with 77 (skipped) where Xvfb is missing.
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
fail() { echo "FAIL: $*"; echo "--- testlork:"; cat "$work"/out* "$work"/err* 2>/dev/null; exit 1; }
# wait_for SECONDS COMMAND...: true once COMMAND succeeds.
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@"; do ((SECONDS < end)) || return 1; sleep 0.2; done
}

Xvfb -displayfd 3 -screen 0 "${screen:-1280x1024}x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb gave no display: $(cat "$work/xvfb.err")"
export DISPLAY=":$(head -n1 "$work/display")"
openbox >"$work/wm.log" 2>&1 &
pids+=($!)
wait_for 10 wmctrl -m >/dev/null 2>&1 || fail "no window manager"

"$sim" ${sim_args---silent} >"$work/sim.out" 2>"$work/sim.err" <"${sim_input:-/dev/null}" &
pids+=($!)
wait_for 5 test -s "$work/sim.out" || fail "lork-sim gave no terminal: $(cat "$work/sim.err")"
pty=$(head -n1 "$work/sim.out")

# start_testlork NAME COMMAND [OPTION...]: the program on the silent line
# (or the line in $pty), running the menu command COMMAND (if any) once it
# is up; its pid in $app.
start_testlork() {
  XDG_CONFIG_HOME="$work/config-$1" HOME="$work" QT_QPA_PLATFORM=xcb \
    "$testlork" --port "$pty" ${2:+--start-command "$2"} "${@:3}" >"$work/out-$1" 2>"$work/err-$1" </dev/null &
  app=$!
  pids+=($app)
}
# The windows of the program's process that are on the screen. A look-up can
# trip over a window that goes while it runs; the callers retry.
windows_of() { xdotool search --onlyvisible --pid "$1" '' 2>/dev/null; }
# window_with PROPERTY VALUE: the program's window whose PROPERTY holds
# VALUE, into $found.
found=""
window_with() {
  local w
  for w in $(windows_of "$app"); do
    xprop -id "$w" "$1" 2>/dev/null | grep -q "$2" && { found=$w; return 0; }
  done
  return 1
}
# The one window the window manager marks modal, into $box.
box=""
find_box() { window_with _NET_WM_STATE _NET_WM_STATE_MODAL && box=$found; }
main=""
find_main() { main=$(xdotool search --onlyvisible --pid "$app" --name 'RS485' 2>/dev/null | head -n1); [ -n "$main" ]; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
gone() { ! viewable "$1"; }
ended() { ! kill -0 "$app" 2>/dev/null; }
# The window's name as the window manager shows it.
net_name() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
