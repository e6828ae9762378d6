#!/usr/bin/env bash
# A blind operator's session, judged by what the screen reader Orca says:
# the real window on the accessibility bus in a real X session against
# lork-sim, driven from the keyboard alone, and Orca's own "SPEECH OUTPUT"
# lines read back from its debug log. Orca speaks through speech-dispatcher
# into a module that writes files, with no sound card.
#   test_orca_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
for tool in orca speech-dispatcher; do
  command -v "$tool" >/dev/null || { echo "no $tool"; exit 77; }
done
command -v dbus-run-session >/dev/null || { echo "no dbus-run-session"; exit 77; }
if [ -z "${LORK_ORCA_BUS:-}" ]; then
  LORK_ORCA_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

# The simulator takes commands ("fault silent") through a pipe held open here.
pipe_dir=$(mktemp -d)
mkfifo "$pipe_dir/sim"
exec 7<>"$pipe_dir/sim"
sim_input="$pipe_dir/sim"
sim_args="--address 5"
. "$(dirname "$0")/x11_session.sh"
trap 'cleanup; rm -rf "$pipe_dir"' EXIT

# Orca's and speech-dispatcher's settings in a home of their own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/run" LANG=C.UTF-8
mkdir -p "$XDG_CONFIG_HOME/speech-dispatcher/modules" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$HOME/.asoundrc"
cat >"$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf" <<EOF
CommunicationMethod "unix_socket"
SocketPath "default"
AudioOutputMethod "alsa"
AddModule "logspeak" "sd_generic" "logspeak.conf"
DefaultModule logspeak
Timeout 0
EOF
cat >"$XDG_CONFIG_HOME/speech-dispatcher/modules/logspeak.conf" <<EOF
GenericExecuteSynth "printf '%s\\\\n' \'\$DATA\' >> $work/spoken"
AddVoice "ru" "MALE1" "ru"
DefaultVoice "ru"
GenericLanguage "ru" "ru" "utf-8"
EOF
if [ -x /usr/libexec/at-spi-bus-launcher ]; then
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
  pids+=($!)
fi
speech-dispatcher --spawn -t 0 >"$work/speechd.log" 2>&1 || fail "speech-dispatcher did not start"
olog="$work/orca.log"
# Orca's own command would kill (and be killed by) the Orca of any other
# session of this user; this one lives alone and logs line by line.
/usr/bin/python3 "$(dirname "$0")/orca_alone.py" --debug-file="$olog" >"$work/orca.out" 2>&1 &
pids+=($!)
# What Orca said, out of its long log as it is written.
speech="$work/speech"
: >"$speech"
tail -n +1 -F --pid=$$ "$olog" 2>/dev/null | grep --line-buffered -a "SPEECH OUTPUT: '" >"$speech" &
pids+=($!)

