# The harness of lorkctl's end-to-end scripts, sourced by each as
#   . "$(dirname "$0")/lorkctl_harness.sh" "$@"      (LORKCTL LORK_SIM)
# It gives $ctl, $simexe, $here, $py, a work folder $work removed at the end
# with every process started here, an environment of the run's own, and:
#   bad TEXT                a failure; the script ends with `exit $fail`
#   run STATUS ARGS...      lorkctl with the time-out T unless own_wait says the
#                           case keeps its own; its output in $work/out, $work/err
#   has FILE TEXT, hasnt FILE TEXT   out or err holds TEXT, or does not
#   start_sim ARGS...       a fresh instrument on a pseudo-terminal: $pty, its
#                           frames in $work/sim.err; stop_sim ends it
#   sim_cmd COMMAND         a command to it, once it has answered
#   requests                how many requests it has had
#   gateway ARGS...         the project's Modbus TCP gateway in front of $pty: $gw
#   background PROGRAM ...  a helper process, ended at the end
set -u
ctl=$1 simexe=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
py=/usr/bin/python3
[ -x "$ctl" ] && [ -x "$simexe" ] || { echo "missing programs"; exit 77; }
work=$(mktemp -d)
sim_pid=
helper_pids=()
stop_sim() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null; fi
  exec 9>&- 2>/dev/null
  sim_pid=
}
end_harness() {
  stop_sim
  for p in "${helper_pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap end_harness EXIT
export XDG_CONFIG_HOME=$work/config HOME=$work XDG_DATA_HOME=$work/data
fail=0
bad() { echo "FAIL: $*"; fail=1; }
has() { grep -qF -- "$2" "$work/$1" || bad "'$2' not in $1: $(cat "$work/$1")"; }
hasnt() { ! grep -qF -- "$2" "$work/$1" || bad "'$2' in $1: $(cat "$work/$1")"; }

start_sim() {
  stop_sim
  rm -f "$work/sim.out" "$work/sim.err" "$work/sim.in"
  mkfifo "$work/sim.in"
  # Above the load of a busy machine where allowed (root): its replies are
  # what the time-outs measure.
  nice -n -10 "$simexe" --verbose "$@" <"$work/sim.in" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  exec 9>"$work/sim.in"
  for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  pty=$(head -n1 "$work/sim.out")
  [ -e "$pty" ] || { echo "lork-sim gave no terminal: $(cat "$work/sim.err")"; exit 77; }
}
sim_cmd() {
  local n
  n=$(wc -l <"$work/sim.out")
  echo "$1" >&9
  for _ in $(seq 100); do [ "$(wc -l <"$work/sim.out")" -gt "$n" ] && return; sleep 0.05; done
  bad "lork-sim did not answer '$1'"
}
requests() { grep -c -- '<- ' "$work/sim.err"; }

background() {
  "$@" &
  helper_pids+=($!)
}
gateway() {
  local out=$work/gw.$RANDOM
  background "$py" "$here/mbtcp_gateway.py" "$pty" "$@" >"$out" 2>&1
  for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
  gw="mbtcp://127.0.0.1:$(head -n1 "$out")"
}

# Ctrl-C to a polling command between two ticks, as soon as FILE has N lines:
# a Ctrl-C in the middle of a long exchange ends by the signal after its grace
# (status 130), which is the design, but not what these cases look at.
# interrupt_after_lines FILE N PID; the command's status in $rc.
interrupt_after_lines() {
  for _ in $(seq 600); do [ "$(grep -c '' "$1")" -ge "$2" ] && break; sleep 0.05; done
  kill -INT "$3"
  wait "$3"
  rc=$?
}

# Timing is not the subject: every exchange gets a time-out a loaded machine
# meets, unless the case gives its own.
T=(--timeout 1500)
own_wait() { case " $* " in *" --timeout "*) return 0 ;; esac; return 1; }
run() {
  local want=$1; shift
  local t=("${T[@]}")
  own_wait "$@" && t=()
  timeout 120 "$ctl" "$@" "${t[@]}" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq "$want" ] || bad "lorkctl $* -> $rc, expected $want; out: $(cat "$work/out"); err: $(cat "$work/err")"
}
