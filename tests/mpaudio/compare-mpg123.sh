#!/bin/bash
# compare-mpg123.sh MPADECODE WORKDIR
# Makes short streams with lame (MPEG-1, 2 and 2.5 rates; stereo, joint,
# mono; CBR and VBR; transients for short blocks) and twolame (Layer II, all
# modes, CRC on and off) from sox-made audio, decodes them with our decoder
# and with mpg123, and requires the two outputs to agree to full accuracy.
set -u
dec=$1 work=$2
for tool in sox lame twolame mpg123 python3; do
    command -v $tool >/dev/null || { echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# Pink noise with a fast tremolo: transients make the encoders switch to
# short blocks; a sweep covers the tonal case.
sox -n -r 44100 -c 2 -b 16 noise.wav synth 2 pinknoise tremolo 4 100 vol 0.7 || exit 1
sox -n -r 44100 -c 2 -b 16 sweep.wav synth 2 sine 300-3000 sine 500 vol 0.6 || exit 1
sox noise.wav -r 48000 n48.wav && sox noise.wav -r 32000 n32.wav && sox noise.wav -r 24000 n24.wav
sox noise.wav -r 16000 -c 1 n16m.wav

fail=0
compare() { # name
    local name=$1
    mpg123 -q --no-gapless -s "$name" > "$name.ref" 2>/dev/null
    if ! "$dec" "$name" "$name.raw" 2>/dev/null; then
        echo "FAIL $name: not decoded"; fail=1; return
    fi
    python3 - "$name" <<'PY' || fail=1
import array, math, sys
n = sys.argv[1]
a = array.array('h', open(n + '.raw', 'rb').read())
b = array.array('h', open(n + '.ref', 'rb').read())
m = min(len(a), len(b))
se = sum((a[i] - b[i]) ** 2 for i in range(m))
mx = max((abs(a[i] - b[i]) for i in range(m)), default=99)
psnr = 200.0 if se == 0 else 10 * math.log10(32768.0 ** 2 * m / se)
ok = len(a) == len(b) and m > 0 and psnr >= 96 and mx <= 2
print('%s %-40s %8d values, PSNR %6.2f dB, largest difference %d' % ('ok  ' if ok else 'FAIL', n, m, psnr, mx))
sys.exit(0 if ok else 1)
PY
}

i=0
for enc in "noise.wav|-m s -b 128" "noise.wav|-m j -b 128" "noise.wav|-m m -b 64" "noise.wav|-V 2" \
            "sweep.wav|-m j -b 320" "noise.wav|--resample 48 -b 256" "noise.wav|--resample 32 -b 96" \
            "noise.wav|--resample 22.05 -b 64" "noise.wav|--resample 24 -V 4" "noise.wav|--resample 16 -b 32 -m m" \
            "noise.wav|--resample 11.025 -b 32" "noise.wav|--resample 12 -b 48" "noise.wav|--resample 8 -b 16 -m m"; do
    i=$((i + 1))
    # -t: no Xing/Info frame, which mpg123 would skip and we decode as silence.
    lame --quiet -t ${enc#*|} "${enc%%|*}" "lame$i.mp3" || { echo "FAIL lame ${enc#*|}"; fail=1; continue; }
    compare "lame$i.mp3"
done
for enc in "noise.wav|-m s -b 192" "noise.wav|-m j -b 128" "noise.wav|-m d -b 192" "noise.wav|-m m -b 64" \
            "noise.wav|-m s -b 192 --protect" "n48.wav|-m j -b 64 --protect" "n48.wav|-m s -b 384" \
            "n32.wav|-m j -b 384" "n32.wav|-m m -b 48 --protect" "n24.wav|-m j -b 96" "n16m.wav|-m m -b 32 --protect"; do
    i=$((i + 1))
    twolame --quiet ${enc#*|} "${enc%%|*}" "twolame$i.mp2" || { echo "FAIL twolame ${enc#*|}"; fail=1; continue; }
    compare "twolame$i.mp2"
done
exit $fail
