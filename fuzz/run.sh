#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for SECONDS seconds on a working
# copy of its seed corpus (fuzz/corpus/<target>/), one after the other.
# Crashes are saved under fuzz/crashes/ and fail the run.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]   (targets without "fuzz_")
set -eu
seconds=${1:-20}
shift || true
cd "$(dirname "$0")/.."
build=${TALVOX_FUZZ_BUILD:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALVOX_FUZZ=ON -DTALVOX_SANITIZE=ON -DTALVOX_BUILD_TESTS=OFF -DTALVOX_BUILD_TOOLS=OFF >/dev/null
# Only the library core and the targets: no shared library, no tools.
cmake --build "$build" -j "${TALVOX_JOBS:-2}" --target fuzz_all >/dev/null
mkdir -p fuzz/crashes
if [ $# -gt 0 ]; then names=("$@"); else
  names=(); for t in "$build"/fuzz/fuzz_*; do [ -x "$t" ] && names+=("$(basename "$t")"); done
fi
# The targets' private folders go here and are removed at the end.
base=/tmp; [ -w /dev/shm ] && base=/dev/shm
scratch=$(mktemp -d "$base/talvox-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
status=0
for name in "${names[@]}"; do
  name=fuzz_${name#fuzz_}
  target="$build/fuzz/$name"
  short=${name#fuzz_}
  work="$build/corpus/$short"
  mkdir -p "$work"
  [ -d "fuzz/corpus/$short" ] && cp -n "fuzz/corpus/$short"/* "$work"/ 2>/dev/null || true
  dict=fuzz/tags.dict
  [ -f "fuzz/$short.dict" ] && dict="fuzz/$short.dict"
  echo "-- $name: ${seconds}s"
  if ! TALVOX_FUZZ_TMP="$scratch" ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -dict="$dict" \
      -max_len=65536 -artifact_prefix="fuzz/crashes/$name-" -print_final_stats=1 "$work" \
      >"$build/$name.log" 2>&1; then
    echo "   FAILED: see $build/$name.log and fuzz/crashes/"
    tail -n 30 "$build/$name.log"
    status=1
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/$name.log" | tail -n 2 || true
done
exit $status
