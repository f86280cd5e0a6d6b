#!/usr/bin/env bash
# Sets up the cross build and a private Wine, cross-builds the Windows DLLs
# and their tests (tools/build-windows.sh), and runs the tests under Wine
# without a display; the editors' test brings its own Xvfb
# (tests/windows/run-with-display.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVREL_WIN_BUILD_DIR:-$root/build-win}"

eval "$(bash "$root/tools/setup-windows.sh" toolchain libraries wine)"
bash "$root/tools/build-windows.sh" -DCMAKE_CROSSCOMPILING_EMULATOR="$WINELOADER"

export DISPLAY=
ctest --test-dir "$build" --output-on-failure
"$WINESERVER" -w
