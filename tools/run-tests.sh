#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVREL_BUILD_DIR:-$root/build}"

bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
