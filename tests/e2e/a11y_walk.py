#!/usr/bin/python3
"""The program's window as an accessibility client sees it.

Walks the main window on each page and fails on a focusable or actionable
control without a name, on two controls of one role and name on a page, and
on an LED, key or switch without its state. Then drives one command of each
kind through the bus (a tool button, a page's read, a field's re-read, a
combo box's choice, "пуск") and compares the requests lork-sim received with
those of the same command done with the mouse.

    a11y_walk.py PID SIM_LOG     (SIM_LOG: lork-sim --verbose's standard error)
"""
import subprocess
import sys
import time
from collections import Counter

import pyatspi

pid, sim_log = int(sys.argv[1]), sys.argv[2]
failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL:", msg, flush=True)


def find_app():
    end = time.time() + 20
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.3)
    sys.exit("FAIL: the program is not on the accessibility bus")


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def descendants(acc):
    out = []
    for i in range(acc.childCount):
        c = acc.getChildAtIndex(i)
        if c is not None and showing(c):
            out.append(c)
            out.extend(descendants(c))
    return out


def actions(acc):
    try:
        a = acc.queryAction()
    except NotImplementedError:
        return []
    return [a.getName(i) for i in range(a.nActions)]


def act(acc, name):
    a = acc.queryAction()
    names = [a.getName(i) for i in range(a.nActions)]
    if name not in names:
        fail(f"'{acc.name}' has no action '{name}' (only {names})")
        return
    a.doAction(names.index(name))


# Parts of a control that a reader does not name on their own.
CHROME = {pyatspi.ROLE_SCROLL_BAR, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_MENU_ITEM}


def controls(root):
    out = []
    for c in descendants(root):
        if c.getRole() in CHROME:
            continue
        if c.getState().contains(pyatspi.STATE_FOCUSABLE) or actions(c):
            out.append(c)
    return out


def by_name(root, name, role=None):
    for c in descendants(root):
        if c.name == name and (role is None or c.getRole() == role):
            return c
    seen = sorted({(c.getRoleName(), c.name) for c in descendants(root) if role is None or c.getRole() == role})
    fail(f"no control '{name}' on the screen, only {seen}")
    return None


# lork-sim's record: each request it received.
def requests():
    with open(sim_log, encoding="utf-8", errors="replace") as f:
        return [l.split("<-", 1)[1].strip() for l in f if "lork-sim: <-" in l]


def settle(quiet=1.2, most=15):
    """Waits until no request has come for `quiet` seconds."""
    end = time.time() + most
    last, since = len(requests()), time.time()
    while time.time() < end:
        time.sleep(0.2)
        n = len(requests())
        if n != last:
            last, since = n, time.time()
        elif time.time() - since >= quiet:
            break


def frames_of(do, wait=None):
    settle()
    before = len(requests())
    do()
    if wait:
        time.sleep(wait)
    else:
        settle()
    return requests()[before:]


