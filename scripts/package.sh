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
# What an installation must hold, as the package lists it.
listing=$(dpkg-deb -c talvox_*_amd64.deb)
for file in usr/bin/talvox usr/bin/pap.exe usr/include/talvox.h usr/share/man/man1/talvox.1 \
    usr/share/man/man3/talvox.3 usr/share/bash-completion/completions/talvox \
    usr/lib/python3/dist-packages/talvox/__init__.py usr/lib/x86_64-linux-gnu/libtalvox.so.0; do
  grep -q " \./$file\( \|$\)" <<<"$listing" || { echo "package.sh: the package lacks /$file" >&2; exit 1; }
done
