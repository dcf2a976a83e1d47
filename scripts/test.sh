#!/usr/bin/env bash
# Runs every test: a warnings-as-errors build (TALVOX_WERROR) with all tests, the editor
# page in headless Chromium (screenshots in build/browser-artifacts), the same
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer, the
# Python binding's tests and a short fuzzing run.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh tests
jobs=$(nproc)

echo "== build and test (release)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVOX_BUILD_TESTS=ON -DTALVOX_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

echo "== the editor page (talvox view) in headless Chromium"
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error && TALVOX_BINARY_DIR="$PWD/../../build" npm test)

echo "== build and test (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVOX_SANITIZE=ON -DTALVOX_BUILD_TESTS=ON -DTALVOX_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure

if [ -d python/tests ]; then
  echo "== python binding"
  TALVOX_LIBRARY="$PWD/build/libtalvox.so" /usr/bin/python3 -m pytest -q python/tests
fi

if [ -x fuzz/run.sh ]; then
  echo "== fuzzing (20 s per target)"
  bash fuzz/run.sh 20
fi
