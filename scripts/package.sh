#!/usr/bin/env bash
# Builds the Debian package talvox_<version>_amd64.deb into the current
# folder: a release build installed under /usr, without the tests.
set -eu
source=$(cd "$(dirname "$0")/.." && pwd)
bash "$source/scripts/install-deps.sh" package
build=$source/build-package
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTALVOX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
cp "$build"/talvox_*_amd64.deb .
ls talvox_*_amd64.deb
