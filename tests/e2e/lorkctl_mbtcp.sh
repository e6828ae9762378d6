#!/usr/bin/env bash
# lorkctl through Modbus TCP gateways: the project's own gateway in front of
# lork-sim (its two exceptions and a reply of another transaction), and
# pymodbus's Modbus TCP server.
#   lorkctl_mbtcp.sh LORKCTL LORK_SIM
. "$(dirname "$0")/lorkctl_harness.sh" "$@"
[ -x "$py" ] || { echo "missing programs"; exit 77; }
start_sim

# --- through the gateway as through the line: values, the port marked
gateway
run 0 raw read --port "$gw" 3 0x0A00 8
has out "0x0A00    10 0x000A"; has out "0x0A06   900 0x0384"
run 0 read --port "$gw"
has out "порт $gw (Modbus TCP)"; has out "прибор: ЛОРК"
run 0 raw write --port "$gw" --yes 0x0A03 2
run 0 raw read --port "$gw" 3 0x0A03 1
has out "0x0A03     2 0x0002"
run 2 ping --port "mbtcp://127.0.0.1:0"
has err "неверный адрес шлюза"

# --- a reply of another transaction, all 0xFFFF, is dropped unread
gateway --stray
run 0 raw read --port "$gw" 3 0x0A00 2
has out "0x0A00    10 0x000A"; hasnt out "0xFFFF"
run 0 ping --port "$gw"

# --- the gateway's own exceptions: their texts, and repeated like a silence
gateway --exception 10
run 1 raw read --port "$gw" 3 0x0A00 1
has err "шлюз: нет пути"
gateway --exception 11
run 1 ping --port "$gw"
has err "шлюз: прибор не ответил"

# --- pymodbus's Modbus TCP server: values of each kind; a unit it lacks it
# leaves unanswered
tcp=$("$py" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
if "$py" -c 'import pymodbus' 2>/dev/null; then
  background "$py" "$here/../peer/pymodbus_server.py" "tcp:$tcp" 5 >"$work/pym.log" 2>&1
  for _ in $(seq 100); do "$py" -c "import socket; socket.create_connection(('127.0.0.1', $tcp), 0.2)" 2>/dev/null && break; sleep 0.1; done
  run 0 raw read --port "mbtcp://127.0.0.1:$tcp" --address 5 3 0x0A00 3
  has out "0x0A00    12 0x000C"; has out "0x0A02    20 0x0014"
  run 0 raw read --port "mbtcp://127.0.0.1:$tcp" --address 5 --json 4 0x0200 1
  has out '"value": 52174'
  run 0 raw write --port "mbtcp://127.0.0.1:$tcp" --address 5 --yes 0x0A03 2
  run 0 raw read --port "mbtcp://127.0.0.1:$tcp" --address 5 1 0 8
  has out "0x0000     1 0x0001"; has out "0x0001     0 0x0000"
  run 0 ping --port "mbtcp://127.0.0.1:$tcp" --address 5
  run 1 ping --port "mbtcp://127.0.0.1:$tcp" --address 6 --timeout 300
  has err "не дождались ответа"
else
  echo "pymodbus missing: its cases not run"
fi
exit $fail
