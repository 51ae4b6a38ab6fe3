#!/usr/bin/env bash
# Comparing two trees for synchronisation against `rsync -n -r --delete` of
# the same trees, same run (page cache warm for both): trees of 20,000 and
# 40,000 files in 100-file folders, a tenth of them changed, missing or extra
# on each side. synctool is built here with -O2 (the native test build
# carries the sanitizers). Figures only; nothing passes or fails.
#   bench/sync/run-bench.sh [work folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${1:-$(mktemp -d /tmp/sync-bench.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
command -v rsync >/dev/null || { echo "rsync is missing: scripts/install-deps.sh installs it" >&2; exit 1; }
tool=$work/synctool
g++ -std=c++17 -O2 -I"$root" "$root/tests/sync/SyncTool.cpp" "$root/fileops/SyncCompare.cpp" \
    "$root/base/DateTime.cpp" "$root/base/Numbers.cpp" -o "$tool"

make_trees() { # make_trees <dir> <files>
    python3 - "$1" "$2" <<'PY'
import os, sys
top, n = sys.argv[1], int(sys.argv[2])
for side in "LR":
    for i in range(n):
        d = os.path.join(top, side, "d%04d" % (i // 100))
        os.makedirs(d, exist_ok=True)
        k = i % 10
        if (side == "L" and k == 1) or (side == "R" and k == 2):
            continue  # only on the other side
        p = os.path.join(d, "file%06d.txt" % i)
        with open(p, "w") as f:
            f.write("x" * (i % 50))
        t = 1600000000 + (600 if (side == "L" and k == 3) else 0)
        os.utime(p, (t, t))
PY
}

best() { # best of three runs, seconds
    local b=""
    for _ in 1 2 3; do
        local s=$(date +%s.%N)
        "$@" >/dev/null
        local t=$(echo "$(date +%s.%N) - $s" | bc)
        if [ -z "$b" ] || [ "$(echo "$t < $b" | bc)" = 1 ]; then b=$t; fi
    done
    echo "$b"
}

declare -A ours
for n in 20000 40000; do
    make_trees "$work/t$n" $n
    L=$work/t$n/L R=$work/t$n/R
    find "$L" "$R" >/dev/null
    a=$(best "$tool" compare "$L" "$R" 0x9)
    b=$(best rsync -n -r --delete "$L/" "$R/")
    ours[$n]=$a
    printf '%6d files  synctool %6.3f s   rsync -n %6.3f s   ours / rsync %s\n' $n "$a" "$b" "$(echo "scale=2; $a / $b" | bc)"
done
printf 'growth 40,000 / 20,000: %s\n' "$(echo "scale=2; ${ours[40000]} / ${ours[20000]}" | bc)"
