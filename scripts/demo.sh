#!/usr/bin/env bash
# The main job in one command: installs what the tool needs (no test
# frameworks), builds talvox (release, Ninja) into build/, and runs
# `talvox demo` on the recording shipped in data/. The results land in
# ./talvox-demo.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh tool
echo "== configuring"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVOX_BUILD_TESTS=OFF
echo "== building"
cmake --build build -j "$(nproc)" --target talvox_cli pap
echo "== running the demo"
build/bin/talvox demo --out talvox-demo
