#!/usr/bin/env bash
# A measurement, not a test (ctest does not run it): the real program polls
# lork-sim on a pseudo-terminal at the 1 s period, under Xvfb, with
# "не прекращать опрос при сбоях" on, while single faulty replies are
# injected at random moments (a bad CRC, a wrong function, a short reply, no
# reply). At the end it counts, from the program's log file, the failed
# exchanges against the faults injected, the polling ticks, and the longest
# gap between two ticks: polling that stopped shows as a gap.
#   bench/soak_keep_polling.sh BUILD_DIR [SECONDS] [FAULT_EVERY_SECONDS] [KEEP_DIR]
# KEEP_DIR, when given, receives the log and the times of the faults.
set -u
build=${1:?build directory}
seconds=${2:-900}
every=${3:-5}
keep=${4:-}
testlork="$build/app/testlork"
sim="$build/sim/lork-sim"
for tool in Xvfb openbox xdotool; do command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }; done

work=$(mktemp -d)
pids=()
cleanup() {
  exec 4>&- 2>/dev/null
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; wait "${pids[i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; cat "$work"/err "$work"/out 2>/dev/null; head -n 20 "$work/log.csv" 2>/dev/null; exit 1; }
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@"; do ((SECONDS < end)) || return 1; sleep 0.2; done
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "no X display"
export DISPLAY=":$(head -n1 "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)

# The simulator reads its commands from a FIFO this script holds open.
mkfifo "$work/cmd"
"$sim" --address 5 --pace <"$work/cmd" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
exec 4>"$work/cmd"
wait_for 5 test -s "$work/sim.out" || fail "lork-sim gave no terminal"
pty=$(head -n1 "$work/sim.out")

# The operator's choice comes from the settings file, as after a save.
mkdir -p "$work/config"
printf '[\xf1\xe2\xff\xe7\xfc]\r\n\xcd\xce\xcc\xc5\xd0=5\r\n\xcf\xc5\xd0\xc8\xce\xc4 \xce\xcf\xd0\xce\xd1\xc0=0\r\n\xcd\xc5 \xcf\xd0\xc5\xca\xd0\xc0\xd9\xc0\xd2\xdc \xce\xcf\xd0\xce\xd1=1\r\n' \
  >"$work/config/testlork.ini"  # [связь] НОМЕР=5, ПЕРИОД ОПРОСА=0 (1 s), НЕ ПРЕКРАЩАТЬ ОПРОС=1
log="$work/log.csv"
XDG_CONFIG_HOME="$work/config" HOME="$work" QT_QPA_PLATFORM=xcb \
  "$testlork" --port "$pty" --log "$log" --start-command "RGtyp_opros_0,ToolButton1" \
  >"$work/out" 2>"$work/err" </dev/null &
app=$!
pids+=($app)
ticks() { local n; n=$(grep -c '"опрос, проба"' "$log" 2>/dev/null); echo "${n:-0}"; }
polling() { (($(ticks) > 2)); }
wait_for 30 polling || fail "polling did not start"

kinds=(badcrc otherfunc truncate silent)
declare -A injected=()
total=0
end=$((SECONDS + seconds))
while ((SECONDS < end)); do
  # A random moment within each interval, so faults hit every exchange of a tick.
  sleep "$(awk -v e="$every" -v r="$RANDOM" 'BEGIN { printf "%.3f", e * (0.5 + r / 32768) }')"
  kind=${kinds[RANDOM % ${#kinds[@]}]}
  echo "fault $kind 1" >&4
  echo "$(date +%H:%M:%S.%3N) $kind" >>"$work/faults"
  injected[$kind]=$((${injected[$kind]:-0} + 1))
  total=$((total + 1))
done
sleep 3  # the last fault's tick
kill -0 "$app" 2>/dev/null || fail "testlork ended during the soak"
[ -n "$keep" ] && mkdir -p "$keep" && cp "$log" "$work/faults" "$keep/"

echo "faults injected: $total (${injected[*]@K})"
/usr/bin/python3 - "$log" <<'EOF2'
import collections, csv, datetime, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding="utf-8")))
ticks = [r for r in rows if r["command"] == "опрос, проба"]
times = [datetime.datetime.fromisoformat(r["time"]) for r in ticks]
gaps = [(b - a).total_seconds() for a, b in zip(times, times[1:])]
failed = [r for r in rows if r["code"] != "0"]
print("exchanges logged: %d, polling ticks: %d, longest gap between ticks: %.2f s"
      % (len(rows), len(ticks), max(gaps)))
print("failed exchanges logged: %d (of them failed presence reads: %d)"
      % (len(failed), sum(1 for r in failed if r["probe"] == "1")))
for (code, text), n in sorted(collections.Counter((r["code"], r["result"]) for r in failed).items()):
    print("  %4d  %s %s" % (n, code, text))
EOF2
