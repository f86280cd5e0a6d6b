#!/usr/bin/env bash
# Sets up the cross build and a private Wine, cross-builds the Windows DLLs
# and their tests (tools/build-windows.sh), and runs the tests under Wine
# without a display; the editors' test brings its own Xvfb
# (tests/windows/run-with-display.sh).
#
# The private Wine is 32-bit, and some kernels run no 32-bit programs at all.
# There the DLLs are still built and their exports and imports checked, and
# the run says plainly which tests it could not run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVREL_WIN_BUILD_DIR:-$root/build-win}"

eval "$(bash "$root/tools/setup-windows.sh" toolchain libraries)"

if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo "run-windows-tests: this machine cannot run 32-bit programs, so the tests under the 32-bit Wine are NOT run here; building the DLLs and checking their exports and imports only" >&2
  bash "$root/tools/build-windows.sh"
  ctest --test-dir "$build" --output-on-failure -R '_dll_links_only_the_system$'
  exit 0
fi

eval "$(bash "$root/tools/setup-windows.sh" wine)"
bash "$root/tools/build-windows.sh" -DCMAKE_CROSSCOMPILING_EMULATOR="$WINELOADER"

export DISPLAY=
ctest --test-dir "$build" --output-on-failure
"$WINESERVER" -w
