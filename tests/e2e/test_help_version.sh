#!/usr/bin/env bash
# --help and --version print and end with 0 where there is no display at all;
# the version is the one the about box shows.
#   test_help_version.sh TESTLORK LORK_SIM
set -u
testlork=$1
about="$(dirname "$0")/../../resources/tfabout.ui"
want=$(grep -o 'Версия V[0-9.]*' "$about" | sed 's/^Версия V//')
[ -n "$want" ] || { echo "no version in $about"; exit 1; }

fail=0
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$testlork" "$@" 2>&1; }
out=$(run --version); rc=$?
[ $rc -eq 0 ] || { echo "--version ended with $rc: $out"; fail=1; }
[ "$out" = "testlork $want" ] || { echo "--version printed '$out', want 'testlork $want'"; fail=1; }
out=$(run --help); rc=$?
[ $rc -eq 0 ] || { echo "--help ended with $rc: $out"; fail=1; }
grep -q -- '--port <PATH>' <<<"$out" || { echo "--help printed no option list: $out"; fail=1; }
# In Russian, Qt's own lines too (where its catalogue is installed).
if grep -q -e 'Displays help' -e 'Displays version' -e 'Adds PATH' <<<"$out"; then
  echo "--help is partly English: $out"; fail=1
fi
exit $fail
