#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what an installation
# must hold: every file in its place, man pages that man can render, a bash
# completion that completes, and a Python package that finds the library it
# was installed with (no TALVOX_LIBRARY).
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$prefix"
fail() { echo "FAIL: $*" >&2; exit 1; }
libdir=$(dirname "$(find . -name libtalvox.so.0 | head -1)")
[ -n "$libdir" ] || fail "no libtalvox.so.0"
for file in bin/talvox bin/pap.exe include/talvox.h "$libdir/libtalvox.so" "$libdir/pkgconfig/talvox.pc" \
    "$libdir/cmake/talvox/talvoxConfig.cmake" share/man/man3/talvox.3 share/man/man1/talvox.1 \
    share/bash-completion/completions/talvox share/talvox/librivox-austen-0870.wav; do
  [ -e "$file" ] || fail "missing $file"
done
for command in info analyze resynth collect edit plot play record demo; do
  page=share/man/man1/talvox-$command.1
  [ -e "$page" ] || fail "missing $page"
  # The page is the command's own help.
  grep -q "usage: talvox $command" "$page" || fail "$page does not hold the help of $command"
  if command -v man >/dev/null; then
    man -l "$page" 2>/dev/null | grep -q "talvox-$command" || fail "man cannot render $page"
  fi
done
grep -q "GetDataBuffer" share/man/man3/talvox.3 || fail "talvox(3) lacks the C interface"

words=$(bash -c 'source share/bash-completion/completions/talvox
  COMP_WORDS=(talvox re); COMP_CWORD=1; _talvox; echo "${COMPREPLY[@]}"
  COMP_WORDS=(bin/talvox analyze --ch); COMP_CWORD=2; _talvox; echo "${COMPREPLY[@]}"')
[ "$words" = $'resynth record\n--channel' ] || fail "completion gave: $words"

package=$(dirname "$(find . -path '*/talvox/__init__.py' | head -1)")
[ -n "$package" ] || fail "no Python package"
found=$(cd / && env -u TALVOX_LIBRARY PYTHONPATH="$prefix/$(dirname "$package")" /usr/bin/python3 -c \
  'import talvox; print(talvox.raw.path)')
[ "$(realpath "$found")" = "$(realpath "$libdir/libtalvox.so.0")" ] || fail "Python found $found"
echo "installation complete: library, header, pkg-config, CMake package, tools, man pages, completion, Python"
