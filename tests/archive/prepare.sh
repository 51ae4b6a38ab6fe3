#!/bin/sh
# Fills the folder the archive tests read as T:\arcdata: a tree zipped by
# Info-ZIP's `zip -r` (nested folders, blanks, non-ASCII names, an empty
# folder) with `unzip -Z1` of it and the stored sizes and DOS dates, a ZIP64
# archive with a member above 4 GiB (from a sparse file), hostile member
# names, an empty archive, a link member and a gzip file.
set -eu
d=$1
case "$d" in */arcdata) ;; *) echo "refusing to clear $d" >&2; exit 1 ;; esac
rm -rf "$d"
cafe=$(printf 'caf\303\251')
musli=$(printf 'm\303\274sli.txt')
mkdir -p "$d/tree/a b/deep/deeper" "$d/tree/empty dir" "$d/tree/$cafe" "$d/out"
printf 'top\n' > "$d/tree/top.txt"
head -c 300000 /dev/urandom > "$d/tree/a b/random.bin"
yes 'compressible line of text' | head -n 20000 > "$d/tree/a b/deep/lines.txt"
printf '' > "$d/tree/a b/deep/deeper/zero.txt"
printf 'accent\n' > "$d/tree/$cafe/$musli"
printf 'and & percent %% caret ^\n' > "$d/tree/a b/odd & name %x% ^.txt"
touch -d '2019-06-01 12:34:56' "$d/tree/top.txt"
(cd "$d" && zip -qr -X tree.zip tree)
# unzip writes bytes beyond ASCII as octal escapes: turned back into bytes.
(cd "$d" && unzip -Z1 tree.zip) | /usr/bin/python3 -c '
import re, sys
data = sys.stdin.buffer.read()
sys.stdout.buffer.write(re.sub(rb"\\([0-7]{3})", lambda m: bytes([int(m.group(1), 8)]), data))' > "$d/tree.list"
/usr/bin/python3 - "$d" <<'PY'
import sys, zipfile, os
d = sys.argv[1]
with zipfile.ZipFile(os.path.join(d, 'tree.zip')) as z, open(os.path.join(d, 'tree.manifest'), 'w', encoding='utf-8') as out:
    for i in z.infolist():
        name = i.filename if i.flag_bits & 0x800 else i.filename.encode('cp437').decode('utf-8')
        y, mo, da, h, mi, s = i.date_time
        date = (y - 1980) << 9 | mo << 5 | da
        time = h << 11 | mi << 5 | s // 2
        out.write('%s\t%d\t%d\t%d\n' % (name, i.file_size, date, time))

def raw_zip(path, names):
    # Written by hand: zipfile would tidy the names, and these must reach
    # the archive exactly as given.
    import struct, zlib
    out = bytearray()
    central = bytearray()
    for i, n in enumerate(names):
        body = ('content of %s\n' % n).encode()
        name = n.encode()
        crc = zlib.crc32(body)
        off = len(out)
        out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, 0x6000, 0x5021, crc, len(body), len(body), len(name), 0) + name + body
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, 0, 0x6000, 0x5021, crc, len(body), len(body), len(name), 0, 0, 0, 0, 0x20, off) + name
    cd = len(out)
    out += central
    out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(names), len(names), len(central), cd, 0)
    open(path, 'wb').write(bytes(out))

raw_zip(os.path.join(d, 'evil.zip'), ['../evil.txt', '/abs.txt', 'C:\\x.txt', '..\\x.txt', 'ok/../../evil2.txt',
                                      'ok/fine.txt', 'good.txt', 'sub\\..\\..\\evil3.txt', 'dots/.../x.txt'])
with zipfile.ZipFile(os.path.join(d, 'empty.zip'), 'w') as z:
    pass
PY
ln -s /etc/hostname "$d/link-target"
(cd "$d" && zip -qy link.zip link-target && rm link-target)
printf 'gzip member\n' > "$d/single.txt"
gzip -k -n "$d/single.txt" && rm "$d/single.txt"
mkdir -p "$d/big"
truncate -s 4294967297 "$d/big/huge.bin"
printf 'small\n' > "$d/big/small.txt"
(cd "$d/big" && zip -q -1 ../big.zip small.txt huge.bin)
rm -rf "$d/big"
