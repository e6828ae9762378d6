#!/usr/bin/env bash
# lorkctl end to end: every command over a real pseudo-terminal against lork-sim.
#   lorkctl_cases.sh LORKCTL LORK_SIM
. "$(dirname "$0")/lorkctl_harness.sh" "$@"

# --- read: the window's settings file gives the defaults and stays untouched
start_sim
mkdir -p "$XDG_CONFIG_HOME"
printf '[связь]\r\nПОРТ=%s\r\nНОМЕР=5\r\nСКОРОСТЬ=9600\r\n' "$pty" | iconv -f UTF-8 -t CP1251 >"$XDG_CONFIG_HOME/testlork.ini"
cp "$XDG_CONFIG_HOME/testlork.ini" "$work/ini.before"
run 0 read
has out "прибор: ЛОРК-1, версия: вер. 1.07"
has out "R=10 Ом, N=90, U=50"
run 0 read --json
for kv in '"name": "ЛОРК-1"' '"res": 10' '"kol_step": 90' '"por_step": 50' '"izm_proc": ' '"cal0": 70000' \
          '"cal100": 270000' '"svd_P": "on"' '"ci_flag": 0' '"cal_enable": 0' '"indicator": " 25.5"'; do has out "$kv"; done
cmp -s "$XDG_CONFIG_HOME/testlork.ini" "$work/ini.before" || bad "the settings file was written"
rm "$XDG_CONFIG_HOME/testlork.ini"
run 0 read --port "$pty" --address 5
[ ! -e "$XDG_CONFIG_HOME/testlork.ini" ] || bad "a settings file was created"

# --- ping, silence, an unusable port, bad usage
run 0 ping --port "$pty"
run 1 ping --port "$pty" --address 9
has err " не дождались ответа: нет ответа от адреса 9 (порт $pty, 9600 бод, паритет none, стопбит 1); найти прибор: lorkctl search"
# no settings file and no --port: nothing is guessed
run 2 ping
has err "порт не задан: укажите --port"
run 2 set-baud --port "$pty" 14400
has err "4800, 9600, 19200, 38400, 57600, 115200"
run 0 calibrate --help
grep -q "$XDG_DATA_HOME/testlork/calibration.csv" "$work/out" && ! grep -qi "пока нет" "$work/out" || bad "calibrate --help: $(cat "$work/out")"
run 3 ping --port "$work/no-such-port"
has err "не открыть: "
[ "$(sed 's/.*не открыть: //' "$work/err")" != "" ] || bad "no cause for the port"
run 2 frobnicate --port "$pty"
for name in tcp://127.0.0.1:99999 rfc2217://:4001 ""; do
  run 2 ping --port "$name"
  if [ -n "$name" ]; then has err "неверный адрес шлюза: $name"; else has err "не задано имя порта"; fi
done
run 2 read --port "$pty" --baud 1234

# --- set: written, read back; out of range: refused with nothing sent; the rules
n=$(requests)
run 2 set --port "$pty" res=30
run 2 set --port "$pty" light=1 v_ind=4
[ "$(requests)" -eq "$n" ] || bad "a refused value still sent requests"
run 0 set --port "$pty" res=8 kol_step=90 por_step=20 light=1
has out "res=8 kol_step=90 por_step=20 light=1"
grep -q -- '<- 05 10 0A 00 00 01 02 00 08' "$work/sim.err" || bad "R was not written with function 16"
# the rules N * R <= 900 and U < N with the instrument's other values: refused
# with nothing written; --force writes, and the instrument refuses it itself
writes=$(grep -c -- '<- 05 10' "$work/sim.err")
run 4 set --port "$pty" kol_step=120
has err "Не выполняется условие N * R <= 900 Ом: N = 120, R = 8, N * R = 960 Ом."
run 4 set --port "$pty" --strict por_step=200
has err "Не выполняется условие U < N: U = 200, N = 90."
[ "$(grep -c -- '<- 05 10' "$work/sim.err")" -eq "$writes" ] || bad "a value that breaks a rule was written"
run 1 set --port "$pty" --force kol_step=120
has err "предупреждение: Не выполняется условие N * R <= 900 Ом"
grep -q -- '<- 05 10 0A 01 00 01 02 00 78' "$work/sim.err" || bad "--force did not write N"
grep -q -- '-> 05 90 03' "$work/sim.err" || bad "the instrument did not refuse N 120 with exception 3"
# a change the instrument takes only in the right order: U, then N, then R
run 0 set --port "$pty" res=18 kol_step=20 por_step=10
run 0 read --port "$pty" --json
has out '"res": 18'; has out '"kol_step": 20'; has out '"por_step": 10'; has out '"light": 1'
# --- interface settings followed: address, then a baud change, parity, stop bits
run 0 set-address --port "$pty" 7
run 1 ping --port "$pty" --address 5
run 0 set-baud --port "$pty" --address 7 38400
has out "скорость 38400"
run 1 ping --port "$pty" --address 7 --baud 9600
run 0 ping --port "$pty" --address 7 --baud 38400
run 0 set-parity --port "$pty" --address 7 --baud 38400 odd
run 0 set-stopbits --port "$pty" --address 7 --baud 38400 --parity odd 2
run 0 ping --port "$pty" --address 7 --baud 38400 --parity odd --stopbits 2

