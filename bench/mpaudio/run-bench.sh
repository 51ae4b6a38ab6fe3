#!/bin/bash
# run-bench.sh [WORKDIR]
# Decoding speed against mpg123: makes a 10-minute 320 kbit/s stereo Layer
# III stream (lame) and a 10-minute 256 kbit/s Layer II stream (twolame)
# from sox-made audio in WORKDIR (default /tmp/mpadecode-bench), builds
# mpadecode natively with the project's release flags (no sanitizers) and
# reports the median user CPU time of several runs of each decoder (user
# time: the machine may be shared, and waiting for a core is not decoding),
# with the plain C routines (-p) beside, and the i686 build under Wine when
# build/win32 holds it (BENCH_WINE=0 leaves that out).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-/tmp/mpadecode-bench}
runs=${RUNS:-5}
mkdir -p "$work"
cd "$work"
[ -f src.wav ] || sox -n -r 44100 -c 2 -b 16 src.wav synth 600 pinknoise sine 440 vol 0.5
[ -f l3-320.mp3 ] || lame --quiet -t -b 320 src.wav l3-320.mp3
[ -f l2-256.mp2 ] || twolame --quiet -b 256 src.wav l2-256.mp2
# The decoder only: the player's thread and window need windows.h.
g++ -O2 -std=c++17 -I"$root/mpaudio" $(ls "$root"/mpaudio/*.cpp | grep -v -e /Mp3Player -e /MpegPlayer) \
    "$root/bench/mpaudio/MpaDecodeMain.cpp" -o mpadecode

median() { # command...: median user seconds over $runs runs
    for _ in $(seq "$runs"); do
        /usr/bin/time -o time.txt -f "%U" "$@" >/dev/null 2>&1
        cat time.txt
    done | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for f in l3-320.mp3 l2-256.mp2; do
    ours=$(median ./mpadecode -t "$f")
    plain=$(median ./mpadecode -p -t "$f")
    ref=$(median mpg123 -q -t "$f")
    echo "$f: mpadecode $ours s (plain C $plain s), mpg123 -q -t $ref s, ratio $(awk -v a="$ours" -v b="$ref" 'BEGIN{printf "%.2f", a / b}')"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
exe="$root/build/win32/bin/mpadecode.exe"
if [ "${BENCH_WINE:-1}" = 1 ] && [ -f "$exe" ] && command -v wine >/dev/null; then
    # The sandbox has no Z: drive; S: is the source tree, so the streams go
    # to a folder of the build tree for the run.
    winwork="$root/build/win32/mpaudio-bench"
    mkdir -p "$winwork"
    cp l3-320.mp3 l2-256.mp2 "$winwork/"
    for f in l3-320.mp3 l2-256.mp2; do
        echo -n "$f under Wine (i686 build): "
        "$root/scripts/with-sandbox" --build "$root/build/win32" \
            wine 'T:\mpadecode.exe' -t "S:\\build\\win32\\mpaudio-bench\\$f" 2>&1 | tr -d '\r' | tail -1
    done
    rm -rf "$winwork"
fi

# Playing against decoding under Wine, in the build the tests run here:
# Wine's ALSA driver writes the played PCM to a file device in a HOME of
# the benchmark's own.
tb=$("$root/scripts/test-build")
play="$root/$tb/bin/mpaplay.exe"
if [ "${BENCH_WINE:-1}" = 1 ] && [ -f "$play" ]; then
    winwork="$root/$tb/mpaudio-bench"
    mkdir -p "$winwork/home"
    cp l3-320.mp3 "$winwork/"
    echo "pcm.!default { type file slave.pcm null file \"$winwork/out.raw\" format raw }" >"$winwork/home/.asoundrc"
    echo -n "l3-320.mp3 played under Wine ($tb): "
    HOME="$winwork/home" "$root/scripts/with-sandbox" --build "$root/$tb" \
        env HOME="$winwork/home" wine 'T:\mpaplay.exe' "S:\\${tb//\//\\}\\mpaudio-bench\\l3-320.mp3" 2>&1 | tr -d '\r' | tail -1
    # The rest of the process's time is the system's sound path: the same
    # length of silence through waveOut, with no decoding at all.
    echo -n "600 s of silence under Wine ($tb): "
    HOME="$winwork/home" "$root/scripts/with-sandbox" --build "$root/$tb" \
        env HOME="$winwork/home" wine 'T:\wavesilence.exe' 600 2>&1 | tr -d '\r' | tail -1
    rm -rf "$winwork"
fi
