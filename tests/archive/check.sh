#!/bin/sh
# Checks from Linux what the Win32 archive test packed in T:\arcdata\out:
# Info-ZIP and 7-Zip find the archive sound, and every member unpacked by
# unzip equals its source.
set -eu
export LC_ALL=C.UTF-8
d=$1
a=$d/out/packed.zip
[ -f "$a" ] || { echo "no packed archive" >&2; exit 1; }
unzip -tq "$a"
7z t "$a" >/dev/null
x=$(mktemp -d)
trap 'rm -rf "$x"' EXIT
unzip -q "$a" -d "$x"
diff -r "$d/tree" "$x/tree"
cmp "$d/single.txt.gz" "$x/single.txt.gz"
cmp "$d/tree.list" "$x/tree.list"
unzip -tq "$d/out/external.zip"
7z t "$d/out/external.zip" >/dev/null
if ls -a "$d/out" | grep -qi '^~zq'; then echo "temporary files left behind" >&2; exit 1; fi
echo "packed archive sound, members equal"
