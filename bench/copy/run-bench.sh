#!/usr/bin/env bash
# Copy benchmark: one 1 GiB file and 20,000 files of 4 KiB, copied through
# the copy job and through Wine's CopyFileA in the same run, and with native
# cp -r as the floor. Figures only; nothing here passes or fails.
#   bench/copy/run-bench.sh [build dir] [large|small|all]   (build/win32, all)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd)
sets=${2:-all}
[ "$sets" = all ] && sets="large small"
exe=$build/bin/copy_bench.exe
[ -f "$exe" ] || { echo "build copy_bench first" >&2; exit 1; }
exec "$root/scripts/with-sandbox" --build "$build" bash -s "$root" "$build" "$sets" <<'INNER'
set -euo pipefail
root=$1; build=$2; sets=$3
work=$(mktemp -d "$build/copy-bench.XXXXXX")
dos=$WINEPREFIX/dosdevices
letter=
for l in j k l m n o p q r u v w; do
    if [ ! -e "$dos/$l:" ] && [ ! -L "$dos/$l:" ]; then letter=$l; break; fi
done
ln -s "$work" "$dos/$letter:"
trap 'rm -f "$dos/$letter:"; rm -rf "$work"' EXIT
mkdir -p "$work/large" "$work/small"
case $sets in *large*) head -c 1073741824 /dev/urandom >"$work/large/one.bin" ;; esac
case $sets in *small*) python3 - "$work/small" <<'PY'
import os, sys
block = os.urandom(4096)
for i in range(20000):
    with open(os.path.join(sys.argv[1], "f%05d.dat" % i), "wb") as f:
        f.write(block)
PY
;; esac
sync
bench() { # bench <mode> <set> <round>
    rm -rf "$work/out"
    sync
    "$root/scripts/wine-run" "$build/bin/copy_bench.exe" "$1" "$letter:\\$2" "$letter:\\out" | tr -d '\r' | awk '{print $(NF-1)}'
}
native() {
    rm -rf "$work/out"
    sync
    local t0 t1
    t0=$(date +%s.%N); cp -r "$work/$1" "$work/out"; t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc
}
# Under Wine every new name costs a read of the whole target folder (names
# are matched without regard to case), so the small set takes minutes per
# run: one round of it, five of the large file (take the median: the machine is shared).
# The first copy after the source was written pays for the kernel finding
# memory for the new target's pages (measured: the first of three copies of
# 512 MiB took 0.7-1.5 s, the next ones 0.26-0.42 s, whichever copier came
# first). One unmeasured copy takes that cost, and the two copiers take
# turns at going first.
for set in $sets; do
    rounds=5; [ $set = small ] && rounds=1
    native $set >/dev/null
    for round in $(seq 1 $rounds); do
        if [ $((round % 2)) = 1 ]; then
            j=$(bench job $set)
            c=$(bench copyfile $set)
        else
            c=$(bench copyfile $set)
            j=$(bench job $set)
        fi
        n=$(native $set)
        echo "$set round $round: job $j s, CopyFileA $c s, cp -r $n s, job/CopyFileA speed $(echo "scale=2; $c / $j" | bc)x"
    done
done
INNER
