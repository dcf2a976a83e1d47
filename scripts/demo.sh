#!/usr/bin/env bash
# The main job in one command: installs what is missing, builds talvox
# (release, Ninja) into build/, and runs `talvox demo` on the recording
# shipped in data/. The results land in ./talvox-demo.
set -eu
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target talvox_cli pap
build/bin/talvox demo --out talvox-demo
