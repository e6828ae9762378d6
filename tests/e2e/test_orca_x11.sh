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
orca --replace --debug-file="$olog" >"$work/orca.out" 2>&1 &
pids+=($!)

# --- what Orca said
count() { grep -ac "SPEECH OUTPUT: '" "$olog" 2>/dev/null || echo 0; }
said() { grep -a "SPEECH OUTPUT: '" "$olog" | tail -n +$(($1 + 1)) | sed "s/^.*SPEECH OUTPUT: '\(.*\)' *{.*$/\1/"; }
mark=0
# hear SECONDS PATTERN: Orca says PATTERN after the mark (set by press).
hear() {
  local end=$((SECONDS + $1))
  until said "$mark" | grep -q -- "$2"; do ((SECONDS < end)) || return 1; sleep 0.3; done
}
# Orca writes its log with a delay: what a key brought is what follows
# Orca's echo of that key (the echo's line alone has a blank before "{").
press() {
  local before i n
  before=$(count)
  mark=$before
  xdotool key --clearmodifiers "$@"
  for i in $(seq 20); do
    n=$(grep -a "SPEECH OUTPUT: '" "$olog" | tail -n +$((before + 1)) | grep -n "' {" | head -n1 | cut -d: -f1)
    [ -n "$n" ] && { mark=$((before + n)); return; }
    sleep 0.2
  done
}
# to KEY PATTERN: KEY pressed until Orca says PATTERN.
to() {
  local i
  for i in $(seq 90); do
    press "$1"
    # Orca echoes the key at once; what the key reached follows.
    hear 6 "[^ ]$" || true
    sleep 0.4
    said "$mark" | grep -q -- "$2" && return 0
  done
  return 1
}
# Orca has caught up: it has said nothing for two seconds (its log never
# stands still: the clock ticks).
quiet() {
  local end=$((SECONDS + 30)) n=-1 now
  while ((SECONDS < end)); do
    now=$(count)
    [ "$now" = "$n" ] && return 0
    n=$now
    sleep 2
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
wait_for 20 find_main || fail "no main window"
xdotool windowactivate --sync "$main" 2>/dev/null
hear 30 "RS485 frame" || heard_fail "the window was not presented"
quiet

# Each combo box says its value when Tab reaches it.
first=$(count)
to Tab "Период опроса, с combo box" || heard_fail "Tab never reached the polling period"
sleep 1
for pair in "Скорость combo box|9600" "Паритет combo box|нет" "Стопбит combo box|^1" "Период опроса, с combo box|^2"; do
  followed "${pair%%|*}" "${pair##*|}" || heard_fail "no value heard after '${pair%%|*}'"
done

# F5 with the focus on a tool button: the reading is heard.
to Tab "пуск push button" || heard_fail "Tab never reached 'пуск'"
press F5
hear 10 "показание 25.5 %" || heard_fail "F5's reading was not heard"

# The readout: the indicator and every LED, key and switch, in one sentence.
to Tab "ТЕКУЩИЕ ПОКАЗАНИЯ" || heard_fail "Tab never reached the readout"
hear 5 "показание 25.5 %, P горит, K1 не горит, K2 не горит, I не горит, ключ K1 выключен" ||
  heard_fail "the readout's value and LEDs were not heard"

# Periodic polling, and the instrument falls silent during it.
to Tab "^периодический" || heard_fail "Tab never reached the periodic poll type"
press space
to Tab "пуск push button" || heard_fail "Tab never reached 'пуск'"
press space
hear 6 "периодический опрос запущен" || heard_fail "polling's start was not heard"
mark=$(count)
echo "fault silent" >&7
hear 8 "нет связи с прибором 5" || heard_fail "the lost link was not heard within 8 s"
hear 6 "периодический опрос остановлен" || heard_fail "polling's end was not heard"
echo "fault none" >&7
quiet
press F5
hear 10 "связь восстановлена" || heard_fail "the link's return was not heard"

# A 12-second address sweep, ended with Q: its progress is heard, Orca is
# not flooded, and it answers the next key at once.
quiet
press F10
hear 5 "файл" || heard_fail "F10 did not open the menu"
to Down "поиск номера" || heard_fail "no 'поиск номера' in the menu"
from=$(wc -l <"$olog")
press Return
sleep 12
press q
hear 15 "прервали поиск на" || heard_fail "the sweep's end was not heard"
hear 10 "адрес [0-9]* из 247" || heard_fail "the sweep's progress was not heard"
tail -n +"$from" "$olog" | grep -a "FLOOD\|DELUGE" | head -n 3 | grep . && heard_fail "Orca was flooded during the sweep"
quiet
press Tab
hear 3 "[^ ]$" || heard_fail "Orca did not answer the next key within 3 s"

# A parameter's write: its outcome is heard where the focus stays.
press ctrl+2
quiet
to Tab "изменить N" || heard_fail "Tab never reached 'изменить N'"
press space
hear 8 "записано: N = 2" || heard_fail "the write's outcome was not heard"

wmctrl -ic "$main"
wait_for 10 ended || fail "the program goes on after its main window was closed"
echo "ok: Orca heard the combo boxes' values, the readout, F5's reading, the lost link, the sweep and a write"
