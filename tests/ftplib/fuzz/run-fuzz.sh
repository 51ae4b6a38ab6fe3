#!/bin/sh
# Builds the FTP parser fuzz harness with clang and runs it for a bounded
# time (default 60 s), seeded with listing lines. Not part of make test.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src="$here/../../../ftplib"
out=${TMPDIR:-/tmp}/ftplib-fuzz
mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I"$src" -I"$here/../../../include" \
  "$here/FtpListFuzz.cpp" "$src/FtpListParse.cpp" "$src/FtpProto.cpp" "$src/FtpSites.cpp" -o "$out/ftplib_fuzz"
printf '\014drwxr-xr-x 2 o g 4096 Mar 11 10:30 Neuer Ordner\r\n-rw-r--r-- 1 o 5 Jan 1 2001 a b\n' >"$out/corpus/unix"
printf '\02012-23-02  10:34PM       <DIR>          Docs\r\n' >"$out/corpus/dos"
printf '\006        1234      A          12-23-02   10:34  read me.txt\n' >"$out/corpus/os2"
printf '\004Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\nBAC232 3390   2008/09/16  1   15  FB      80 27920  PS  BAC.TEST\n' >"$out/corpus/mvs"
"$out/ftplib_fuzz" -max_total_time="${1:-60}" -max_len=4096 "$out/corpus"
