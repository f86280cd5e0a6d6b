#!/usr/bin/env bash
# Runs a Windows test program under Wine with a display: its own Xvfb server,
# and Wine's X11 driver for this run only, through a desktop of its own that
# names the driver (the prefix's default stays the null driver that the
# headless tests use). Wine's desktop program does not pass on the test's
# exit status, so the result is read from GoogleTest's report.
#   run-with-display.sh <wine loader> <program.exe> <report.xml>
set -euo pipefail
loader="$1" program="$2" report="$3"
server="${WINESERVER:-$(dirname "$loader")/wineserver}"
# A crash ends the program at once instead of waiting on Wine's debugger.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"

rm -f "$report"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" explorer /desktop=tavrel-test,1280x1024,x11 "$2" --gtest_output="xml:$3"
  "$4" -w # the desktop goes before its display does' _ "$loader" "Z:$program" "Z:$report" "$server"

[ -s "$report" ] || { echo "run-with-display: $program wrote no report: it did not run to the end" >&2; exit 1; }
grep -q '<testsuites[^>]* failures="0"[^>]* errors="0"' "$report" || { echo "run-with-display: tests failed" >&2; exit 1; }
