#!/bin/sh
# Fills T:\bench-listing\n100000 and n200000 from Linux (names in a shuffled
# order, mixed extensions and sizes), runs bench_listing on both under Wine
# and removes the folders again (KEEP_DATA=1 keeps them for the next run).
# Usage: bench/listing/run.sh [build dir]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd)
data=$build/bin/bench-listing
python3 - "$data" <<'PY'
import os, random, sys
base = sys.argv[1]
exts = ["txt", "doc", "c", "h", "jpeg", "tar.gz", "", "EXE", "dat"]
for n in (100000, 200000):
    d = os.path.join(base, "n%d" % n)
    if os.path.isdir(d) and len(os.listdir(d)) == n:
        continue
    os.makedirs(d, exist_ok=True)
    rnd = random.Random(n)
    ids = list(range(n))
    rnd.shuffle(ids)
    for i in ids:
        ext = exts[i % len(exts)]
        name = "%s File %06d%s" % (rnd.choice(["alpha", "Beta", "gamma", "_delta", "Ep-silon"]), i,
                                    "." + ext if ext else "")
        if i % 50 == 0:
            os.mkdir(os.path.join(d, name.replace(".", "_")))
        else:
            with open(os.path.join(d, name), "wb") as f:
                f.write(b"x" * (i % 7))
PY
for n in 100000 200000; do
    "$root/scripts/with-sandbox" --build "$build" wine "$build/bin/bench_listing.exe" "T:\\bench-listing\\n$n" 5
done
[ -n "${KEEP_DATA:-}" ] || rm -rf "$data"
