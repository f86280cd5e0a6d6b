#!/usr/bin/env bash
# Builds the Windows DLLs and VST3 bundles of both widths and their tests
# (tools/build-windows.sh) and runs the tests of each under a private Wine of
# the same width, without a display; the editors' test brings its own Xvfb
# (tests/windows/run-with-display.sh). The arguments name the targets by
# triple (tools/windows-target.sh); without one, both run.
#
# Some 64-bit kernels run no 32-bit programs at all, and so no 32-bit Wine.
# There the 32-bit DLLs and bundles are still built and their exports and
# imports checked, and the run says plainly which tests it could not run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/windows-target.sh"
build="${TAVREL_WIN_BUILD_DIR:-$root/build-win}"

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${windows_targets[@]}")

not_run=()
for triple in "${targets[@]}"; do
  windows_target "$triple"
  if ! windows_target_runs_here; then
    echo "run-windows-tests: this machine cannot run $wine_debian programs, so the tests of the $arch DLLs and VST3 bundles under Wine are NOT run here; building them and checking their exports and imports only" >&2
    bash "$root/tools/build-windows.sh" "$target"
    ctest --test-dir "$build/$arch" --output-on-failure -R '_dll_links_only_the_system$'
    not_run+=("$arch")
    continue
  fi

  (
    eval "$(bash "$root/tools/setup-windows.sh" "$target" wine)"
    bash "$root/tools/build-windows.sh" "$target" -- -DCMAKE_CROSSCOMPILING_EMULATOR="$WINELOADER"
    export DISPLAY=
    status=0
    ctest --test-dir "$build/$arch" --output-on-failure || status=$?
    "$WINESERVER" -w
    exit $status
  )
done

if [ ${#not_run[@]} -gt 0 ]; then
  echo "run-windows-tests: NOT run on this machine: the Wine tests of the ${not_run[*]} DLLs and VST3 bundles (built and checked with objdump only)" >&2
fi
