#!/usr/bin/env bash
# The instrumented runs CI makes after the normal tests:
#   1. the whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (LeakSanitizer included), without the real-time tests, whose allocation
#      and lock counters cannot sit beside the sanitizers' own interceptors;
#   2. the threaded stress test built with ThreadSanitizer;
#   3. each libFuzzer target for a bounded time from its seed corpus.
# Any sanitizer report fails the run. Build directories: build-asan, build-tsan
# and build-fuzz (or $TAVREL_ASAN_BUILD_DIR, $TAVREL_TSAN_BUILD_DIR,
# $TAVREL_FUZZ_BUILD_DIR); $TAVREL_FUZZ_SECONDS sets the time per target.
# With arguments, only the named parts run: asan, tsan, fuzz.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
asan_build="${TAVREL_ASAN_BUILD_DIR:-$root/build-asan}"
tsan_build="${TAVREL_TSAN_BUILD_DIR:-$root/build-tsan}"
fuzz_build="${TAVREL_FUZZ_BUILD_DIR:-$root/build-fuzz}"
fuzz_seconds="${TAVREL_FUZZ_SECONDS:-60}"
jobs="$(nproc)"
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(asan tsan fuzz)

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan.supp"
# No suppressions: the instrumented JUCE gives no report in what the stress test runs.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

configure() {
  local dir="$1"; shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVREL_BUILD_BENCHMARKS=OFF "$@" >/dev/null
}

run_asan() {
  echo "sanitizers: address and undefined behaviour, whole suite"
  configure "$asan_build" -DTAVREL_SANITIZE=address
  cmake --build "$asan_build" --parallel "$jobs"
  ctest --test-dir "$asan_build" --output-on-failure --parallel "$jobs" --exclude-regex 'Realtime'
}

run_tsan() {
  echo "sanitizers: thread, stress test"
  configure "$tsan_build" -DTAVREL_SANITIZE=thread
  cmake --build "$tsan_build" --parallel "$jobs" --target stress_tests
  ctest --test-dir "$tsan_build" --output-on-failure --tests-regex 'ConcurrentHost'
}

run_fuzz() {
  echo "sanitizers: libFuzzer, ${fuzz_seconds} s per target"
  CC=clang-14 CXX=clang++-14 configure "$fuzz_build" -DTAVREL_SANITIZE=fuzzer
  local targets=(settings_chunk dispatcher)
  cmake --build "$fuzz_build" --parallel "$jobs" --target "${targets[@]/%/_fuzzer}"

  for target in "${targets[@]}"; do
    # New inputs go to a scratch corpus; the committed seeds stay as they are.
    local corpus="$fuzz_build/corpus/$target" artifacts="$fuzz_build/artifacts"
    mkdir -p "$corpus" "$artifacts"
    "$fuzz_build/tests/fuzz/${target}_fuzzer" -max_total_time="$fuzz_seconds" -timeout=20 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
      "$corpus" "$root/tests/fuzz/corpus/$target"
  done
}

for part in "${parts[@]}"; do
  case "$part" in
    asan) run_asan ;;
    tsan) run_tsan ;;
    fuzz) run_fuzz ;;
    *) echo "run-sanitizers: unknown part '$part' (asan, tsan, fuzz)" >&2; exit 2 ;;
  esac
done
echo "sanitizers: no reports"
