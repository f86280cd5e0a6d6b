#!/usr/bin/env bash
# Cross-builds the Windows plug-ins and their tests, Release, with Ninja,
# after setting up the cross compiler and the static libraries
# (tools/setup-windows.sh). The arguments name the targets by their MinGW-w64
# triple (tools/windows-target.sh); without one, both are built:
#   i686-w64-mingw32    build-win/plugins/x86/Zintrak.dll, Morlune.dll (VST 2.4)
#                       and Zintrak.vst3, Morlune.vst3 (Contents/x86-win/)
#   x86_64-w64-mingw32  build-win/plugins/x64/Zintrak.dll, Morlune.dll (VST 2.4)
#                       and Zintrak.vst3, Morlune.vst3 (Contents/x86_64-win/)
# Each target has its own build tree, build-win/x86/ or build-win/x64/;
# $TAVREL_WIN_BUILD_DIR replaces build-win/. Arguments after `--` go to
# cmake's configure step of every target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tools/windows-target.sh"
build="${TAVREL_WIN_BUILD_DIR:-$root/build-win}"

targets=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do targets+=("$1"); shift; done
[ $# -eq 0 ] || shift
[ ${#targets[@]} -gt 0 ] || targets=("${windows_targets[@]}")

bash "$root/tools/setup.sh"
for triple in "${targets[@]}"; do
  windows_target "$triple"
  (
    eval "$(bash "$root/tools/setup-windows.sh" "$target" toolchain libraries)"
    cmake -S "$root" -B "$build/$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64.cmake" \
      -DTAVREL_MINGW_TRIPLE="$target" -DTAVREL_MINGW_PREFIX="$TAVREL_MINGW_PREFIX" \
      -DTAVREL_WINDOWS_OUTPUT_DIR="$build" "$@" >/dev/null
    cmake --build "$build/$arch" --parallel "$(nproc)"
  )
done
