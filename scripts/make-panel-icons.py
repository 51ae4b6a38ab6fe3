#!/usr/bin/python3
"""Draws the panels' own 16 x 16 icon set (folder, up-folder, file kinds,
drives, overlays) as 16-colour icons with a transparency mask, so they show
on every Windows from 95 on. Run once after changing a picture; the .ico
files are kept in panels/res.   make-panel-icons.py <out folder>"""
import os
import struct
import sys

# The 16 colours of the standard VGA palette, by letter.
PALETTE = {
    'k': (0, 0, 0), 'r': (128, 0, 0), 'g': (0, 128, 0), 'y': (128, 128, 0),
    'b': (0, 0, 128), 'm': (128, 0, 128), 'c': (0, 128, 128), 's': (192, 192, 192),
    'd': (128, 128, 128), 'R': (255, 0, 0), 'G': (0, 255, 0), 'Y': (255, 255, 0),
    'B': (0, 0, 255), 'M': (255, 0, 255), 'C': (0, 255, 255), 'w': (255, 255, 255),
}
ORDER = 'krgybmcsdRGYBMCw'

FOLDER = [
    "................",
    "................",
    "..kkkkk.........",
    ".kYYYYYk........",
    "kYwYYYYYkkkkkk..",
    "kwYYYYYYYYYYYYk.",
    "kYYYYYYYYYYYYyk.",
    "kYYYYYYYYYYYYyk.",
    "kYYYYYYYYYYYYyk.",
    "kYYYYYYYYYYYYyk.",
    "kYYYYYYYYYYYYyk.",
    "kYYYYYYYYYYYYyk.",
    "kYyyyyyyyyyyyyk.",
    ".kkkkkkkkkkkkk..",
    "................",
    "................",
]

PAGE = [
    "..kkkkkkkk......",
    "..kwwwwwwkk.....",
    "..kwwwwwwksk....",
    "..kwwwwwwkkkk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kwwwwwwwwwk...",
    "..kkkkkkkkkkk...",
    "................",
]


def overlay(base, marks):
    rows = [list(r) for r in base]
    for y, x, ch in marks:
        rows[y][x] = ch
    return ["".join(r) for r in rows]


def paint(base, y0, x0, art):
    rows = [list(r) for r in base]
    for dy, line in enumerate(art):
        for dx, ch in enumerate(line):
            if ch != '.':
                rows[y0 + dy][x0 + dx] = ch
    return ["".join(r) for r in rows]


def lines(base, colour, ys, x0=4, x1=11):
    rows = [list(r) for r in base]
    for y in ys:
        for x in range(x0, x1):
            rows[y][x] = colour
    return ["".join(r) for r in rows]


