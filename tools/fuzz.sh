#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (ASan + UBSan) in
# build-fuzz/ and runs each of them.
#   tools/fuzz.sh                 each target for 5 minutes, corpus kept in build-fuzz/corpus/
#   tools/fuzz.sh --time S        each target for S seconds
#   tools/fuzz.sh --runs N        each target for N inputs from a fresh copy of its seeds (tests)
#   tools/fuzz.sh ... NAME...     only the named targets
# A crash, sanitizer report, time-out or escaping exception stops the run with
# the fuzzer's output and the input that caused it (build-fuzz/crashes/).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=time; amount=300; only=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) mode=time; amount="$2"; shift 2 ;;
    --runs) mode=runs; amount="$2"; shift 2 ;;
    *) only+=("$1"); shift ;;
  esac
done

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBREL_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null

mkdir -p build-fuzz/crashes build-fuzz/logs
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0; ran=0
while read -r name seeds; do
  [ -n "$name" ] || continue
  if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " =~ " $name " ]]; then continue; fi
  if [ "$mode" = runs ]; then
    corpus=$(mktemp -d); limit=(-runs="$amount")
  else
    corpus=build-fuzz/corpus/$name; limit=(-max_total_time="$amount")
  fi
  mkdir -p "$corpus"
  for seed in $seeds; do
    if [ -d "$seed" ]; then find "$seed" -type f -exec cp -t "$corpus" {} +; else cp "$seed" "$corpus"; fi
  done
  log=build-fuzz/logs/$name.log
  if build-fuzz/fuzz/fuzz_"$name" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=1048576 \
       -artifact_prefix=build-fuzz/crashes/"$name"- -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz $name: $runs inputs, no fault"
  else
    echo "fuzz $name: FAULT (log: $log)"; tail -n 40 "$log"; failed=1
  fi
  [ "$mode" = runs ] && rm -rf "$corpus"
  ran=$((ran + 1))
done < build-fuzz/fuzz-targets.txt
echo "fuzz: $ran targets run"
exit $failed
