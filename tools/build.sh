#!/usr/bin/env bash
# Configures and builds everything (plug-ins, tools, tests, benchmarks) into
# build/ (or $TAVREL_BUILD_DIR), Release, with Ninja.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVREL_BUILD_DIR:-$root/build}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
