#!/usr/bin/env bash
# Sets up the machine, builds everything, then renders the generated drum loop
# through both plug-ins in a few of their modes, into build/demo/ (or
# $TAVREL_BUILD_DIR/demo).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TAVREL_BUILD_DIR:-$root/build}"
render="$build/bin/tavrel-render"
slicer="$build/plugins/Zintrak.so"
looper="$build/plugins/Morlune.so"
demo="$build/demo"

bash "$root/tools/setup.sh"
echo "demo: building into $build"
bash "$root/tools/build.sh"
mkdir -p "$demo"

# Eight bars at 120 bpm: the slicer records one bar before its reordered
# slices have audio to play, so the later bars are where the modes show.
common=(--tempo 120 --bars 8)

run() {
  local plugin="$1" name="$2"; shift 2
  echo "demo: $name: tavrel-render $(basename "$plugin")$(printf ' %q' "$@")"
  "$render" "$plugin" "${common[@]}" -o "$demo/$name.wav" "$@"
}

run "$slicer" loop-dry            --set Bypass=On
run "$slicer" slicer-backwards    --set Backwards=On --set Size="1/16 bar"
run "$slicer" slicer-skip-reverse --set "Skip 2nd=On" --set Reverse=On --set Size="1/8 bar"
run "$slicer" slicer-random       --set Random=On --set Size="1/16 bar" --set BufLen="2 bar" \
                                  --save-chunk "$demo/slicer-random.chunk"
# The looper has two parameters named "Size": 5 is the loop window, 7 the slice.
run "$looper" looper-loop         --set Loop=On --set 7="1/4 bar" --set 5=0.25
run "$looper" looper-alternating  --set Alternating=On --set 7="1/8 bar" --set Modulation=1

echo "demo: the renders are in $demo:"
ls -l "$demo"