ARROW = [".kk..", "kBBk.", ".kBk.", ".kBk."]
UP = paint(FOLDER, 5, 4, [
    "...k...",
    "..kGk..",
    ".kGGGk.",
    "kkGGGkk",
    "..kGk..",
    "..kGk..",
    "..kkk..",
])
LINK = paint(FOLDER, 8, 1, ["wwwww", "wkkkw", "wwkBw", "wkBkw", "wkwkw", "wwwww"])
SHARED = paint(["." * 16] * 16, 11, 0, [
    ".kk.....",
    "kssk....",
    "ksskkkkk",
    "kssssssk",
    ".kkkkkk.",
])
KEY = paint(["." * 16] * 16, 10, 0, [
    ".kkk.....",
    "kYYYk....",
    "kYkYkkkkk",
    "kYYYYYYYk",
    ".kkk.k.k.",
])
FILE = PAGE
EXE = [
    "................",
    "................",
    "kkkkkkkkkkkkkkkk",
    "kBBBBBBBBBBBBkwk",
    "kkkkkkkkkkkkkkkk",
    "kwwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwwk",
    "kwwwwwwwwwwwwwwk",
    "kkkkkkkkkkkkkkkk",
    "................",
    "................",
]
BAT = paint(PAGE, 6, 3, ["kkkkkkkk", "kGkkkkkk", "kkGkkkkk", "kGkkGGGk", "kkkkkkkk"])
DLL = paint(PAGE, 5, 4, [".d.d.", "ddddd", ".dsd.", "ddddd", ".d.d."])
TXT = lines(PAGE, 'd', [5, 7, 9, 11])
HLP = paint(PAGE, 4, 4, [".BBB.", "B...B", "...B.", "..B..", ".....", "..B.."])
ARCHIVE = [
    "................",
    "..kkkkkkkkkkk...",
    "..kmmmmmmmmmk...",
    "..kkkkkkkkkkk...",
    "..kRRRRRRRRRk...",
    "..kRRRRRRRRRk...",
    "..kkkkkkkkkkk...",
    "..kBBBBBBBBBk...",
    "..kBBBBBBBBBk...",
    "..kkkkkkkkkkk...",
    "..kGGGGGGGGGk...",
    "..kGGGGGGGGGk...",
    "..kkkkkkkkkkk...",
    "....kssssk......",
    "....kkkkkk......",
    "................",
]
DRIVE = [
    "................",
    "................",
    "................",
    "................",
    "..kkkkkkkkkkkk..",
    ".kssssssssssssk.",
    "kwwwwwwwwwwwwwsk",
    "kssssssssssssdk.",
    "ksssssssssGsdk..",
    "kddddddddddddk..",
    ".kkkkkkkkkkkk...",
    "................",
    "................",
    "................",
    "................",
    "................",
]
FLOPPY = [
    "................",
    ".kkkkkkkkkkkkk..",
    ".kbbkwwwwwkbbk..",
    ".kbbkwwwwwkbbk..",
    ".kbbkwwwwwkbbk..",
    ".kbbkkkkkkkbbk..",
    ".kbbbbbbbbbbbk..",
    ".kbbbbbbbbbbbk..",
    ".kbbsssssssbbk..",
    ".kbbskdddksbbk..",
    ".kbbskdddksbbk..",
    ".kbbskdddksbbk..",
    ".kkkkkkkkkkkkk..",
    "................",
    "................",
    "................",
]
CDROM = [
    "................",
    ".....kkkkkk.....",
    "...kkssssssk....",
    "..ksswwwsssssk..",
    ".ksswwwssssssk..",
    ".kswwsssssssssk.",
    "kssssskkksssssk.",
    "ksssskwwwksssssk",
    "ksssskwkwksssssk",
    "ksssskwwwkssssk.",
    ".ksssskkksssssk.",
    ".ksssssssssssk..",
    "..kssssssssskk..",
    "...kksssssskk...",
    ".....kkkkkk.....",
    "................",
]
NETWORK = paint(DRIVE, 10, 6, ["..k..", "..k..", "kkkkk"])
RAMDISK = [
    "................",
    "................",
    "................",
    "..k.k.k.k.k.k...",
    ".kkkkkkkkkkkkkk.",
    ".kgggggggggggggk",
    ".kgkkkgkkkgkkkgk",
    ".kgkkkgkkkgkkkgk",
    ".kgggggggggggggk",
    ".kkkkkkkkkkkkkk.",
    "..k.k.k.k.k.k...",
    "................",
    "................",
    "................",
    "................",
    "................",
]
OPEN = paint(FOLDER, 7, 2, ["kkkkkkkkkkkkk", "kwwwwwwwwwwk.", "kYYYYYYYYYk..", "kYYYYYYYYk...", "kkkkkkkkk...."])

# Resource id -> picture; the ids are those the panels load.
ICONS = {
    28: LINK, 29: FOLDER, 27: UP, 31: SHARED, 32: KEY, 33: FILE,
    34: DRIVE, 35: FLOPPY, 36: CDROM, 37: NETWORK, 38: RAMDISK, 39: OPEN,
    40: EXE, 41: BAT, 42: DLL, 46: TXT, 44: HLP, 43: ARCHIVE,
}


def ico(art):
    assert len(art) == 16 and all(len(r) == 16 for r in art), art
    xor = bytearray()
    mask = bytearray()
    for row in reversed(art):  # bottom-up
        for x in range(0, 16, 2):
            a, b = row[x], row[x + 1]
            ia = ORDER.index(a) if a != '.' else 0
            ib = ORDER.index(b) if b != '.' else 0
            xor.append(ia << 4 | ib)
        bits = 0
        for x in range(16):
            bits = bits << 1 | (1 if row[x] == '.' else 0)
        mask += struct.pack('>H', bits) + b'\0\0'  # rows padded to 32 bits
    palette = b''.join(struct.pack('<BBBB', PALETTE[c][2], PALETTE[c][1], PALETTE[c][0], 0) for c in ORDER)
    header = struct.pack('<IiiHHIIiiII', 40, 16, 32, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 16, 16, 16, 0, 1, 4, len(image), 22) + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for rid, art in ICONS.items():
        with open(os.path.join(out, 'panel%d.ico' % rid), 'wb') as f:
            f.write(ico(art))


if __name__ == '__main__':
    main()
