#!/bin/sh
# The layering check must name every broken include of the fixture tree
# (and only those) and fail.
set -u
here=$(dirname "$0")
out=$(python3 "$1" "$here/bad")
rc=$?
[ "$rc" -eq 1 ] || { echo "check-layout returned $rc on the broken tree"; exit 1; }
printf '%s\n' "$out" | diff -u "$here/bad.expected" - || exit 1
