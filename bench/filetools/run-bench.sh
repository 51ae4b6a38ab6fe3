#!/usr/bin/env bash
# Batch file tools against the Unix tools, same run, same files (page cache
# warm for both): MD5 and CRC-32 of 1 GiB against md5sum and cksfv, line-end
# conversion of 1 GiB of text against dos2unix, split and join of 4 GiB
# against split and cat. filetool is built here with -O2 (the native test
# build carries the sanitizers). Figures only; nothing passes or fails.
#   bench/filetools/run-bench.sh [work folder] [sizes: small]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${1:-$(mktemp -d /tmp/filetools-bench.XXXXXX)}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
gib=1073741824
[ "${2:-}" = small ] && gib=67108864
tool=$work/filetool
g++ -std=c++17 -O2 -I"$root" "$root/tests/filetools/FileToolCli.cpp" "$root"/fileops/{Checksum,SumList,LineEnds,UuCode,FileTools}.cpp -o "$tool"

secs() { local s=$(date +%s.%N); "$@" >/dev/null; echo "$(date +%s.%N) - $s" | bc; }
ratio() { echo "scale=2; $2 / $1" | bc; }  # theirs / ours: above 1 means we are faster
report() { printf '%-28s ours %6.2f s   %-10s %6.2f s   speed ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"; }

head -c $gib /dev/urandom > "$work/one.bin"
cat "$work/one.bin" > /dev/null
a=$(secs "$tool" md5 "$work/one.bin"); b=$(secs md5sum "$work/one.bin")
report "MD5 of $((gib >> 20)) MiB" "$a" md5sum "$b"
a=$(secs "$tool" crc32 "$work/one.bin"); b=$(secs cksfv -q "$work/one.bin")
report "CRC-32 of $((gib >> 20)) MiB" "$a" cksfv "$b"

python3 - "$work/text.txt" $gib <<'PY'
import sys
line = b"The quick brown fox jumps over the lazy dog, 0123456789 times.\r\n"
n = int(sys.argv[2]) // len(line)
with open(sys.argv[1], "wb") as f:
    block = line * 16384
    for _ in range(n // 16384):
        f.write(block)
PY
cp "$work/text.txt" "$work/ref.txt"
a=$(secs "$tool" crlf unix "$work/text.txt" "$work/ours.txt"); b=$(secs dos2unix -q "$work/ref.txt")
report "CR LF -> LF of $((gib >> 20)) MiB" "$a" dos2unix "$b"
cmp "$work/ours.txt" "$work/ref.txt"
rm -f "$work"/*.txt

for i in 1 2 3; do cat "$work/one.bin"; done > "$work/four.bin"; cat "$work/one.bin" >> "$work/four.bin"
# Split and join write 4 GiB each: whoever writes next pays for the write-back
# of what came before. So ours and theirs take turns (the first alternates),
# three rounds, each after the last output is gone and the rest is on disk
# (sync); the medians are reported.
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
turns() {  # turns NAME THEIRS-NAME: calls run_ours and run_theirs
    local ours=() theirs=() round
    for round in 1 2 3; do
        if [ $((round % 2)) = 1 ]; then
            clean; sync; ours+=("$(run_ours)"); clean; sync; theirs+=("$(run_theirs)")
        else
            clean; sync; theirs+=("$(run_theirs)"); clean; sync; ours+=("$(run_ours)")
        fi
    done
    report "$1" "$(median "${ours[@]}")" "$2" "$(median "${theirs[@]}")"
    echo "    rounds: ours ${ours[*]}   $2 ${theirs[*]}   load $(cut -d' ' -f1-3 /proc/loadavg)"
}
clean() { rm -f "$work"/ours.0?? "$work"/theirs.???; }
run_ours() { secs "$tool" split "$work/four.bin" "$work/ours" 1000000000; }
run_theirs() { secs split -b 1000000000 -d -a 3 "$work/four.bin" "$work/theirs."; }
turns "split of $((4 * gib >> 20)) MiB" split
run_ours >/dev/null; run_theirs >/dev/null  # the pieces for the join
clean() { rm -f "$work/joined.bin" "$work/cat.bin"; }
run_ours() {
    secs "$tool" join "$work/joined.bin" "$work"/ours.0??
    cmp "$work/joined.bin" "$work/four.bin"
}
run_theirs() { local s=$(date +%s.%N); cat "$work"/theirs.??? > "$work/cat.bin"; echo "$(date +%s.%N) - $s" | bc; }
turns "join of $((4 * gib >> 20)) MiB" cat
