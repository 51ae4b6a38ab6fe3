#!/usr/bin/env bash
# Panel benchmark: 100,000 files (and 50,000 for the growth) made from Linux,
# opened in a panel. Figures only.
#   bench/panels/run.sh [build dir]   (default build/win32)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build/win32}" && pwd)
[ -f "$build/bin/bench_panels.exe" ] || { echo "build bench_panels first" >&2; exit 1; }
exec "$root/scripts/with-sandbox" --build "$build" bash -s "$build" <<'INNER'
set -euo pipefail
build=$1
work=$(mktemp -d "$build/panels-bench.XXXXXX")
dos=$WINEPREFIX/dosdevices
letter=
for l in j k l m n o p q r u v w; do
    if [ ! -e "$dos/$l:" ] && [ ! -L "$dos/$l:" ]; then letter=$l; break; fi
done
ln -s "$work" "$dos/$letter:"
trap 'rm -f "$dos/$letter:"; rm -rf "$work"' EXIT
for n in 50000 100000; do
    mkdir -p "$work/f$n"
    python3 - "$work/f$n" "$n" <<'PY'
import os, sys
folder, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    with open(os.path.join(folder, "file%06d.dat" % i), "wb") as f:
        f.write(b"x" * (i % 997))
PY
    echo "== $n files"
    timeout 600 wine 'T:\bench_panels.exe' "$letter:\\f$n" "$letter:\\f$n\\file000123.dat"
done
INNER
