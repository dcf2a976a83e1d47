#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for SECONDS seconds on its seed
# corpus. Crashes are saved under fuzz/crashes/ and fail the run.
set -eu
seconds=${1:-20}
cd "$(dirname "$0")/.."
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALVOX_FUZZ=ON -DTALVOX_SANITIZE=ON -DTALVOX_BUILD_TESTS=OFF -DTALVOX_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
mkdir -p fuzz/crashes
status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work="$build/corpus/$name"
  mkdir -p "$work"
  seeds="fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  echo "-- $name: ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1 "$target" -max_total_time="$seconds" -dict=fuzz/tags.dict \
      -max_len=65536 -artifact_prefix="fuzz/crashes/$name-" -print_final_stats=1 "$work" \
      >"$build/$name.log" 2>&1; then
    echo "   FAILED: see $build/$name.log and fuzz/crashes/"
    tail -n 30 "$build/$name.log"
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/$name.log" | tail -n 1 || true
done
exit $status
