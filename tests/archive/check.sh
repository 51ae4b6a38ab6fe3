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
# Copied and moved into an archive panel: sound, exactly the expected
# names, every member equal to its source.
z=$d/out/copyin.zip
unzip -tq "$z"
unzip -Z1 "$z" | sort > "$x/copyin.names"
sort "$d/out/copyin.list" > "$x/copyin.want"
cmp "$x/copyin.names" "$x/copyin.want"
mkdir "$x/copyin"
unzip -q "$z" -d "$x/copyin"
(cd "$d/out/copyin-expect" && find . -type f) | while read -r f; do cmp "$d/out/copyin-expect/$f" "$x/copyin/$f"; done
[ -d "$x/copyin/tree/empty" ]
unzip -tq "$d/out/deleted.zip"
if ls -a "$d/out" | grep -qi '^~zq'; then echo "temporary files left behind" >&2; exit 1; fi
echo "packed archive sound, members equal"
