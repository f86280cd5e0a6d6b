#!/usr/bin/env bash
# Builds everything, then renders the generated drum loop through the slicer
# plug-in in a few of its modes, into build/demo/ (or $TAVREL_BUILD_DIR/demo).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVREL_BUILD_DIR:-$root/build}"
render="$build/bin/tavrel-render"
slicer="$build/plugins/Zintrak.so"
demo="$build/demo"

echo "demo: building into $build"
bash "$root/tools/build.sh"
mkdir -p "$demo"

# Eight bars at 120 bpm: the slicer records one bar before its reordered
# slices have audio to play, so the later bars are where the modes show.
common=(--tempo 120 --bars 8)

run() {
  local name="$1"; shift
  echo "demo: $name: tavrel-render Zintrak.so$(printf ' %q' "$@")"
  "$render" "$slicer" "${common[@]}" -o "$demo/$name.wav" "$@"
}

run loop-dry            --set Bypass=On
run slicer-backwards    --set Backwards=On --set Size="1/16 bar"
run slicer-skip-reverse --set "Skip 2nd=On" --set Reverse=On --set Size="1/8 bar"
run slicer-random       --set Random=On --set Size="1/16 bar" --set BufLen="2 bar" \
                        --save-chunk "$demo/slicer-random.chunk"

echo "demo: the renders are in $demo:"
ls -l "$demo"
