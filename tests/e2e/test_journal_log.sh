#!/bin/bash
# testlork --log against lork-sim with an injected fault: every request the
# simulator received and every reply it sent is a row of the log, in order,
# frame for frame; the failed exchange carries its result code.
set -u
TESTLORK=$1
SIM=$2
[ -x "$TESTLORK" ] && [ -x "$SIM" ] || { echo "missing programs"; exit 77; }
[ -x /usr/bin/python3 ] || { echo "no python3"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME"
export QT_QPA_PLATFORM=offscreen

LORK_DEMO_SIM_ARGS="--verbose --fault badcrc:1 --link $work/sim-link" \
  timeout 60 "$TESTLORK" --demo --log "$work/log.csv" --quit-after 3000 >"$work/out" 2>"$work/err"
rc=$?
[ $rc -eq 0 ] || { echo "testlork exited with $rc"; tail -20 "$work/err"; exit 1; }

/usr/bin/python3 - "$work/err" "$work/log.csv" <<'PY'
import csv, sys
sim = []  # [request, reply] as the simulator logged them
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    if line.startswith("lork-sim: <- "):
        sim.append([line[13:].strip(), ""])
    elif line.startswith("lork-sim: -> ") and sim:
        sim[-1][1] = line[13:].strip().replace("(late)", "").strip()
rows = list(csv.DictReader(open(sys.argv[2], encoding="utf-8")))
log = [[r["request"], r["reply"]] for r in rows]
if not sim:
    sys.exit("the simulator logged no frame")
# On a starved machine the simulator may not read a request before the
# program gives up on it and flushes the line for its next exchange, or its
# reply may come after that flush: a row failed with nothing received is
# then a request the simulator never saw, or saw and answered too late.
# Everything else is the simulator's record, in order.
unseen = 0
matched = []
lost = []  # the simulator's entries whose reply came too late
j = 0
for i, (r, pair) in enumerate(zip(rows, log)):
    if j < len(sim) and pair == sim[j]:
        matched.append(r)
        j += 1
    elif r["reply"] == "" and r["code"] not in ("", "0"):
        unseen += 1
        if j < len(sim) and sim[j][0] == pair[0] and not (i + 1 < len(log) and log[i + 1] == sim[j]):
            lost.append(j)
            j += 1
    else:
        matched = None
        break
if matched is None or j != len(sim):
    for i in range(max(len(log), len(sim))):
        print(i, list(rows[i].values()) if i < len(rows) else None, sim[i] if i < len(sim) else None)
    # Everything both programs said, for a difference seen once in a while.
    sys.stdout.write(open(sys.argv[1], encoding="utf-8", errors="replace").read()[-4000:])
    sys.exit("the log differs from the simulator's record")
# The simulator spoils its first reply only.
bad = [r for r in matched if r["code"] == "6"]
if len(bad) != (0 if 0 in lost else 1):
    sys.exit("expected one CRC failure, got %d" % len(bad))
if not all(r["time"][4] == "-" and "T" in r["time"] for r in rows):
    sys.exit("times are not ISO 8601")
print("%d exchanges match" % len(matched) + (", %d failed unheard or answered late" % unseen if unseen else ""))
PY
