#!/bin/sh
# Text files in every encoding and line-end style the editor keeps, made
# by the Unix tools, in the folder the Win32 tests read as T:\editdata.
set -eu
d=$1
case "$d" in */editdata) ;; *) echo "refusing to clear $d" >&2; exit 1 ;; esac
rm -rf "$d"
mkdir -p "$d"
base="$d/base.utf8"
printf 'Gr\303\274\303\237e aus K\303\266ln, caf\303\251 \342\202\254 5\nZeile zwei\tmit Tab\n\ndritte Zeile ohne Ende' > "$base"
for ends in lf crlf cr; do
    conv() { case $ends in lf) cat ;; crlf) unix2dos -q ;; cr) unix2mac -q ;; esac; }
    conv < "$base" > "$d/utf8_$ends.txt"
    iconv -f UTF-8 -t CP1252 "$base" | conv > "$d/ansi_$ends.txt"
    sed 's/\(caf.\).*5/\1/' "$base" | iconv -f UTF-8 -t CP850 | conv > "$d/cp850_$ends.txt"
    { printf '\377\376'; conv < "$base" | iconv -f UTF-8 -t UTF-16LE; } > "$d/utf16le_$ends.txt"
    { printf '\376\377'; conv < "$base" | iconv -f UTF-8 -t UTF-16BE; } > "$d/utf16be_$ends.txt"
done
# Zero bytes inside text, and a UTF-16 file of four bytes (too short for a mark).
printf 'a\000b\nc\000' > "$d/zeros.txt"
printf '\377\376a\000' > "$d/short16.txt"
rm "$base"
