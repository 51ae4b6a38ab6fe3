#!/bin/sh
# Fills the folder the Win32 file-system tests read as T:\fsdata: sparse
# files above 4 GB (no disk space used) and the figures statvfs gives for
# that folder's file system.
set -eu
d=$1
case "$d" in */fsdata) ;; *) echo "refusing to clear $d" >&2; exit 1 ;; esac
rm -rf "$d"
mkdir -p "$d/big" "$d/copy" "$d/short" "$d/list"
truncate -s 5G "$d/big/five.bin"
truncate -s 4294967296 "$d/big/four.bin"
truncate -s 4294967295 "$d/big/under.bin"
printf 'x' > "$d/big/one.txt"
# fundamental block size, total blocks, free blocks, blocks free to users
stat -f -c '%S %b %f %a' "$d" > "$d/statvfs.txt"
