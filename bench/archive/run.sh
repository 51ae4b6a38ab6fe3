#!/bin/sh
# Makes a ZIP of 100,000 small members and a ZIP of 1 GiB of members in
# T:\bench-archive, then times, on the same files:
#   listing:   bench_archive list (the panel listing)  against  unzip -Z1
#   unpacking: bench_archive unpack (the whole archive) against unzip -o
# and removes everything again. Usage: bench/archive/run.sh [build dir]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd)
data=$build/bin/bench-archive
rm -rf "$data"
mkdir -p "$data/out" "$data/unzip"
/usr/bin/python3 - "$data" <<'PY'
import os, random, sys, zipfile
d = sys.argv[1]
with zipfile.ZipFile(os.path.join(d, 'many.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(100000):
        z.writestr('dir%03d/member %06d.txt' % (i % 500, i), b'x' * (i % 37))
rnd = random.Random(1)
with zipfile.ZipFile(os.path.join(d, 'big.zip'), 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    for i in range(64):
        # 16 MiB each, half of it random: 1 GiB in all.
        block = bytes(rnd.getrandbits(8) for _ in range(4096))
        z.writestr('part%02d.bin' % i, (block + b'\0' * 4096) * 2048)
PY
t0=$(date +%s%N); unzip -Z1 "$data/many.zip" > /dev/null; t1=$(date +%s%N)
echo "unzip -Z1 many.zip: $(( (t1 - t0) / 1000000 )) ms"
"$root/scripts/with-sandbox" --build "$build" wine "$build/bin/bench_archive.exe" list 'T:\bench-archive\many.zip' 3
t0=$(date +%s%N); unzip -qo "$data/big.zip" -d "$data/unzip"; t1=$(date +%s%N)
echo "unzip big.zip: $(( (t1 - t0) / 1000000 )) ms"
"$root/scripts/with-sandbox" --build "$build" wine "$build/bin/bench_archive.exe" unpack 'T:\bench-archive\big.zip' 'T:\bench-archive\out'
cmp "$data/out/part00.bin" "$data/unzip/part00.bin"
rm -rf "$data"
