#!/usr/bin/env bash
# The C example of the README compiles against the header and runs on the
# shipped recording.
set -eu
source=$1 library_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed -n '/^```c$/,/^```$/p' "$source/README.md" | sed '1d;$d' > "$work/first.c"
cc -std=c99 -Wall -Wextra -Werror -I"$source/include" "$work/first.c" \
  -L"$library_dir" -ltalvox -Wl,-rpath,"$library_dir" -o "$work/first"
cp "$source/data/librivox-austen-0870.wav" "$work/speech.wav"
cd "$work"
./first
test -s speech.peaks
