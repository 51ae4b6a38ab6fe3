#!/usr/bin/env python3
"""Makes the program's pictures from the Tango icon theme at build time.

The Tango icons (Debian's tango-icon-theme, public domain) come as RGBA PNG
files per size. This turns them into what the program loads:

  toolbar18.bmp  one 18 x 18 cell per tool-bar command (16-pixel icons
                 centred), 24 bits, light grey 0xC0C0C0 where it is clear
  toolbar24.bmp  the same with 24 x 24 cells from the 24-pixel icons
  drives.bmp     the drive strip, 444 x 14, 8 bits with a 256-colour table
                 whose first 16 entries are the classic 16 colours: kinds
                 1-11 at 18 x 14 (flat bars) from x 0, at 18 x 9 (classic
                 bars) from x 198, then four 12 x 12 location glyphs at
                 x 396 (filter), 408 (archive), 420 (device), 432 (FTP)
  menu-<id>.ico  the menu icons, 16 x 16 and 32 x 32, 32 bits with an
                 AND mask

Usage: make-pictures.py TANGO_DIR OUT_DIR
Only the standard library: PNG decoding is zlib plus the five filters.
"""
import os
import struct
import sys
import zlib

# Tool-bar commands in the order of the program's command table
# (base/SettingsValues.cpp, kToolbarCommands) and the Tango icon of each.
TOOLBAR = [
    (700, 'apps/help-browser'), (101, 'apps/utilities-terminal'), (102, 'actions/document-print-preview'),
    (103, 'apps/accessories-character-map'), (104, 'apps/accessories-text-editor'),
    (802, 'actions/document-new'), (105, 'actions/edit-copy'), (106, 'actions/edit-paste'),
    (107, 'actions/edit-find-replace'), (108, 'actions/folder-new'), (109, 'places/user-trash'),
    (110, 'actions/document-print'), (112, 'mimetypes/package-x-generic'), (113, 'actions/document-open'),
    (114, 'actions/document-properties'), (115, 'mimetypes/application-x-executable'),
    (116, 'actions/list-add'), (117, 'actions/list-remove'), (118, 'actions/edit-select-all'),
    (119, 'actions/edit-undo'), (813, 'actions/format-text-bold'), (814, 'mimetypes/text-x-generic'),
    (815, 'apps/office-calendar'), (816, 'actions/format-justify-fill'), (120, 'actions/system-log-out'),
    (201, 'devices/media-floppy'), (204, 'apps/accessories-text-editor'), (205, 'devices/drive-removable-media'),
    (209, 'devices/drive-harddisk'), (301, 'actions/system-search'), (305, 'actions/go-jump'),
    (306, 'apps/office-calendar'), (307, 'actions/view-refresh'), (308, 'actions/go-next'),
    (309, 'actions/format-justify-center'), (310, 'actions/mail-send-receive'),
    (311, 'apps/utilities-system-monitor'), (402, 'apps/preferences-desktop-font'),
    (403, 'apps/preferences-desktop-theme'), (819, 'actions/view-refresh'), (818, 'actions/edit-find'),
    (211, 'places/folder'), (302, 'actions/go-previous'), (303, 'actions/bookmark-new'),
    (304, 'places/user-home'), (29000, 'apps/preferences-system-session'), (111, 'actions/edit-cut'),
    (316, 'actions/go-up'), (317, 'apps/utilities-terminal'), (318, 'places/network-server'),
    (319, 'actions/process-stop'), (320, 'actions/system-shutdown'), (121, 'actions/mail-message-new'),
    (321, 'mimetypes/application-x-executable'), (122, 'actions/format-justify-left'),
    (124, 'actions/format-justify-right'), (123, 'actions/format-justify-center'),
    (830, 'actions/go-first'), (831, 'actions/go-home'), (832, 'actions/go-last'),
    (206, 'places/network-workgroup'), (207, 'status/network-offline'), (202, 'devices/media-optical'),
    (203, 'devices/media-flash'), (213, 'places/folder-remote'), (214, 'status/network-offline'),
    (322, 'mimetypes/x-office-document'), (126, 'actions/document-properties'),
    (315, 'apps/accessories-text-editor'), (324, 'actions/go-jump'), (127, 'mimetypes/text-html'),
    (521, 'apps/preferences-system-windows'), (522, 'actions/format-justify-fill'),
    (523, 'actions/format-justify-left'), (524, 'places/folder'), (525, 'actions/document-print-preview'),
    (130, 'actions/document-save'),
]

# Drive kinds 1-11 of the drive bar.
DRIVES = [
    'devices/media-floppy', 'devices/drive-harddisk', 'devices/drive-optical', 'places/network-server',
    'devices/media-flash', 'devices/drive-harddisk', 'devices/drive-removable-media',
    'places/network-workgroup', 'devices/multimedia-player', 'places/folder-remote', 'devices/computer',
]
# Location glyphs of the path bar: filter, archive, device, FTP.
GLYPHS = ['actions/edit-find', 'mimetypes/package-x-generic', 'devices/multimedia-player', 'places/folder-remote']

