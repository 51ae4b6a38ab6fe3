#!/bin/sh
# A drive that fills up: a 64 KiB tmpfs the editor tests see as
# T:\editfull (a folder of the build's bin folder). "mount DIR" makes it
# (empty, anew), "umount DIR" takes it away. Nothing outside DIR is touched.
set -eu
what=$1
d=$2
case "$d" in */editfull) ;; *) echo "refusing to use $d" >&2; exit 1 ;; esac
if mountpoint -q "$d"; then umount "$d"; fi
[ "$what" = umount ] && exit 0
mkdir -p "$d"
mount -t tmpfs -o size=64k,mode=0777 zq-editfull "$d"