def click(acc, times=1):
    x, y, w, h = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    cmd = ["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2), "click"]
    if times > 1:
        cmd += ["--repeat", str(times), "--delay", "60"]
    subprocess.run(cmd + ["1"], check=True)


def same_frames(what, by_mouse, by_bus):
    if not by_mouse:
        fail(f"{what}: the mouse sent nothing")
    elif by_mouse != by_bus:
        fail(f"{what}: the bus sent {by_bus}, the mouse {by_mouse}")
    else:
        print(f"ok: {what}: {len(by_bus)} request(s) alike", flush=True)


app = find_app()
frame = next((w for w in app if w is not None and "RS485" in (w.name or "")), None)
if frame is None:
    sys.exit("FAIL: no main window on the bus")
toolbar_button = {name: by_name(frame, name, pyatspi.ROLE_PUSH_BUTTON)
                  for name in ("показания", "параметры", "калибровка", "таймауты")}

# --- The tree of each page.
for page, button in toolbar_button.items():
    act(button, "Press")
    settle()
    found = controls(frame)
    for c in found:
        if not (c.name or "").strip():
            fail(f"page {page}: a {c.getRoleName()} without a name (actions {actions(c)})")
    twice = [k for k, n in Counter((c.getRoleName(), c.name) for c in found if c.name).items() if n > 1]
    for role, name in twice:
        fail(f"page {page}: two controls '{name}' ({role})")
    print(f"ok: page {page}: {len(found)} controls walked", flush=True)

# --- LEDs, keys and switches carry their states; the indicator its text.
act(toolbar_button["показания"], "Press")
settle()
states = {"P": {"горит", "не горит", "мигает"}, "K1": {"горит", "не горит"}, "K2": {"горит", "не горит"},
          "I": {"горит", "не горит", "мигает"}, "ключ K1": {"включен", "выключен"},
          "ключ K2": {"включен", "выключен"}, "PR": {"включен", "выключен"}, "ST": {"включен", "выключен"},
          "BL": {"включен", "выключен"}, "Z": {"включен", "выключен"}}
pictures = {c.name: c.description for c in descendants(frame) if c.getRole() == pyatspi.ROLE_IMAGE}
for name, allowed in states.items():
    if pictures.get(name) not in allowed:
        fail(f"picture '{name}': state '{pictures.get(name)}', not one of {sorted(allowed)}")
indicator = by_name(frame, "индикатор")
if indicator is not None and not indicator.description.strip():
    fail("the indicator has no text")
print(f"ok: pictures {sorted(pictures.items())}; indicator '{indicator and indicator.description}'", flush=True)

# --- Commands: the bus sends what the mouse sends.
# A tool button: the calibration page, which reads the permission as it opens.
def to_readings():
    act(toolbar_button["показания"], "Press")
    settle()


to_readings()
mouse = frames_of(lambda: click(toolbar_button["калибровка"]))
to_readings()
bus = frames_of(lambda: act(toolbar_button["калибровка"], "Press"))
same_frames("tool button калибровка", mouse, bus)

# A page's read.
act(toolbar_button["параметры"], "Press")
settle()
read_r = by_name(frame, "читать R", pyatspi.ROLE_PUSH_BUTTON)
if read_r is not None:
    same_frames("читать R", frames_of(lambda: click(read_r)), frames_of(lambda: act(read_r, "Press")))

# A combo box chosen through the bus: "изменить R" then writes its item.
offer = by_name(frame, "Сопротивление, Ом, новое значение", pyatspi.ROLE_COMBO_BOX)
write_r = by_name(frame, "изменить R", pyatspi.ROLE_PUSH_BUTTON)
if offer is not None and write_r is not None:
    value = offer.queryValue()
    target = 0 if value.currentValue != 0 else 1
    value.currentValue = target
    end = time.time() + 5
    while value.currentValue != target and time.time() < end:
        time.sleep(0.1)
    items = offer.getChildAtIndex(0)
    text = items.getChildAtIndex(target).name if items is not None and items.childCount > target else None
    sent = frames_of(lambda: act(write_r, "Press"))
    writes = [f for f in sent if f.split()[1:2] == ["10"]]
    if value.currentValue != target or not text or not writes:
        fail(f"combo box by the bus: value {value.currentValue}, item '{text}', writes {writes}")
    elif int(writes[-1].split()[7], 16) * 256 + int(writes[-1].split()[8], 16) != int(text):
        fail(f"combo box by the bus: item '{text}' chosen, {writes[-1]} written")
    else:
        print(f"ok: combo box set to '{text}' through the bus and written: {writes[-1]}", flush=True)

# A field's re-read: a click and "прочитать", a double-click and "прочитать всё".
to_readings()
field = by_name(frame, "Измеренное сопротивление в %", pyatspi.ROLE_TEXT)
if field is not None:
    same_frames("click on a field / прочитать", frames_of(lambda: click(field)),
                frames_of(lambda: act(field, "прочитать")))
    same_frames("double-click on a field / прочитать всё", frames_of(lambda: click(field, 2)),
                frames_of(lambda: act(field, "прочитать всё")))

# "пуск": polling started and stopped through its action as by clicks.
periodic = by_name(frame, "периодический", pyatspi.ROLE_RADIO_BUTTON)
pusk = by_name(frame, "пуск")
print(f"'пуск' is a {pusk and pusk.getRoleName()} with actions {pusk and actions(pusk)}", flush=True)
if periodic is not None and pusk is not None:
    act(periodic, actions(periodic)[0])
    settle()
    if not periodic.getState().contains(pyatspi.STATE_CHECKED):
        fail("'периодический' not chosen through the bus")

    def polling(start, stop):
        """Starts polling, lets it tick twice (some request seen twice), stops it."""
        before = len(requests())
        start()
        end = time.time() + 12
        while time.time() < end:
            time.sleep(0.2)
            new = requests()[before:]
            if len(new) > len(set(new)):
                break
        running = pusk.name
        stop()
        settle()
        stopped = pusk.name
        return running, stopped

    def distinct(frames):
        return sorted(set(frames))

    before = len(requests())
    mouse_names = polling(lambda: click(pusk), lambda: click(pusk))
    mouse = requests()[before:]
    settle()
    before = len(requests())
    toggle = actions(pusk)[0]
    bus_names = polling(lambda: act(pusk, toggle), lambda: act(pusk, toggle))
    bus = requests()[before:]
    if mouse_names != ("стоп", "пуск") or bus_names != ("стоп", "пуск"):
        fail(f"пуск: names while running and after: mouse {mouse_names}, bus {bus_names}")
    if not bus or len(bus) == len(set(bus)):
        fail(f"пуск through the bus: no second polling tick in {bus}")
    same_frames(f"пуск/стоп ('{toggle}'), the kinds of request polled", distinct(mouse), distinct(bus))
    quiet = frames_of(lambda: None, wait=2.5)
    if quiet:
        fail(f"polling goes on after стоп: {quiet}")

if failures:
    sys.exit(1)
print("ok: accessibility tree and commands")