# --- what Orca said
t0=$SECONDS
stage() { echo "$((SECONDS - t0)) s: $*"; }
count() { wc -l <"$speech"; }
# The lines after the first N, each as "E text" for Orca's echo of a key
# (its line alone has a blank before "{") or "S text" for anything else.
tagged() {
  tail -n +$(($1 + 1)) "$speech" |
    sed -n "s/^.*SPEECH OUTPUT: '\(.*\)' \[\?{.*$/E \1/p; t; s/^.*SPEECH OUTPUT: '\(.*\)'\[\?{.*$/S \1/p"
}
said() { tagged "$1" | cut -c3-; }
mark=0
# hear SECONDS PATTERN: Orca says PATTERN after the mark (set by press).
hear() {
  local end=$((SECONDS + $1))
  until said "$mark" | grep -q -- "$2"; do ((SECONDS < end)) || return 1; sleep 0.2; done
}
# press KEY: the mark is set after Orca's echo of the key, where what the key
# brought begins. Orca echoes Tab, space, Return, letters and digits, not
# function or arrow keys: after those the mark stays before the key. The echo
# is looked for by its word, as an echo of an earlier key can come late.
press() {
  local before n end echo
  before=$(count)
  mark=$before
  xdotool key --clearmodifiers "$@"
  case "$1" in
    Tab | shift+Tab) echo="^E tab $" ;;
    space) echo="^E space $" ;;
    Return) echo="^E return $" ;;
    [a-z0-9]) echo="^E $1 $" ;;
    *) return ;;
  esac
  end=$((SECONDS + 5))
  while ((SECONDS < end)); do
    n=$(tagged "$before" | grep -n -- "$echo" | head -n1 | cut -d: -f1)
    [ -n "$n" ] && { mark=$((before + n)); return; }
    sleep 0.1
  done
}
# Orca has said what the last key brought: a line after its echo, then half
# a second without a word (both bounded).
settle() {
  local end=$((SECONDS + 10)) n
  until [ "$(count)" -gt "$mark" ]; do ((SECONDS < end)) || return 0; sleep 0.1; done
  end=$((SECONDS + 5))
  n=$(count)
  while ((SECONDS < end)); do
    sleep 0.25
    [ "$(count)" = "$n" ] && return 0
    n=$(count)
  done
}
# to KEY BACK PATTERN: KEY pressed until Orca says PATTERN. On a busy machine
# Orca can say it after the next press's echo: then BACK as many times as
# keys followed it, to where PATTERN is said again.
to() {
  local key=$1 back=$2 pattern=$3 start i n
  start=$(count)
  for i in $(seq 60); do
    press "$key"
    settle
    said "$mark" | grep -q -- "$pattern" && return 0
    n=$(tagged "$start" | awk -v p="$pattern" '{ if (substr($0, 3) ~ p) { n = 0; found = 1 } else if (/^E tab $/) n++ }
                                                END { if (found) print n }')
    if [ -n "$n" ]; then
      for ((i = 0; i < n; i++)); do press "$back"; settle; done
      hear 5 "$pattern" && return 0
      return 1
    fi
  done
  return 1
}
# Orca has caught up: it has said nothing for a second (its log never stands
# still, its speech does).
quiet() {
  local end=$((SECONDS + 30)) n=-1 now
  while ((SECONDS < end)); do
    now=$(count)
    [ "$now" = "$n" ] && return 0
    n=$now
    sleep 1
  done
}
heard_fail() {
  echo "--- Orca said:"; said 0 | tail -n 60
  [ -n "${LORK_KEEP_ORCA_LOG:-}" ] && cp "$olog" "$LORK_KEEP_ORCA_LOG"
  fail "$@"
}
# The line after the one that matches $1 matches $2 (Orca says a combo
# box's name and role, then its value).
followed() { said "$first" | grep -A1 -- "$1" | tail -n1 | grep -q -- "$2"; }

wait_for 60 grep -aq "SPEECH OUTPUT: 'Screen reader on.'" "$olog" || fail "Orca did not start: $(tail -n 5 "$work/orca.out")"
export QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_testlork orca ""
wait_for 60 find_main || fail "no main window"
xdotool windowactivate --sync "$main" 2>/dev/null
hear 30 "RS485 frame" || heard_fail "the window was not presented"
quiet

stage "the window is presented"

# The focus starts on "запрос": the poll type is just behind it, and Up
# picks the type above.
press shift+Tab
hear 10 "по запросу" || heard_fail "shift+Tab did not reach the poll type"
press Up
hear 10 "^периодический" || heard_fail "Up did not pick the periodic poll type"

# Each combo box says its value when Tab reaches it.
first=$(count)
to Tab shift+Tab "Период опроса, с combo box" || heard_fail "Tab never reached the polling period"
for pair in "Скорость combo box|9600" "Паритет combo box|нет" "Стопбит combo box|^1" "Период опроса, с combo box|^2"; do
  followed "${pair%%|*}" "${pair##*|}" || heard_fail "no value heard after '${pair%%|*}'"
done
stage "the combo boxes are heard"

# Periodic polling, and the instrument falls silent during it.
to Tab shift+Tab "пуск push button" || heard_fail "Tab never reached 'пуск'"
press space
hear 10 "периодический опрос запущен" || heard_fail "polling's start was not heard"
mark=$(count)
echo "fault silent" >&7
hear 8 "нет связи с прибором 5" || heard_fail "the lost link was not heard within 8 s"
hear 10 "периодический опрос остановлен" || heard_fail "polling's end was not heard"
# Orca's status bar command (Insert+KP_Enter twice) reads the panels, the
# lost link's among them.
mark=$(count)
xdotool keydown Insert key KP_Enter KP_Enter keyup Insert
hear 10 "нет связи с [0-9]" || heard_fail "the status bar command did not read the lost link"
echo "fault none" >&7
# F5 with the focus on a tool button: the link's return and the reading
# are heard.
quiet
press F5
hear 10 "связь восстановлена" || heard_fail "the link's return was not heard"
hear 10 "показание 25.5 %" || heard_fail "F5's reading was not heard"
stage "the lost link, its return and F5's reading are heard"

# An address sweep of about ten seconds, ended with Q: its progress is
# heard while it runs, Orca is not flooded, and it answers the next key at
# once.
quiet
press F10
hear 10 "файл" || heard_fail "F10 did not open the menu"
# Right and Left go from menu to menu, heard as the item reached (the first
# of "НАСТРОЙКИ" is "показания", of "файл" "поиск прибора").
press Right
hear 10 "^показания\.$" || heard_fail "Right did not reach the next menu"
settle
! said "$mark" | grep -q "frame\|RS485" || heard_fail "Right was heard as the main window"
press Left
hear 10 "^поиск прибора\.$\|^файл\.$" || heard_fail "Left did not reach the menu before"
settle
to Down Up "поиск номера" || heard_fail "no 'поиск номера' in the menu"
from=$(wc -l <"$olog")
press Return
swept=$SECONDS
hear 12 "адрес [0-9]* из 247" || heard_fail "the sweep's progress was not heard while it ran"
# The sweep surely runs from a second after its progress is heard to a second
# before Q: the clock's own texts of that span are what must not appear.
# (Orca's log is no timeline: it may log a tick of before the sweep after the
# sweep's first words, and echo Q long before the program sees it.)
sweep_from=$(date -d '+1 sec' +%T)
while ((SECONDS < swept + 10)); do sleep 0.5; done
sweep_to=$(date -d '-1 sec' +%T)
press q
hear 15 "прервали поиск на" || heard_fail "the sweep's end was not heard"
tail -n +"$from" "$olog" | grep -a "FLOOD\|DELUGE" | head -n 3 | grep . && heard_fail "Orca was flooded during the sweep"
# While Orca is answered during the sweep, nothing else of the program runs:
# the clock, which Orca is told of each second, stands still until Q.
clock="text-changed:insert for [text | текущее время]"
during() {
  [[ "$sweep_from" < "$sweep_to" ]] || return 0 # the sweep ran over midnight
  tail -n +"$from" "$olog" | grep -aF -- "$clock" |
    sed -n 's/.*время \([0-9][0-9]:[0-9][0-9]:[0-9][0-9]\).*/\1 &/p' | awk -v a="$sweep_from" -v b="$sweep_to" '$1 >= a && $1 <= b'
}
after() { tail -n +"$from" "$olog" | awk -v e="$clock" "/SPEECH OUTPUT: 'q ' \\{/ { f = 1 } f && index(\$0, e)"; }
[ -z "$(during)" ] || heard_fail "the clock ran during the sweep: $(during | head -n 1)"
hear_after() { [ -n "$(after)" ]; }
wait_for 5 hear_after || heard_fail "the clock did not run again after the sweep"
quiet
press Tab
hear 3 "[^ ]$" || heard_fail "Orca did not answer the next key within 3 s"
stage "the sweep is heard"

# The readout: the indicator and every LED, key and switch, in one sentence.
to Tab shift+Tab "ТЕКУЩИЕ ПОКАЗАНИЯ" || heard_fail "Tab never reached the readout"
hear 5 "показание 25.5 %, P горит, K1 не горит, K2 не горит, I не горит, ключ K1 выключен" ||
  heard_fail "the readout's value and LEDs were not heard"
stage "the readout is heard"

# A parameter's write, of a value the instrument's rules allow with what it
# holds (R = 10, U = 50): its outcome is heard where the focus stays.
press ctrl+2
to Tab shift+Tab "число ступеней, новое значение" || heard_fail "Tab never reached the new N"
xdotool key --clearmodifiers ctrl+a
press 9
press 0
settle
to Tab shift+Tab "изменить N" || heard_fail "Tab never reached 'изменить N'"
press space
hear 8 "записано: N = 90" || heard_fail "the write's outcome was not heard"
stage "the write is heard"

wmctrl -ic "$main"
wait_for 10 ended || fail "the program goes on after its main window was closed"
echo "ok: Orca heard the combo boxes' values, the readout, F5's reading, the lost link, the sweep and a write"