# Menu icons: resource id and Tango icon.
MENU = [
    (8001, 'apps/preferences-system-session'), (8002, 'apps/utilities-terminal'),
    (8003, 'actions/document-print-preview'), (8004, 'apps/accessories-character-map'),
    (8005, 'apps/accessories-text-editor'), (8006, 'actions/edit-copy'), (8007, 'actions/edit-paste'),
    (8008, 'actions/edit-find-replace'), (8009, 'actions/folder-new'), (8010, 'places/user-trash'),
    (8011, 'actions/document-print'), (8231, 'actions/go-previous'), (8408, 'apps/preferences-desktop-theme'),
    (8621, 'actions/format-text-bold'),
    (8012, 'actions/edit-cut'),
    (8013, 'mimetypes/package-x-generic'),
    (8014, 'actions/document-open'),
    (8015, 'actions/document-properties'),
    (8017, 'actions/list-add'),
    (8018, 'actions/list-remove'),
    (8019, 'actions/edit-select-all'),
    (8020, 'actions/edit-undo'),
    (8021, 'actions/system-log-out'),
    (8022, 'mimetypes/text-x-generic'),
    (8027, 'actions/document-properties'),
    (8028, 'mimetypes/text-html'),
    (8031, 'status/dialog-information'),
    (8101, 'devices/media-floppy'),
    (8105, 'devices/media-floppy'),
    (8106, 'places/network-server'),
    (8107, 'places/network-workgroup'),
    (8109, 'devices/drive-harddisk'),
    (8111, 'places/folder'),
    (8113, 'places/network-server'),
    (8114, 'actions/process-stop'),
    (8201, 'actions/system-search'),
    (8203, 'actions/bookmark-new'),
    (8204, 'places/folder'),
    (8207, 'actions/view-refresh'),
    (8209, 'actions/edit-find'),
    (8210, 'actions/view-refresh'),
    (8211, 'devices/drive-harddisk'),
    (8216, 'places/folder'),
    (8217, 'apps/utilities-terminal'),
    (8218, 'places/network-server'),
    (8219, 'actions/process-stop'),
    (8220, 'actions/system-shutdown'),
    (8222, 'mimetypes/text-x-generic'),
    (8224, 'actions/go-jump'),
    (8602, 'actions/document-new'),
]

KEY = (192, 192, 192)


def fail(text):
    sys.stderr.write('make-pictures: %s\n' % text)
    sys.exit(1)


