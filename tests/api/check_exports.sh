#!/usr/bin/env bash
# The shared library must export exactly the functions the header declares.
set -eu
lib=$1 header=$2
declared=$(grep -v '^#' "$header" | grep -oE 'TVX_API[^(]*\(' | sed -E 's/.*[ *]([A-Za-z_][A-Za-z0-9_]*)\($/\1/' | sort -u)
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWw]$/ {print $3}' | grep -vE '^(_init|_fini)$' | sort -u)
missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
status=0
if [ -n "$missing" ]; then echo "declared but not exported:"; echo "$missing"; status=1; fi
if [ -n "$extra" ]; then echo "exported but not declared:"; echo "$extra"; status=1; fi
[ $status -eq 0 ] && echo "exports match the header ($(echo "$declared" | wc -l) functions)"
exit $status
