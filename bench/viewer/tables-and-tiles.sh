#!/bin/sh
# A 100 MB dBase table and an 8000 x 8000 tiled TIFF, made here, then under
# Wine the viewer's open and first screen of each (viewrender.exe with
# VANDRELL_TIMES); the TIFF also as a whole picture against tifftopnm writing
# a PPM of the same file (native, same run). Medians of five runs.
# Usage: bench/viewer/tables-and-tiles.sh [build dir]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/$("$root/scripts/test-build")}" && pwd)
data=$build/bin/bench-viewer
mkdir -p "$data"
/usr/bin/python3 - "$data" <<'PY'
import os, struct, sys
base = sys.argv[1]
table = os.path.join(base, "big.dbf")
if not os.path.exists(table):
    # dBase III: a number, a name, a date and a flag; 100 MB of records.
    fields = [(b"ID", b"N", 10, 0), (b"NAME", b"C", 60, 0), (b"BORN", b"D", 8, 0), (b"OK", b"L", 1, 0)]
    size = 1 + sum(f[2] for f in fields)
    count = 100 * 1024 * 1024 // size
    header = 32 + 32 * len(fields) + 1
    with open(table, "wb") as f:
        f.write(struct.pack("<B3BIHH20x", 3, 126, 12, 10, count, header, size))
        for name, kind, length, dec in fields:
            f.write(struct.pack("<11sc4xBB14x", name, kind, length, dec))
        f.write(b"\r")
        chunk = []
        for i in range(count):
            chunk.append(b" %10d%-60s%04d%02d%02d%s" % (i, b"name %d" % i, 1900 + i % 120, 1 + i % 12, 1 + i % 28,
                                                       b"TF"[i & 1:(i & 1) + 1]))
            if len(chunk) == 65536:
                f.write(b"".join(chunk))
                chunk = []
        f.write(b"".join(chunk) + b"\x1a")
PY
if [ ! -f "$data/tiled.tif" ]; then
    convert -size 8000x8000 gradient:red-blue -attenuate 0.3 +noise Gaussian \
        -define tiff:tile-geometry=256x256 -compress lzw "$data/tiled.tif"
fi
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
m() { echo "$1" | tr ' ' '\n' | grep . | median; }
# Native reference first, outside the sandbox.
tt=
for i in 1 2 3 4 5; do
    s=$(date +%s%N)
    tifftopnm "$data/tiled.tif" >"$data/tiled.ppm" 2>/dev/null
    e=$(date +%s%N)
    tt="$tt $(( (e - s) / 1000000 ))"
done
echo "tifftopnm + PPM write: $(m "$tt") ms"
if [ "${INNER:-}" != 1 ]; then
    INNER=1 exec "$root/scripts/with-sandbox" --build "$build" sh "$0" "$build"
fi
wine "$build/bin/viewrender.exe" "T:\\bench-viewer\\big.dbf" NUL >/dev/null 2>&1 || true
for f in big.dbf tiled.tif; do
    o= ; sc= ; w=
    for i in 1 2 3 4 5; do
        VANDRELL_TIMES=1 wine "$build/bin/viewrender.exe" "T:\\bench-viewer\\$f" NUL >/dev/null 2>"$data/err" || true
        t=$(tr -d '\r' <"$data/err")
        o="$o $(echo "$t" | sed -n 's/open \([0-9]*\) ms.*/\1/p')"
        sc="$sc $(echo "$t" | sed -n 's/.*first screen \([0-9]*\) ms.*/\1/p')"
        w="$w $(echo "$t" | sed -n 's/.*whole picture \([0-9]*\) ms.*/\1/p')"
    done
    echo "$f: open $(m "$o") ms, first screen $(m "$sc") ms${w:+, whole picture $(m "$w") ms}"
done
