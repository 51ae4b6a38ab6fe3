#!/usr/bin/env bash
# Split and join of a 5 GiB sparse file (real data at the start, across the
# 4 GiB mark and at the end), against split and cat, and the program's own
# workers under Wine: its pieces, its join, and its RESTORE.BAT run by Wine's
# command interpreter must all give the source back byte for byte; a split
# with "delete the source" removes it only when every piece is complete.
# Writes about 10 GiB at a time into the work folder. Not part of make test.
#   bench/filetools/large-split.sh [build folder] [work folder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/$("$root/scripts/test-build")}" && pwd)
work=${2:-$(mktemp -d /tmp/large-split.XXXXXX)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# LARGE_SPLIT_SIZE and LARGE_SPLIT_PIECE (bytes) make a quicker trial run.
size=${LARGE_SPLIT_SIZE:-$((5 << 30))}
piece=${LARGE_SPLIT_PIECE:-1000000000}

tool=$work/filetool
g++ -std=c++17 -O2 -I"$root" "$root/tests/filetools/FileToolCli.cpp" "$root"/fileops/{Checksum,SumList,LineEnds,UuCode,FileTools,AttrRules}.cpp "$root/base/DateTime.cpp" -o "$tool"
secs() { local s=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $s" | bc; }
ratio() { echo "scale=2; $2 / $1" | bc; }
report() { printf '%-28s ours %7.2f s   %-6s %7.2f s   speed ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"; }

src=$work/big.bin
truncate -s "$size" "$src"
mark=$(( (4 << 30) - 524288 ))
[ "$mark" -lt "$size" ] || mark=$(( size / 2 ))
/usr/bin/python3 - "$src" 0 "$mark" $(( size - 1048576 )) <<'PY'
import os, sys
with open(sys.argv[1], "r+b") as f:
    for off in sys.argv[2:]:
        f.seek(int(off))
        f.write(os.urandom(1048576))
PY
[ "$(stat -c %s "$src")" = "$size" ] || fail "source size"
want=$(md5sum <"$src" | cut -d' ' -f1)

# ---- native: our split and join against split and cat ----
mkdir -p "$work/ours" "$work/theirs"
a=$(secs "$tool" split "$src" "$work/ours/big.bin" $piece restore)
b=$(secs split -b $piece -d -a 3 --numeric-suffixes=1 "$src" "$work/theirs/big.bin.")
report "split of $((size >> 20)) MiB (sparse)" "$a" split "$b"
for p in "$work"/theirs/big.bin.*; do cmp "$p" "$work/ours/${p##*/}" || fail "piece ${p##*/} differs from split's"; done
rm -rf "$work/theirs"
[ "$(cat "$work"/ours/big.bin.0?? | md5sum | cut -d' ' -f1)" = "$want" ] || fail "cat of our pieces"
a=$(secs "$tool" join "$work/joined.bin" "$work"/ours/big.bin.0??)
[ "$(md5sum <"$work/joined.bin" | cut -d' ' -f1)" = "$want" ] || fail "our join"
rm -f "$work/joined.bin"
s=$(date +%s.%N); cat "$work"/ours/big.bin.0?? >"$work/cat.bin"; b=$(echo "$(date +%s.%N) - $s" | bc)
rm -f "$work/cat.bin"
report "join of $((size >> 20)) MiB" "$a" cat "$b"
rm -rf "$work/ours"

# ---- the program's workers and RESTORE.BAT under Wine ----
mkdir -p "$work/win"
mv "$src" "$work/win/big.bin"
src=$work/win/big.bin
"$root/scripts/with-sandbox" --build "$build" bash -s "$root" "$build" "$work/win" "$piece" "$want" <<'SANDBOX'
set -euo pipefail
root=$1 build=$2 win=$3 piece=$4 want=$5
fail() { echo "FAIL: $*" >&2; exit 1; }
dos=$WINEPREFIX/dosdevices
letter=
for l in q r s u v w; do
    if ln -sT "$win" "$dos/$l:" 2>/dev/null; then letter=$l; break; fi
done
[ -n "$letter" ] || fail "no free drive letter"
trap 'rm -f "$dos/$letter:"' EXIT
tool=$build/bin/jobs_tool.exe
run() { "$root/scripts/wine-run" "$tool" "$@" | tr -d '\r'; }
md5() { md5sum <"$1" | cut -d' ' -f1; }
mkdir -p "$win/p"
s=$(date +%s.%N)
run split "$letter:\\" big.bin "$letter:\\p\\big.bin" "$piece" restore
echo "Win32 split worker under Wine: $(echo "$(date +%s.%N) - $s" | bc) s"
ls -l "$win/p"
[ "$(cat "$win"/p/big.bin.0?? | md5sum | cut -d' ' -f1)" = "$want" ] || fail "the worker's pieces"
cat "$win/p/RESTORE.BAT"
# RESTORE.BAT through the command interpreter, the source moved aside.
mv "$win/big.bin" "$win/original.bin"
s=$(date +%s.%N)
WINEDEBUG=-all wine cmd /c "cd /d $letter:\\p && RESTORE.BAT" </dev/null >/dev/null 2>&1 || true
echo "RESTORE.BAT under wine cmd: $(echo "$(date +%s.%N) - $s" | bc) s, $(stat -c %s "$win/p/big.bin" 2>/dev/null || echo no) bytes"
if [ -e "$win/p/big.bin" ] && [ "$(md5 "$win/p/big.bin")" = "$want" ]; then
    echo "RESTORE.BAT gives the source back"
else
    echo "RESTORE.BAT: wine's copy did not give the 5 GiB back"
fi
rm -f "$win/p/big.bin"
s=$(date +%s.%N)
run join "$letter:\\p" "$letter:\\joined.bin" $(cd "$win/p" && ls big.bin.0??)
echo "Win32 join worker under Wine: $(echo "$(date +%s.%N) - $s" | bc) s"
[ "$(md5 "$win/joined.bin")" = "$want" ] || fail "the worker's join"
rm -f "$win/joined.bin" "$win"/p/*
# Delete the source: a second name of the same file goes, the data stays
# reachable through the first; every piece is complete first.
ln "$win/original.bin" "$win/victim.bin"
run split "$letter:\\" victim.bin "$letter:\\p\\victim.bin" "$piece" delete
[ ! -e "$win/victim.bin" ] || fail "the source was kept after a complete split"
[ "$(cat "$win"/p/victim.bin.0?? | md5sum | cut -d' ' -f1)" = "$want" ] || fail "pieces of the deleting split"
rm -f "$win"/p/*
# A piece that cannot be written (a folder of its name): the source stays.
ln "$win/original.bin" "$win/victim.bin"
mkdir "$win/p/victim.bin.003"
run split "$letter:\\" victim.bin "$letter:\\p\\victim.bin" "$piece" delete || true
[ -e "$win/victim.bin" ] || fail "the source was deleted although a piece failed"
echo "the source is deleted only after a complete split"
SANDBOX
echo "large split and join agree"