# --- search at given rates, JSON
run 0 search --port "$pty" --from 6 --to 8 --rates 9600,38400 --parity odd --stopbits 2 --json
has out '[{"address": 7, "rate": 38400}]'
run 1 search --port "$pty" --from 1 --to 2 --parity odd --stopbits 2
has err "никто не ответил"

# a set-address left without an answer names both addresses and the search
sim_cmd "fault silent 1"
run 1 set-address --port "$pty" --address 7 --baud 38400 --parity odd --stopbits 2 9
has err "попробуйте --address 9 или --address 7, или найдите его: lorkctl search"

# --- Ctrl-C during a search: ends after the address in progress, prints what was found
start_sim --address 3
"$ctl" search --port "$pty" >"$work/out" 2>"$work/err" &
ctl_pid=$!
for _ in $(seq 600); do grep -q "адрес 6," "$work/err" && break; sleep 0.05; done
kill -INT "$ctl_pid"
t0=$(date +%s%N)
wait "$ctl_pid"; rc=$?
ms=$(( ($(date +%s%N) - t0) / 1000000 ))
[ "$rc" -eq 0 ] || bad "interrupted search ended with $rc"
has out "3:9600"
has err "прервано после адреса"
[ "$ms" -lt 2000 ] || bad "interrupted search took $ms ms to end"
grep -q "адрес 247," "$work/err" && bad "the sweep went on to the end"

# --- monitor: a line per tick, silence reported and survived, Ctrl-C ends it
"$ctl" monitor --port "$pty" --address 3 --period 1 --json >"$work/out" 2>"$work/err" &
ctl_pid=$!
sleep 0.8; sim_cmd "fault silent 2"
# Two ticks unanswered, then one answered again.
interrupt_after_lines "$work/out" 4 "$ctl_pid"
[ "$rc" -eq 0 ] || bad "monitor ended with $rc"
has out '"code": 11, "error": " не дождались ответа: нет ответа от адреса 3 (порт '"$pty"', 9600 бод'
tail -n1 "$work/out" | grep -q '"izm_proc"' || bad "monitor did not recover: $(tail -n3 "$work/out")"

# --- calibrate: refused while not permitted, then written and read back
sim_cmd "resistance 10"
run 1 calibrate --port "$pty" --address 3 --yes 0
has err "специфическая ошибка"
run 0 set --port "$pty" --address 3 cal_enable=1
printf '\nд\n' | timeout 60 "$ctl" calibrate --port "$pty" --address 3 "${T[@]}" 0 >"$work/out" 2>"$work/err" \
  || bad "calibrate 0: $(cat "$work/err")"
