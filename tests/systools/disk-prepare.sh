#!/bin/sh
# Diskette images for the diskette tool tests in T:\diskdata (the build's
# bin folder): FAT images made by mkfs.fat with files copied in by mcopy,
# and drive A: of the test prefix linked to one of them.
set -eu
d=$1
case "$d" in */diskdata) ;; *) echo "refusing to clear $d" >&2; exit 1 ;; esac
rm -rf "$d"
mkdir -p "$d/files"
printf 'hello diskette\r\n' > "$d/files/README.TXT"
seq 1 60000 > "$d/files/NUMBERS.TXT"
seq 5 7 200000 > "$d/files/OTHER.TXT"
mkfs.fat -C -n ZQSOURCE -i 1234abcd "$d/orig.img" 1440 >/dev/null
mcopy -i "$d/orig.img" "$d/files/README.TXT" "$d/files/NUMBERS.TXT" ::
mkfs.fat -C -n ZQOTHER -i 5678abcd "$d/other.img" 1440 >/dev/null
mcopy -i "$d/other.img" "$d/files/OTHER.TXT" ::
mkfs.fat -C "$d/small.img" 720 >/dev/null
head -c 1000000 "$d/orig.img" > "$d/short.img"
cp "$d/orig.img" "$d/a.img"
ln -sfn "$d/a.img" "$WINEPREFIX/dosdevices/a::"
