#!/usr/bin/env bash
# An adapter pulled and plugged in again while polling runs, on a real X
# server with a window manager and the real message boxes, over a
# pseudo-terminal, a plain TCP device server (socat) and an RFC 2217 one
# (ser2net): lork-sim, behind a fixed path, is killed; the one box of the
# dead line is closed from the keyboard, and the activation that follows
# raises none; the simulator comes back under the same path, and "пуск" polls
# again without the port being chosen again. The log of exchanges tells what
# the window did.
#   test_replug_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
. "$(dirname "$0")/x11_session.sh"
for tool in socat ser2net; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/bootstrap installs it)"; exit 1; }
done

link="$work/tty"
log=""
line=""
plug() {
  "$sim" --address 5 --link "$link" >"$work/line.out" 2>&1 </dev/null &
  line=$!
  pids+=($line)
  wait_for 10 test -e "$link"
}
# The device goes and its path with it (left behind, the path would name
# whichever terminal gets that number next).
pull() { kill -9 "$line"; wait "$line" 2>/dev/null; rm -f "$link"; }
# Polling ticks the instrument answered to the end (the measurement read is
# their last exchange); the line is pulled between two ticks, so that the
# next presence check finds it gone.
answered() { grep -c ',опрос,0,05 04 00 10 .*,0,ОК: нет ошибок$' "$log"; }
more_than() { (($(answered) > $1)); }
# Rows that name a port failure (no result code, the failure in words), and
# rows of a request that went unanswered.
port_failures() { grep -Ec ',,"?(ошибка при передаче= [0-9]+|ошибка при приёме|ошибка настройки порта); Порт ' "$log"; }
no_replies() { grep -c ',11,не дождались ответа$' "$log"; }
# "периодический", then "пуск": where the window lays them out on this screen.
start_polling() {
  xdotool mousemove --window "$main" 680 480 click 1
  sleep 0.3
  xdotool mousemove --window "$main" 42 48 click 1
}

# replug VIA PORT: two re-plugs with the program on PORT.
replug() {
  local via=$1 port=$2
  log="$work/log-$via.csv"
  plug || fail "$via: lork-sim gave no line"
  pty=$port start_testlork "$via" "" --log "$log"
  wait_for 60 find_main || fail "$via: no main window"
  wait_for 20 grep -q '^11,' "$log" || fail "$via: the activation did not read the instrument"
  for cycle in 1 2; do
    before=$(answered)
    start_polling
    wait_for 20 more_than "$before" || fail "$via cycle $cycle: \"пуск\" does not poll"
    failures=$(port_failures) silent=$(no_replies)
    pull
    wait_for 60 find_box || fail "$via cycle $cycle: no message box for the dead line"
    boxes=0
    # Each box closed gives the window back; the activation that follows
    # meets the same failure and must not raise a box of its own.
    while find_box; do
      boxes=$((boxes + 1))
      xdotool windowactivate --sync "$box" 2>/dev/null
      xdotool key --clearmodifiers Return
      wait_for 10 gone "$box" || fail "$via cycle $cycle: the message box stays open after Return"
      sleep 2
    done
    echo "$via cycle $cycle: $boxes message box(es) closed"
    ((boxes == 1)) || fail "$via cycle $cycle: $boxes boxes for one pulled adapter"
    (($(port_failures) > failures)) || fail "$via cycle $cycle: no journal row names the port failure"
    (($(no_replies) == silent)) || fail "$via cycle $cycle: a port failure logged as \"не дождались ответа\""
    after=$(answered)
    sleep 2.5
    (($(answered) == after)) || fail "$via cycle $cycle: polling goes on over the dead line"
    plug || fail "$via: lork-sim did not come back"
  done
  before=$(answered)
  start_polling
  wait_for 20 more_than "$before" || fail "$via: \"пуск\" does not poll after the last re-plug"

  wmctrl -ic "$main"
  wait_for 10 ended || fail "$via: the program goes on after its main window was closed"
  wait "$app"
  rc=$?
  [ "$rc" -eq 0 ] || fail "$via: testlork ended with $rc"
  pull
}

# free_port: a TCP port nobody listens on now.
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
listening() { ss -ltn "sport = :$1" | grep -q LISTEN; }

replug tty "$link"

tcp=$(free_port)
# fork: each connection opens the path afresh, as a device server does.
socat "TCP-LISTEN:$tcp,bind=127.0.0.1,reuseaddr,fork" "FILE:$link,raw,echo=0" >"$work/socat.log" 2>&1 &
pids+=($!)
wait_for 20 listening "$tcp" || fail "socat does not listen"
replug tcp "tcp://127.0.0.1:$tcp"

rfc=$(free_port)
cat >"$work/ser2net.yaml" <<EOF
connection: &sim
  accepter: telnet(rfc2217),tcp,127.0.0.1,$rfc
  connector: serialdev,$link,9600n81,local
  options:
    kickolduser: true
EOF
ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
pids+=($!)
wait_for 20 listening "$rfc" || fail "ser2net does not listen"
replug rfc2217 "rfc2217://127.0.0.1:$rfc"

echo "ok: over tty, tcp:// and rfc2217://, one box per pulled adapter, the journal names the port failure, \"пуск\" polls again"
