#!/bin/bash
# make-player-streams.sh OUTDIR
# Streams for the player tests, made by Debian's encoders from sox audio:
# Layer II and III, MPEG-1, 2 and 2.5, mono and stereo, CBR and VBR, an
# ID3v1 tag, a 40 KB ID3v2 tag, frames longer than 1046 bytes and a stream
# that switches from one channel to two. Beside each, NAME.ref is mpg123's
# decoding (for frame counts and durations).
set -eu
out=$1
for tool in sox lame twolame mpg123 python3; do
    command -v $tool >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
mkdir -p "$out" && cd "$out"
[ -f .done ] && exit 0
sox -n -r 44100 -c 2 -b 16 noise.wav synth 3 pinknoise tremolo 4 100 vol 0.7
sox -n -r 44100 -c 2 -b 16 long.wav synth 20 sine 300-3000 sine 500 vol 0.6
sox noise.wav -r 32000 n32.wav
sox noise.wav -r 24000 n24.wav
sox noise.wav -c 1 mono.wav trim 0 1
lame --quiet -t -m s -b 128 noise.wav l3_stereo.mp3
lame --quiet -t -m m -b 64 noise.wav l3_mono.mp3
lame --quiet -t --resample 22.05 -b 64 noise.wav l3_mpeg2.mp3
lame --quiet -t --resample 11.025 -b 32 noise.wav l3_mpeg25.mp3
lame --quiet -V 2 noise.wav l3_vbr.mp3
lame --quiet -V 4 --id3v1-only --tt "Night Train" --ta "The Testers" --tl "Rails" --ty 1999 \
     --tc "first take" --tg Jazz noise.wav l3_tagged.mp3
twolame --quiet -b 192 noise.wav l2_stereo.mp2
twolame --quiet -b 96 n24.wav l2_mpeg2.mp2
twolame --quiet -b 384 n32.wav l2_long_frames.mp2
twolame --quiet -b 96 long.wav l2_long.mp2
twolame --quiet -m m -b 96 mono.wav l2_part_mono.mp2
cat l2_part_mono.mp2 l2_stereo.mp2 > l2_mono_then_stereo.mp2
rm l2_part_mono.mp2
# An ID3v2.3 tag of 40 KB (one text frame, then padding) before the audio.
python3 - <<'PY'
size = 40 * 1024
frame = b'TIT2' + (12).to_bytes(4, 'big') + b'\0\0' + b'\0' + b'Long header'
body = frame + bytes(size - len(frame))
ss = bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
open('l3_id3v2.mp3', 'wb').write(b'ID3\3\0\0' + ss + body + open('l3_stereo.mp3', 'rb').read())
PY
for f in *.mp3 *.mp2; do
    mpg123 -q --no-gapless -s "$f" > "$f.ref" 2>/dev/null
done
rm -f *.wav
touch .done
