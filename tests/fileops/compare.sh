#!/bin/sh
# Checks from Linux what the Win32 copy test left in T:\fsdata\copy: every
# target equals its source byte for byte, a cancelled copy left no target,
# and no temporary file is left behind.
set -eu
d=$1/copy
n=0
for src in "$d"/src_*.bin; do
    dst=$d/dst_${src##*/src_}
    cmp "$src" "$dst"
    n=$((n + 1))
done
[ "$n" -ge 6 ] || { echo "expected at least 6 copied pairs, found $n" >&2; exit 1; }
[ ! -e "$d/cancelled.bin" ] || { echo "a cancelled copy left its target" >&2; exit 1; }
if ls "$d" | grep -qi '^~zq.*\.tmp$'; then echo "temporary files left behind" >&2; exit 1; fi
echo "$n pairs equal"