has out "хранится для 0 %: 70000 импульсов"
has out "0%  OK!"
run 0 read --port "$pty" --address 3 --json
has out '"cal0": 72000'
# the calibration log: the header, then only the write the instrument took
log=$XDG_DATA_HOME/testlork/calibration.csv
[ "$(head -n1 "$log")" = "time,port,adr,name,version,point,before,written,izm_proc,izm_znach" ] || bad "log header: $(cat "$log")"
[ "$(wc -l <"$log")" -eq 2 ] || bad "one record expected: $(cat "$log")"
grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}[+-][0-9]{2}:[0-9]{2},$pty,3,ЛОРК-1,вер. 1.07,0,70000,72000,[-0-9.]+,[-0-9.]+\$" "$log" \
  || bad "log record: $(cat "$log")"
# a log that cannot be written is told, and the calibration still succeeds
sim_cmd "resistance 1000"
XDG_DATA_HOME=$log run 0 calibrate --port "$pty" --address 3 --yes 100
has err "журнал калибровки: запись не добавлена"
has out "100% OK!"
# the 100 % point measured at the 0 % point's resistance: refused, nothing written; --force writes it, marked
sim_cmd "resistance 10"
writes=$(grep -c -- '<- 03 10 ' "$work/sim.err")
run 4 calibrate --port "$pty" --address 3 --yes 100
has err "Точка 100 % (72000 имп.) не больше точки 0 % (72000 имп.)."
[ "$(grep -c -- '<- 03 10 ' "$work/sim.err")" -eq "$writes" ] || bad "a refused point was written"
[ "$(wc -l <"$log")" -eq 2 ] || bad "a refused point was logged: $(cat "$log")"
run 0 calibrate --port "$pty" --address 3 --yes --force 100
has out "100% OK!"
tail -n1 "$log" | grep -qF 'implausible,Точка 100 % (72000 имп.) не больше' || bad "no mark: $(cat "$log")"

# --- apply: three instruments one after another, each numbered anew
cat >"$work/tmpl.json" <<'T'
{"res": 12, "kol_step": 60, "por_step": 30, "baud": 19200, "light": 0, "address": 99}
T
for i in 1 2 3; do
  start_sim
  run 0 apply --port "$pty" --address $((20 + i)) --record "$work/rec.jsonl" "$work/tmpl.json"
  run 0 ping --port "$pty" --address $((20 + i)) --baud 19200
  run 0 apply --port "$pty" --connect-address $((20 + i)) --baud 19200 --address $((20 + i)) "$work/tmpl.json"
  has out "записано: ничего"
done
[ "$(grep -c '"verdict": "ok"' "$work/rec.jsonl")" -eq 3 ] || bad "three ok records expected: $(cat "$work/rec.jsonl")"
for i in 1 2 3; do
  sed -n "${i}p" "$work/rec.jsonl" | grep -q "\"after\": {\"parity\": 0, \"stopbits\": 1, \"baud\": 19200, \"address\": $((20 + i)), \"res\": 12" \
    || bad "record $i: $(sed -n "${i}p" "$work/rec.jsonl")"
done
grep -q '"before": {"parity": 0, "stopbits": 1, "baud": 9600, "address": 5' "$work/rec.jsonl" || bad "no before values"
# Ctrl-C in the middle of an apply: no further write, the run recorded whole as interrupted, then the interrupt ends lorkctl
start_sim
"$ctl" apply --port "$pty" --address 31 "${T[@]}" --record "$work/rec.jsonl" "$work/tmpl.json" >"$work/out" 2>"$work/err" &
ctl_pid=$!
for _ in $(seq 100); do grep -q -- '<- ' "$work/sim.err" && break; sleep 0.02; done
kill -INT "$ctl_pid"; wait "$ctl_pid"; rc=$?
[ "$rc" -eq 130 ] || bad "interrupted apply ended with $rc"
tail -n1 "$work/rec.jsonl" | grep -q '"verdict": "прервано"}$' || bad "interrupted apply not recorded: $(tail -n1 "$work/rec.jsonl")"
# a silent instrument: recorded as failed, status 1
run 1 apply --port "$pty" --connect-address 40 --record "$work/rec.jsonl" "$work/tmpl.json"
tail -n1 "$work/rec.jsonl" | grep -qF '"verdict": " не дождались ответа' || bad "failed apply not recorded"

exit $fail