def read_png(path):
    """(width, height, rows of (r, g, b, a) tuples) of an 8-bit RGBA or RGB PNG."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        fail('%s is no PNG file' % path)
    pos, idat, head, plte, trns = 8, [], None, b'', b''
    while pos + 8 <= len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length:
            fail('%s is cut short' % path)
        if kind == b'IHDR':
            head = struct.unpack('>IIBBBBB', body)
        elif kind == b'PLTE':
            plte = body
        elif kind == b'tRNS':
            trns = body
        elif kind == b'IDAT':
            idat.append(body)
        elif kind == b'IEND':
            break
        pos += 12 + length
    if not head:
        fail('%s has no header' % path)
    width, height, depth, colour, _, _, interlace = head
    channels = {2: 3, 3: 1, 6: 4}.get(colour)
    if not channels or interlace or depth not in (8, 16) or (colour == 3 and depth != 8):
        fail('%s: only 8-bit RGB, RGBA or colour-mapped (and 16-bit RGBA) non-interlaced PNG files are read' % path)
    step = depth // 8
    bpp = channels * step
    raw = zlib.decompress(b''.join(idat))
    stride = width * bpp
    if len(raw) < (stride + 1) * height:
        fail('%s: pixel data cut short' % path)
    rows, prev = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                fail('%s: bad filter %d' % (path, kind))
        prev = line
        px = []
        for x in range(width):
            q = line[x * bpp:(x + 1) * bpp:step]
            if colour == 3:
                i = q[0]
                if 3 * i + 3 > len(plte):
                    fail('%s: colour index outside the palette' % path)
                px.append((plte[3 * i], plte[3 * i + 1], plte[3 * i + 2], trns[i] if i < len(trns) else 255))
            else:
                px.append((q[0], q[1], q[2], q[3] if channels == 4 else 255))
        rows.append(px)
    return width, height, rows


def load(tango, name, size):
    for s in ([size] + [t for t in (16, 22, 24, 32) if t != size]):
        path = os.path.join(tango, '%dx%d' % (s, s), name + '.png')
        if os.path.exists(path):
            w, h, rows = read_png(path)
            return rows if (w, h) == (size, size) else scale(rows, w, h, size, size)
    fail('Tango icon %s is missing (package tango-icon-theme)' % name)


def scale(rows, w, h, nw, nh):
    """Box-filter scaling with premultiplied alpha."""
    out = []
    for y in range(nh):
        y0, y1 = y * h / nh, (y + 1) * h / nh
        line = []
        for x in range(nw):
            x0, x1 = x * w / nw, (x + 1) * w / nw
            acc = [0.0, 0.0, 0.0, 0.0]
            total = 0.0
            sy = int(y0)
            while sy < y1 and sy < h:
                wy = min(y1, sy + 1) - max(y0, sy)
                sx = int(x0)
                while sx < x1 and sx < w:
                    wx = min(x1, sx + 1) - max(x0, sx)
                    r, g, b, a = rows[sy][sx]
                    f = wx * wy
                    acc[0] += r * a * f
                    acc[1] += g * a * f
                    acc[2] += b * a * f
                    acc[3] += a * f
                    total += f
                    sx += 1
                sy += 1
            a = acc[3] / total if total else 0
            if acc[3]:
                line.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a)))
            else:
                line.append((0, 0, 0, 0))
        out.append(line)
    return out


def over_key(p):
    """A pixel on the transparent key: clear pixels become the key itself,
    the rest is blended over it and kept off the key colour."""
    r, g, b, a = p
    if a < 128:
        return KEY
    c = tuple(round((v * a + k * (255 - a)) / 255) for v, k in zip((r, g, b), KEY))
    return (c[0], c[1], c[2] + 1) if c == KEY else c


def canvas(width, height):
    return [[KEY] * width for _ in range(height)]


def paste(dst, rows, x, y):
    for j, line in enumerate(rows):
        for i, p in enumerate(line):
            if 0 <= y + j < len(dst) and 0 <= x + i < len(dst[0]):
                dst[y + j][x + i] = over_key(p)


def write_bmp24(path, pixels):
    h, w = len(pixels), len(pixels[0])
    stride = (w * 3 + 3) & ~3
    body = bytearray()
    for line in reversed(pixels):
        row = bytearray()
        for r, g, b in line:
            row += bytes((b, g, r))
        body += row + bytes(stride - len(row))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    write(path, struct.pack('<2sIHHI', b'BM', 14 + 40 + len(body), 0, 0, 54) + info + body)


# The classic 16 colours first (grey 192 and white among them, which the
# program recolours to the system's button colours), then a 6 x 8 x 5 cube.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
       (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
       (0, 255, 255), (255, 255, 255)]
CUBE = [(round(r * 255 / 5), round(g * 255 / 7), round(b * 255 / 4)) for r in range(6) for g in range(8)
        for b in range(5)]
PALETTE = VGA + CUBE


def nearest(c, cache={}):
    if c == KEY:
        return 7
    if c not in cache:
        best, index = None, 0
        for i, p in enumerate(PALETTE):
            if i == 7:
                continue
            d = (p[0] - c[0]) ** 2 + (p[1] - c[1]) ** 2 + (p[2] - c[2]) ** 2
            if best is None or d < best:
                best, index = d, i
        cache[c] = index
    return cache[c]


def write_bmp8(path, pixels):
    h, w = len(pixels), len(pixels[0])
    stride = (w + 3) & ~3
    body = bytearray()
    for line in reversed(pixels):
        row = bytes(nearest(p) for p in line)
        body += row + bytes(stride - len(row))
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(body), 2835, 2835, 256, 0)
    offset = 14 + 40 + len(table)
    write(path, struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset) + info + table + body)


def icon_image(rows):
    size = len(rows)
    xor = bytearray()
    for line in reversed(rows):
        for r, g, b, a in line:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for line in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(line):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    head = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return head + xor + mask


def write_ico(path, images):
    entries, blobs = b'', b''
    offset = 6 + 16 * len(images)
    for rows in images:
        blob = icon_image(rows)
        size = len(rows)
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    write(path, struct.pack('<HHH', 0, 1, len(images)) + entries + blobs)


def write(path, data):
    temp = path + '.part'
    with open(temp, 'wb') as f:
        f.write(data)
    os.replace(temp, path)


def main():
    if len(sys.argv) != 3:
        fail('usage: make-pictures.py TANGO_DIR OUT_DIR')
    tango, out = sys.argv[1], sys.argv[2]
    if not os.path.isdir(os.path.join(tango, '16x16')):
        fail('%s holds no Tango icons: scripts/install-deps.sh installs tango-icon-theme' % tango)
    os.makedirs(out, exist_ok=True)
    for cell, size, name in ((18, 16, 'toolbar18.bmp'), (24, 24, 'toolbar24.bmp')):
        strip = canvas(cell * len(TOOLBAR), cell)
        for i, (_, icon) in enumerate(TOOLBAR):
            paste(strip, load(tango, icon, size), i * cell + (cell - size) // 2, (cell - size) // 2)
        write_bmp24(os.path.join(out, name), strip)
    strip = canvas(444, 14)
    for k, icon in enumerate(DRIVES):
        paste(strip, load(tango, icon, 14), 18 * k + 2, 0)
        paste(strip, load(tango, icon, 9), 198 + 18 * k + 4, 0)
    for i, icon in enumerate(GLYPHS):
        paste(strip, load(tango, icon, 12), 396 + 12 * i, 1)
    write_bmp8(os.path.join(out, 'drives.bmp'), strip)
    for rid, icon in MENU:
        write_ico(os.path.join(out, 'menu-%d.ico' % rid), [load(tango, icon, 16), load(tango, icon, 32)])


if __name__ == '__main__':
    main()
