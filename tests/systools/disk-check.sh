#!/bin/sh
# What the diskette tool tests left in T:\diskdata, checked from Linux:
# the diskette read into an image file is the diskette byte for byte, the
# image written onto the diskette and read back is the image, and the files
# and label are there for mtools.
set -eu
d=$1
cmp "$d/orig.img" "$d/copy.img"
cmp "$d/other.img" "$d/back.img"
mdir -i "$d/copy.img" -b :: | grep -q NUMBERS.TXT
mtype -i "$d/back.img" ::OTHER.TXT | cmp - "$d/files/OTHER.TXT"
mlabel -s -i "$d/copy.img" :: | grep -q ZQSOURCE
