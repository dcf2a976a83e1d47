#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a small C program
# against it twice: through pkg-config and through find_package.
set -eu
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig"
libdir=$(pkg-config --variable=libdir talvox)
cc -std=c99 -Wall -Werror $(pkg-config --cflags talvox) "$source/tests/api/c_header.c" \
  $(pkg-config --libs talvox) -Wl,-rpath,"$libdir" -o "$prefix/by-pkgconfig"
"$prefix/by-pkgconfig"
cmake -S "$source/tests/api/install_consumer" -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
"$prefix/consumer/consumer"
echo "installed library found by pkg-config and find_package"
