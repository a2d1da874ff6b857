#!/usr/bin/env bash
# Set up, build and run every test: a plain build, then the same tests under
# AddressSanitizer + UndefinedBehaviorSanitizer, the fuzz targets, then the
# concurrent tests under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
jobs="$(nproc)"

build() { # dir, extra cmake args...
  local dir="$1"; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

build build
(cd build && ctest --output-on-failure -j"$jobs")

build build-asan -DNIMBREL_SANITIZE=address
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j"$jobs")

# Every reader of outside data, fed a fixed number of inputs by libFuzzer.
bash tools/fuzz.sh --runs 20000

# Test suites whose name ends in "Concurrency" exercise threads.
build build-tsan -DNIMBREL_SANITIZE=thread
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j"$jobs" -R 'Concurrency\.')
