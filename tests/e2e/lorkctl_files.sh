#!/usr/bin/env bash
# Files lorkctl is handed and must not trust: templates that are no regular
# file, too big or malformed; records that cannot be opened or written; a run
# cut short while the instrument holds back its echo. One row per case: the
# status, the words on standard error, the memory the run took.
#   lorkctl_files.sh LORKCTL LORK_SIM
. "$(dirname "$0")/lorkctl_harness.sh" "$@"
start_sim

# The files of the rows.
mkfifo "$work/fifo.json" "$work/fifo.jsonl"
printf '{"light": 1}%8000s' "" >"$work/big.json"
printf '{"light":\n 0x0A00}' >"$work/hex.json"
printf '{"res": " +5"}' >"$work/plus.json"
printf '\xEF\xBB\xBF{"light": 1}' >"$work/bom.json"
printf '{"light": 2}' >"$work/light.json"
# Timing is not the subject: room for a loaded machine.
T=(--timeout 2000)

# row STATUS 'TEXT ON STDERR' ARGS...: lorkctl ends within 20 s with STATUS,
# says TEXT, and never holds more than 200 MB.
row() {
  local want=$1 text=$2; shift 2
  echo 0 >"$work/rss"
  local tm=()
  [ -x /usr/bin/time ] && tm=(/usr/bin/time -f %M -o "$work/rss")
  "${tm[@]}" timeout 20 "$ctl" "$@" >"$work/out" 2>"$work/err" </dev/null
  local rc=$? rss
  rss=$(tail -n1 "$work/rss")
  [ "$rc" -eq "$want" ] || bad "lorkctl $* -> $rc, expected $want; stderr: $(cat "$work/err")"
  [ -z "$text" ] || grep -qF -- "$text" "$work/err" || bad "lorkctl $*: '$text' not in: $(cat "$work/err")"
  [ "${rss:-0}" -lt 200000 ] 2>/dev/null || bad "lorkctl $*: $rss KB"
}

n=$(requests)
#   status  what it says                                   command
row 2 "не задано имя порта"                               apply --port "" /dev/zero
row 2 "/dev/zero: не обычный файл"                        apply --port "$pty" /dev/zero
row 2 "fifo.json: не обычный файл"                        apply --port "$pty" "$work/fifo.json"
row 2 "big.json: больше 4096 байт"                        apply --port "$pty" "$work/big.json"
row 2 "hex.json:2:2: не JSON-объект шаблона: неверное число" apply --port "$pty" "$work/hex.json"
row 2 "plus.json:1:9: значение res должно быть от 5 до 20, а не ' +5'" apply --port "$pty" "$work/plus.json"
row 2 "raw: начало — число от 0 до 65535"                 raw read --port "$pty" 3 0x0x0A00 1
row 2 "raw: начало — число от 0 до 65535"                 raw read --port "$pty" 3 "0x +2560" 1
row 2 "значение light должно быть от 0 до 2, а не ' +1'"  set --port "$pty" "light= +1"
row 5 "fifo.jsonl: не открыть: у канала нет читателя"     apply --port "$pty" --record "$work/fifo.jsonl" "$work/light.json"
row 5 "не открыть: это папка"                             apply --port "$pty" --record "$work" "$work/light.json"
[ "$(requests)" -eq "$n" ] || bad "a refused file still let requests out"
row 0 ""                                                  apply --port "$pty" "${T[@]}" "$work/bom.json"
row 5 "--record /dev/full: итог не записан: нет места"    apply --port "$pty" "${T[@]}" --record /dev/full "$work/light.json"

# Ctrl-C while a write waits out a long time-out for an echo that never
# comes: the instrument took it, and the record says so.
echo "fault lostecho 1" >&9
sleep 0.2
: >"$work/rec.jsonl"
light_writes() { grep -c -- '<- 05 10 0A 03' "$work/sim.err"; }
w=$(light_writes)
"$ctl" apply --port "$pty" --timeout 60000 --record "$work/rec.jsonl" "$work/bom.json" >"$work/out" 2>"$work/err" &
ctl_pid=$!
for _ in $(seq 400); do [ "$(light_writes)" -gt "$w" ] && break; sleep 0.05; done
kill -INT "$ctl_pid"
wait "$ctl_pid"; rc=$?
[ "$rc" -eq 130 ] || bad "apply cut short ended with $rc: $(cat "$work/err")"
[ "$(wc -l <"$work/rec.jsonl")" -eq 1 ] || bad "one record expected: $(cat "$work/rec.jsonl")"
grep -qF '"verdict": "прервано во время записи light: прибор мог её принять"}' "$work/rec.jsonl" ||
  bad "the record does not tell the write cut short: $(cat "$work/rec.jsonl")"
timeout 20 "$ctl" raw read --port "$pty" "${T[@]}" 3 0x0A03 1 | grep -q "0x0A03     1 0x0001" || bad "the write did not reach the instrument"

exit $fail
