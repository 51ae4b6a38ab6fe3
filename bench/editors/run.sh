#!/bin/sh
# A 200 MB binary file and a 20 MB text file, made here, then under Wine the
# hex editor's open to its first screen and its move to the end, and the text
# editor's open against a plain Edit control given the same text. Medians of
# five runs. Usage: bench/editors/run.sh [build dir]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/$("$root/scripts/test-build")}" && pwd)
data=$build/bin/bench-editors
mkdir -p "$data"
[ -f "$data/big.bin" ] || head -c 209715200 /dev/urandom >"$data/big.bin"
if [ ! -f "$data/big.txt" ]; then
    /usr/bin/python3 - "$data/big.txt" <<'PY'
import sys
with open(sys.argv[1], "w", newline="\r\n") as f:
    line = 0
    while f.tell() < 20 * 1024 * 1024:
        f.write("line %07d: the quick brown fox jumps over the lazy dog\n" % line)
        line += 1
PY
fi
if [ "${INNER:-}" != 1 ]; then
    INNER=1 exec "$root/scripts/with-sandbox" --build "$build" sh "$0" "$build"
fi
wine "$build/bin/bench_editors.exe" hex "T:\\bench-editors\\big.bin" >/dev/null 2>&1 || true
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
m() { echo "$1" | tr ' ' '\n' | grep . | median; }
o= ; e= ; t= ; p=
for i in 1 2 3 4 5; do
    line=$(wine "$build/bin/bench_editors.exe" hex "T:\\bench-editors\\big.bin" 2>/dev/null | tr -d '\r')
    o="$o $(echo "$line" | sed -n 's/hex open + first screen \([0-9.]*\) ms.*/\1/p')"
    e="$e $(echo "$line" | sed -n 's/.*to the end \([0-9.]*\) ms.*/\1/p')"
    line=$(wine "$build/bin/bench_editors.exe" text "T:\\bench-editors\\big.txt" 2>/dev/null | tr -d '\r')
    t="$t $(echo "$line" | sed -n 's/text open + first paint \([0-9.]*\) ms.*/\1/p')"
    p="$p $(echo "$line" | sed -n 's/.*plain Edit \([0-9.]*\) ms.*/\1/p')"
done
echo "hex editor, 200 MB: open + first screen $(m "$o") ms (target 300), to the end $(m "$e") ms"
printf 'text editor, 20 MB: open %s ms vs plain Edit %s ms (%.2fx, target 2x)\n' "$(m "$t")" "$(m "$p")" \
    "$(echo "$(m "$t") / $(m "$p")" | bc -l)"
