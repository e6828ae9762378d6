#!/usr/bin/env bash
# The calibration certificate on a real X server with a window manager: the
# operator's name is asked in a real dialog, the PDF's place in a real save
# dialog, both answered from the keyboard; the PDF holds the logged values and
# the name is remembered in the window's own file. The calibration log is the
# one another program (lorkctl, say) left.
#   test_certificate_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
sim_args=""  # an instrument that answers: the window reads its name and version
. "$(dirname "$0")/x11_session.sh"
command -v pdftotext >/dev/null || fail "no pdftotext (scripts/bootstrap installs poppler-utils)"

unset XDG_DATA_HOME
log=$work/.local/share/testlork/calibration.csv
mkdir -p "$(dirname "$log")"
{
  echo "time,port,adr,name,version,point,before,written,izm_proc,izm_znach"
  echo "2026-03-09T07:05:04+03:00,$pty,5,ЛОРК-1,вер. 1.07,0,74565,70000,-2.462,-24.618"
  echo "2026-03-09T07:09:41+03:00,$pty,5,ЛОРК-1,вер. 1.07,100,260000,270000,105.263,1052.632"
} >"$log"

start_testlork cert Button_otchet
wait_for 60 find_box || fail "no question for the operator's name"
name_box=$box
xdotool windowactivate --sync "$name_box" 2>/dev/null
xdotool type --delay 20 "Sidorov S. S."
xdotool key --clearmodifiers Return
wait_for 10 gone "$name_box" || fail "the name question stays open"

# The save dialog: its file name field has the focus; a whole path is taken.
box=""
wait_for 60 find_box || fail "no save dialog"
xdotool windowactivate --sync "$box" 2>/dev/null
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 10 "$work/cert.pdf"
xdotool key --clearmodifiers Return
wait_for 60 test -s "$work/cert.pdf" || fail "no PDF written"
wait_for 10 gone "$box" || fail "the save dialog stays open"

text=$(pdftotext -layout "$work/cert.pdf" -)
for want in "Протокол калибровки" "ЛОРК-1" "вер. 1.07" "Sidorov S. S." 74565 70000 260000 270000 "1052.632" "$pty"; do
  grep -qF -- "$want" <<<"$text" || fail "'$want' not in the PDF: $text"
done
grep -q "operator=Sidorov S. S." "$work/config-cert/testlork-window.ini" || fail "the name is not remembered: $(cat "$work"/config-cert/*-window.ini)"

wait_for 60 find_main || fail "no main window"
wmctrl -ic "$main"
wait_for 10 ended || fail "the program goes on after its main window was closed"
wait "$app"
echo "ok: name asked and remembered, PDF saved through the real dialogs"
