#!/usr/bin/env bash
# The captions the window manager shows: the main window's and the about
# box's exactly their own titles; the search's message window none at all, no
# buttons, above the others.
#   test_captions_x11.sh TESTLORK LORK_SIM
set -u
testlork=$1 sim=$2
. "$(dirname "$0")/x11_session.sh"

start_testlork about about
wait_for 60 find_box || fail "no about box"
wait_for 60 find_main || fail "no main window"
[ "$(net_name "$main")" = "проверка связи ПК с прибором ЛОРК по интерфейсу RS485" ] ||
  fail "main window caption '$(net_name "$main")'"
[ "$(net_name "$box")" = "о программе" ] || fail "about box caption '$(net_name "$box")'"

wmctrl -ic "$box"
wait_for 5 gone "$box" || fail "the about box stays open"
wmctrl -ic "$main"
wait_for 5 ended || fail "the program goes on after its main window was closed"

# A number search on a silent line runs for a while with the message window up.
start_testlork search poisk_num
msg=""
find_msg() { window_with _NET_WM_WINDOW_TYPE _NET_WM_WINDOW_TYPE_UTILITY && msg=$found; }
wait_for 20 find_msg || fail "no message window during the search"
# Motif hints: flags with the decorations bit (2), and no decorations: no
# title bar, hence no caption and no buttons.
hints=$(xprop -id "$msg" _MOTIF_WM_HINTS | sed 's/.*= //')
IFS=', ' read -r flags _ decor _ <<<"$hints"
((flags & 2)) && [ "$decor" = "0x0" ] || fail "message window decorated: $hints"
xprop -id "$msg" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "message window not above the others"
echo "ok: captions"
