#!/bin/sh
# Makes a 6000 x 4000 PNG and JPEG from Linux, then times, under Wine, the
# viewer's open and first paint (viewrender.exe, painting into a bitmap that
# goes to NUL) against bare_decode.exe on the same file; each the median of
# five runs. Usage: bench/viewer/run.sh [build dir]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/$("$root/scripts/test-build")}" && pwd)
data=$build/bin/bench-viewer
mkdir -p "$data"
/usr/bin/python3 - "$data" <<'PY'
import os, sys
from PIL import Image
base = sys.argv[1]
w, h = 6000, 4000
if not os.path.exists(os.path.join(base, "big.jpg")):
    # Smooth gradients with fine noise: photo-like, neither flat nor random.
    noise = Image.effect_noise((w, h), 24).convert("L")
    grad = Image.linear_gradient("L").resize((w, h))
    img = Image.merge("RGB", (grad, noise, grad.transpose(Image.Transpose.ROTATE_180)))
    img.save(os.path.join(base, "big.jpg"), quality=90)
    img.save(os.path.join(base, "big.png"), compress_level=6)
PY
if [ "${INNER:-}" != 1 ]; then
    # One sandbox (Wine prefix, drives, display) for every run below.
    INNER=1 exec "$root/scripts/with-sandbox" --build "$build" sh "$0" "$build"
fi
# Start the Wine server outside any captured output (it would hold the pipe).
wine "$build/bin/bare_decode.exe" "T:\\bench-viewer\\big.png" >/dev/null 2>&1 || true
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Whole runs (process start included) and the in-process figures the two
# programs print: the viewer's open + first paint against the bare decode.
for f in big.jpg big.png; do
    vw= ; bw= ; vi= ; bi=
    for i in 1 2 3 4 5; do
        s=$(date +%s%N)
        VANDRELL_TIMES=1 wine "$build/bin/viewrender.exe" "T:\\bench-viewer\\$f" NUL >/dev/null 2>"$data/err"
        t=$(tr -d '\r' <"$data/err")
        e=$(date +%s%N)
        vw="$vw $(( (e - s) / 1000000 ))"
        vi="$vi $(echo "$t" | sed -n 's/open \([0-9]*\) ms, first screen \([0-9]*\) ms.*/\1 \2/p' | awk '{print $1 + $2}')"
        s=$(date +%s%N)
        wine "$build/bin/bare_decode.exe" "T:\\bench-viewer\\$f" >/dev/null 2>"$data/err"
        t=$(tr -d '\r' <"$data/err")
        e=$(date +%s%N)
        bw="$bw $(( (e - s) / 1000000 ))"
        bi="$bi $(echo "$t" | sed -n 's/decode \([0-9]*\) ms/\1/p')"
    done
    m() { echo "$1" | tr ' ' '\n' | grep . | median; }
    printf '%s: open + first screen %s ms vs decode %s ms (%.2fx); whole runs %s ms vs %s ms (%.2fx)\n' "$f" \
        "$(m "$vi")" "$(m "$bi")" "$(echo "$(m "$vi") / $(m "$bi")" | bc -l)" \
        "$(m "$vw")" "$(m "$bw")" "$(echo "$(m "$vw") / $(m "$bw")" | bc -l)"
done
