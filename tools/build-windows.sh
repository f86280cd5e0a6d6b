#!/usr/bin/env bash
# Cross-builds the 32-bit Windows plug-ins (plugins/Zintrak.dll and
# plugins/Morlune.dll) and their tests into build-win/ (or
# $TAVREL_WIN_BUILD_DIR), Release, with Ninja, after setting up the cross
# compiler and the static libraries (tools/setup-windows.sh). Arguments go to
# cmake's configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVREL_WIN_BUILD_DIR:-$root/build-win}"

bash "$root/tools/setup.sh"
eval "$(bash "$root/tools/setup-windows.sh" toolchain libraries)"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/i686-w64-mingw32.cmake" \
  -DTAVREL_MINGW_PREFIX="$TAVREL_MINGW_PREFIX" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
