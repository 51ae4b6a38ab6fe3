#!/usr/bin/python3
"""Pixels that viewrender.exe paints for PCX, TGA, XBM, XPM, BMP and icon
files against independent decoders (netpbm, Pillow), over tables of
generated variants; damaged variants of each must give exit code 0 or 2.

Usage: render_formats.py BIN_DIR   (inside scripts/with-sandbox, like
render_compare.py, whose helpers it uses)."""
import io
import os
import random
import re
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import render_compare as rc  # noqa: E402
from PIL import Image  # noqa: E402

WORK = os.path.join(rc.BIN, "viewer-formats-test")
fail, render, same = rc.fail, rc.render, rc.same
KIND = {"bmp": 5, "icon": 12, "pcx": 16, "tga": 19, "xbm": 22, "xpm": 23}


def write(name, data):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def netpbm(tool, path, *args):
    """The netpbm decoder's output as an RGB picture."""
    out = path + ".ref.pnm"
    with open(out, "wb") as f:
        subprocess.run([tool, *args, path], stdout=f, stderr=subprocess.DEVNULL, check=True)
    with Image.open(out) as im:
        return im.convert("RGB")


# Every file goes through one viewrender.exe process (--list): Wine starts
# a program in about a second under load, and there are hundreds of files.
queue = []


def compare(path, kind, want, tolerance=0):
    queue.append((path, ("same", kind, want, tolerance)))


def expect_refused(path, kind):
    queue.append((path, ("refused", kind)))


def run_queue():
    """Renders every queued file, then judges each. A file whose result line
    never comes crashed the program; the rest go through a new one."""
    results, pending = {}, [p for p, _ in queue]
    while pending:
        listing = os.path.join(WORK, "list.txt")
        with open(listing, "w") as f:
            for path in pending:
                f.write(f"{rc.winpath(path)}\t{rc.winpath(path + '.bmp')}\n")
        log = os.path.join(WORK, "list.out")
        with open(log, "w") as f:
            subprocess.run(["wine", rc.winpath(os.path.join(rc.BIN, "viewrender.exe")), "--list",
                            rc.winpath(listing)], stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.STDOUT,
                           timeout=600)
        started, kind = None, None
        with open(log, errors="replace") as f:
            for line in f:
                if line.startswith("start "):
                    started, kind = line[6:].strip(), None
                elif line.startswith("kind "):
                    kind = int(line.split()[1])
                elif line.startswith("result "):
                    results[started] = (int(line.rsplit(" ", 1)[1]), kind)
                    started = None
        done = [p for p in pending if rc.winpath(p) in results]
        if len(done) == len(pending):
            break
        crashed = pending[len(done)]
        results[rc.winpath(crashed)] = ("crash", None)
        pending = pending[len(done) + 1:]
    for path, expect in queue:
        name = os.path.basename(path)
        code, kind = results[rc.winpath(path)]
        if code == "crash":
            fail(f"{name}: viewrender.exe ended inside this file")
        elif expect[0] == "same":
            _, want_kind, want, tolerance = expect
            if code != 0 or kind != want_kind:
                fail(f"{name}: exit {code}, kind {kind}, want kind {want_kind}")
                continue
            with Image.open(path + ".bmp") as im:
                same(name, im.convert("RGB"), want, tolerance)
        elif expect[0] == "refused":
            if kind == expect[1] or code not in (0, 2):
                fail(f"{name}: exit {code}, kind {kind}: should be refused")
        elif code not in (0, 2):
            fail(f"damaged {name}: exit {code}, kind {kind}")
    queue.clear()


def damage(paths, rnd, skip=8):
    """Cut and byte-flipped copies: 0 or 2, never a crash or a hang."""
    for src in paths:
        with open(src, "rb") as f:
            data = f.read()
        variants = [data[: len(data) // 2], data[: min(len(data) - 1, 40)]]
        for _ in range(4):
            b = bytearray(data)
            for _ in range(6):
                b[rnd.randrange(min(skip, len(b) - 1), len(b))] = rnd.randrange(256)
            variants.append(bytes(b))
        for i, v in enumerate(variants):
            queue.append((write(f"damaged{i}-{os.path.basename(src)}", v), ("damaged",)))


def pattern(w, h, levels, seed):
    rnd = random.Random(seed)
    return [[(x * 7 + y * 3 + rnd.randrange(3)) % levels for x in range(w)] for y in range(h)]


# --- PCX ---------------------------------------------------------------

def pcx_rle(data):
    out, i = bytearray(), 0
    while i < len(data):
        b, n = data[i], 1
        while i + n < len(data) and data[i + n] == b and n < 63:
            n += 1
        if n > 1 or b >= 0xC0:
            out += bytes([0xC0 | n, b])
        else:
            out.append(b)
        i += n
    return bytes(out)


def pack_bits(values, bits, nbytes):
    out = bytearray(nbytes)
    for x, v in enumerate(values):
        bit = x * bits
        out[bit >> 3] |= v << (8 - bits - (bit & 7))
    return bytes(out)


def pcx_file(w, h, planes, bits, rows, bpl, cmap=b"", pal256=None, version=5, xmin=0, ymin=0, per_line=False):
    """rows: per row, a list of planes, each a bytes object of bpl bytes.
    Runs cross scan-line ends unless per_line."""
    header = struct.pack("<BBBBHHHHHH48sBBHHHH54s", 10, version, 1, bits, xmin, ymin, xmin + w - 1,
                         ymin + h - 1, 72, 72, cmap.ljust(48, b"\0"), 0, planes, bpl, 1, 0, 0, b"")
    lines = [b"".join(r) for r in rows]
    body = b"".join(pcx_rle(l) for l in lines) if per_line else pcx_rle(b"".join(lines))
    if pal256 is not None:
        body += b"\x0c" + pal256
    return header + body


def pcx_cases():
    rnd = random.Random(16)
    cmap = bytes(rnd.randrange(256) for _ in range(48))
    pal = bytes(rnd.randrange(256) for _ in range(768))
    cases = []
    for w, h in ((13, 9), (16, 5), (1, 1)):
        idx = pattern(w, h, 256, w)
        bpl = w + (w & 1)
        # Long runs of one value that run over the end of the scan lines.
        flat = [[(y // 2) * 17 % 256] * w for y in range(h)]
        for tag, img, per_line in (("", idx, True), ("-runs", flat, False)):
            rows = [[bytes(r).ljust(bpl, b"\0")] for r in img]
            cases.append((f"p8-{w}x{h}{tag}.pcx", pcx_file(w, h, 1, 8, rows, bpl, pal256=pal, per_line=per_line)))
            rgb = [[bytes(v for v in r).ljust(bpl, b"\0"), bytes(255 - v for v in r).ljust(bpl, b"\0"),
                    bytes(v ^ 0x5A for v in r).ljust(bpl, b"\0")] for r in img]
            cases.append((f"rgb-{w}x{h}{tag}.pcx", pcx_file(w, h, 3, 8, rgb, bpl, per_line=per_line)))
        for bits, planes in ((1, 1), (2, 1), (4, 1), (1, 4)):
            levels = 2 ** (bits * planes)
            img = pattern(w, h, levels, w + bits)
            plane_bytes = (w * bits + 7) // 8
            bpl = plane_bytes + (plane_bytes & 1) + 2
            if planes == 1:
                rows = [[pack_bits(r, bits, bpl)] for r in img]
            else:
                rows = [[pack_bits([(v >> p) & 1 for v in r], 1, bpl) for p in range(4)] for r in img]
            # One-bit files show black and white whatever the header says;
            # netpbm takes the header's first two colours.
            header_map = b"\0\0\0\xff\xff\xff" if levels == 2 else cmap
            cases.append((f"b{bits}p{planes}-{w}x{h}.pcx", pcx_file(w, h, planes, bits, rows, bpl, cmap=header_map,
                                                                   xmin=3, ymin=5)))
    return cases


def check_pcx():
    files = []
    for name, data in pcx_cases():
        path = write(name, data)
        files.append(path)
        compare(path, KIND["pcx"], netpbm("pcxtoppm", path))
    # Pictures that ImageMagick writes.
    src = os.path.join(WORK, "source.png")
    rc.test_image(21, 11, seed=5).convert("RGB").save(src)
    for name, args in (("im-rgb.pcx", []), ("im-pal.pcx", ["-colors", "60", "-type", "Palette"]),
                       ("im-mono.pcx", ["-monochrome"])):
        path = os.path.join(WORK, name)
        subprocess.run(["convert", src, *args, "PCX:" + path], check=True)
        files.append(path)
        compare(path, KIND["pcx"], netpbm("pcxtoppm", path))
    # Layouts and headers it refuses: two planes, a scan line too short for
    # the width, xMax before xMin, a file that ends inside its header.
    rows = [[b"\1\2", b"\3\4"]]
    for name, data in (("two-planes.pcx", pcx_file(2, 1, 2, 8, rows, 2)),
                       ("short-line.pcx", pcx_file(40, 1, 1, 8, [[b"\1\2"]], 2, pal256=bytes(768))),
                       ("backwards.pcx", struct.pack("<BBBBHHHH", 10, 5, 1, 8, 5, 0, 4, 0) + bytes(120)),
                       ("header-only.pcx", pcx_file(4, 4, 1, 8, [[b"\1\2\3\4"]] * 4, 4)[:100])):
        expect_refused(write(name, data), KIND["pcx"])
    damage(files[:4] + files[-3:], random.Random(121), skip=1)


# --- TGA ---------------------------------------------------------------

def read_pnm(path):
    """A binary PPM or PGM as an RGB picture; netpbm's 5-bit channels
    (maxval 31, from 5-5-5 pixels) are shown as value x 8, as the reader does."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] not in (b"P5", b"P6"):
        with Image.open(path) as im:
            return im.convert("RGB")
    fields, pos = [], 0
    while len(fields) < 4:
        if pos >= len(data):
            raise ValueError(f"{path}: not a complete PNM header")
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    magic, w, h, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    raw = data[pos:]
    if maxval != 255:
        raw = bytes(v * 8 if maxval == 31 else v * 255 // maxval for v in raw)
    return Image.frombytes("RGB" if magic == b"P6" else "L", (w, h), raw[: w * h * (3 if magic == b"P6" else 1)]
                           ).convert("RGB")


def tgatoppm(path, mirror=False):
    out = path + ".ref.pnm"
    with open(out, "wb") as f:
        subprocess.run(["tgatoppm", path], stdout=f, stderr=subprocess.DEVNULL, check=True)
    im = read_pnm(out)
    # tgatoppm does not mirror right-to-left files; the reader does.
    return im.transpose(Image.FLIP_LEFT_RIGHT) if mirror else im


def tga_rle(pixels, bpp):
    """Packets over the whole pixel stream, so that they run across rows."""
    out, i, n = bytearray(), 0, len(pixels) // bpp
    px = [pixels[k * bpp:(k + 1) * bpp] for k in range(n)]
    while i < n:
        run = 1
        while i + run < n and px[i + run] == px[i] and run < 128:
            run += 1
        if run > 1:
            out += bytes([0x80 | (run - 1)]) + px[i]
            i += run
            continue
        lit = 1
        while i + lit < n and lit < 128 and (i + lit + 1 >= n or px[i + lit] != px[i + lit + 1]):
            lit += 1
        out += bytes([lit - 1]) + b"".join(px[i:i + lit])
        i += lit
    return bytes(out)


def tga_file(w, h, itype, depth, pixels, cmap=b"", cm_first=0, cm_len=0, cm_size=0, desc=0, ident=b"",
             footer=False):
    header = struct.pack("<BBBHHBHHHHBB", len(ident), 1 if cm_len else 0, itype, cm_first, cm_len, cm_size, 0, 0,
                         w, h, depth, desc)
    body = tga_rle(pixels, (depth + 7) // 8) if itype >= 9 else pixels
    tail = struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0" if footer else b""
    return header + ident + cmap + body + tail


def tga_cases():
    rnd = random.Random(122)
    w, h = 11, 7
    idx = [v for row in pattern(w, h, 40, 3) for v in row]
    flat = [(k // 9) % 5 for k in range(w * h)]  # long runs for the packets
    cases = []
    for tag, values in (("", idx), ("-runs", flat)):
        rgb = b"".join(bytes([v * 6, 255 - v * 6, (v * 37) % 256]) for v in values)
        rgba = b"".join(rgb[k * 3:k * 3 + 3] + bytes([v]) for k, v in enumerate(values))
        w16 = b"".join(struct.pack("<H", (v * 811) & 0xFFFF) for v in values)
        grey = bytes((v * 6) % 256 for v in values)
        map24 = bytes(rnd.randrange(256) for _ in range(40 * 3))
        map16 = bytes(rnd.randrange(256) for _ in range(40 * 2))
        for rle in (0, 8):
            r = "rle" if rle else "raw"
            cases += [
                (f"rgb24-{r}{tag}.tga", tga_file(w, h, 2 + rle, 24, rgb), False),
                (f"rgb24-top-{r}{tag}.tga", tga_file(w, h, 2 + rle, 24, rgb, desc=0x20, ident=b"made by a test"),
                 False),
                (f"rgb24-right-{r}{tag}.tga", tga_file(w, h, 2 + rle, 24, rgb, desc=0x10), True),
                (f"rgb32-{r}{tag}.tga", tga_file(w, h, 2 + rle, 32, rgba, desc=0x28), False),
                (f"rgb16-{r}{tag}.tga", tga_file(w, h, 2 + rle, 16, w16), False),
                (f"rgb15-{r}{tag}.tga", tga_file(w, h, 2 + rle, 15, w16, footer=True), False),
                (f"grey-{r}{tag}.tga", tga_file(w, h, 3 + rle, 8, grey), False),
                (f"map24-{r}{tag}.tga", tga_file(w, h, 1 + rle, 8, bytes(values), map24, 0, 40, 24), False),
                # The map starts at entry 3: indexes 0 to 2 lie outside it.
                (f"map16-first-{r}{tag}.tga", tga_file(w, h, 1 + rle, 8, bytes(values), map16[6:], 3, 37, 16),
                 False),
            ]
    return cases


def check_tga():
    files = []
    for name, data, mirror in tga_cases():
        path = write(name, data)
        files.append(path)
        compare(path, KIND["tga"], tgatoppm(path, mirror))
    # What Pillow writes.
    base = rc.test_image(17, 9, seed=6)
    for name, im, kw in (("pil-rgb.tga", base.convert("RGB"), {}), ("pil-rgba.tga", base, {}),
                         ("pil-grey.tga", base.convert("L"), {"compression": "tga_rle"}),
                         ("pil-pal.tga", base.convert("RGB").quantize(30), {"compression": "tga_rle"})):
        path = os.path.join(WORK, name)
        im.save(path, **kw)
        files.append(path)
        compare(path, KIND["tga"], tgatoppm(path))
    # Refused: no TGA at all under the name, 15 bits without the TGA 2
    # footer, width 0, an image type outside the format; and a TGA file
    # with another extension is never tried as one.
    rgb = bytes(range(2 * 2 * 3))
    for name, data in (("text.tga", b"just some text\r\n" * 4),
                       ("rgb15-nofooter.tga", tga_file(2, 2, 2, 15, bytes(8))),
                       ("zero-width.tga", tga_file(0, 2, 2, 24, rgb)),
                       ("type4.tga", tga_file(2, 2, 4, 24, rgb)),
                       ("map-outside.tga", tga_file(2, 2, 1, 8, bytes(4), bytes(30), 0, 40, 24)),
                       ("targa.bin", tga_file(2, 2, 2, 24, rgb, footer=True))):
        expect_refused(write(name, data), KIND["tga"])
    damage(files[:6] + files[-4:], random.Random(122), skip=2)


# --- XBM ---------------------------------------------------------------

def xbm_text(name, w, h, img, wide=False, style="0x%02x"):
    """img rows of 0/1 (1 = black); X11 8-bit or X10 16-bit values."""
    rows = []
    for r in img:
        nbytes = (w + 7) // 8
        b = bytearray(nbytes)
        for x, v in enumerate(r):
            b[x >> 3] |= v << (x & 7)
        if wide:
            b += b"\0" * (nbytes & 1)
            rows += ["0x%04x" % (b[i] | b[i + 1] << 8) for i in range(0, len(b), 2)]
        else:
            rows += [style % v for v in b]
    kind = "short" if wide else "char"
    lines = [", ".join(rows[i:i + 12]) for i in range(0, len(rows), 12)]
    return (f"#define {name}_width {w}\n#define {name}_height {h}\n#define {name}_x_hot 1\n"
            f"static {kind} {name}_bits[] = {{\n   " + ",\n   ".join(lines) + "};\n")


def xbmtopbm(path):
    return netpbm("xbmtopbm", path)


def check_xbm():
    kind = KIND["xbm"]
    files = []
    for w, h, wide, style in ((13, 9, False, "0x%02x"), (16, 5, False, "0X%02X"), (7, 3, True, "0x%02x"),
                              (16, 4, True, "0x%02x"), (17, 6, True, "0x%02x"), (1, 1, False, "0x%02x")):
        img = pattern(w, h, 2, w * 3 + h)
        path = write(f"x{w}x{h}{'-x10' if wide else ''}.xbm", xbm_text("pic", w, h, img, wide, style).encode())
        files.append(path)
        compare(path, kind, xbmtopbm(path))
    src = os.path.join(WORK, "xbm-source.png")
    rc.test_image(19, 10, seed=8).convert("1").save(src)
    for name, maker in (("pil.xbm", lambda p: Image.open(src).save(p)),
                        ("im.xbm", lambda p: subprocess.run(["convert", src, "XBM:" + p], check=True))):
        path = os.path.join(WORK, name)
        maker(path)
        files.append(path)
        compare(path, kind, xbmtopbm(path))
    # Two bitmaps in one file: one below the other, left-aligned, the rest
    # black.
    first, second = pattern(16, 16, 2, 1), pattern(8, 8, 2, 2)
    a = write("first.xbm", xbm_text("a", 16, 16, first).encode())
    b = write("second.xbm", xbm_text("b", 8, 8, second).encode())
    both = write("two.xbm", open(a, "rb").read() + open(b, "rb").read())
    want = Image.new("RGB", (16, 24))
    want.paste(xbmtopbm(a), (0, 0))
    want.paste(xbmtopbm(b), (0, 16))
    compare(both, kind, want)
    files.append(both)
    # Refused: data before a size, values missing, a line too long for the
    # reader, sizes without data.
    img = pattern(8, 2, 2, 5)
    good = xbm_text("r", 8, 2, img)
    for name, text in (("nosize.xbm", "static char r_bits[] = {\n0x01, 0x02};\n"),
                       ("short.xbm", good[: good.rindex("0x")]),
                       ("longline.xbm", "/* " + "x" * 260 + " */\n" + good),
                       ("nodata.xbm", "#define r_width 8\n#define r_height 2\n")):
        expect_refused(write(name, text.encode()), kind)
    damage(files, random.Random(123), skip=20)


# --- XPM ---------------------------------------------------------------

_x11 = {}


def x11_colours():
    if not _x11:
        with open("/usr/share/X11/rgb.txt") as f:
            for line in f:
                parts = line.split(None, 3)
                if len(parts) == 4 and not line.startswith("!"):
                    _x11.setdefault(parts[3].strip().lower(), tuple(int(v) for v in parts[:3]))
    return _x11


def xpmtoppm(path, background=(255, 255, 255)):
    """xpmtoppm's colours, with its transparency mask shown as the viewer's
    background. xpmtoppm knows only "static char" declarations: it reads a
    copy so declared."""
    out, mask, copy = path + ".ref.ppm", path + ".ref-mask.pgm", path + ".ref.xpm"
    with open(path, "rb") as f:
        text = f.read().replace(b"static const char", b"static char")
    # netpbm's colour dictionary is not X11's (GreenYellow, SteelBlue differ):
    # names are given to it as X11's database spells them out.
    def by_x11(m):
        rgb = x11_colours().get(m.group(2).decode().lower())
        return m.group(1) + (b"#%02X%02X%02X" % rgb if rgb else m.group(2)) + b'"'
    text = re.sub(rb'(\sc\s+)([A-Za-z][A-Za-z0-9 ]*)"', by_x11, text)
    with open(copy, "wb") as f:
        f.write(text)
    with open(out, "wb") as f:
        subprocess.run(["xpmtoppm", "--alphaout=" + mask, copy], stdout=f, stderr=subprocess.DEVNULL, check=True)
    im = read_pnm(out)
    alpha = read_pnm(mask).convert("L")
    back = Image.new("RGB", im.size, background)
    return Image.composite(im, back, alpha)


def xpm3(w, h, cpp, colours, rows, extra_comment=True):
    """colours: (code, definition) pairs; rows: lists of codes."""
    lines = ["/* XPM */", "static char * test_xpm[] = {"]
    if extra_comment:
        lines.append("/* width height ncolors chars_per_pixel */")
    lines.append(f'"{w} {h} {len(colours)} {cpp}",')
    lines += [f'"{code}\t{d}",' for code, d in colours]
    lines += ['"' + "".join(r) + '",' for r in rows]
    return ("\n".join(lines)[:-1] + "};\n").encode()


def check_xpm():
    kind = KIND["xpm"]
    files = []
    src = os.path.join(WORK, "xpm-source.png")
    rc.test_image(23, 13, seed=9).save(src)
    for name, args in (("im-6.xpm", ["-alpha", "off", "-colors", "6"]), ("im-200.xpm", ["-alpha", "off", "-colors", "200"]),
                       ("im-alpha.xpm", ["-channel", "A", "-threshold", "50%", "+channel"])):
        path = os.path.join(WORK, name)
        subprocess.run(["convert", src, *args, "XPM:" + path], check=True)
        files.append(path)
        compare(path, kind, xpmtoppm(path))
    # Written here: codes of two characters, colour forms and keys.
    w, h = 9, 5
    colours = [("..", "c #FF8"), ("#a", "c #102030"), ("zz", "c red"), ("a ", "m white"),
               ("b-", "c #FFFFFFFFFFFF"), ("Qq", "c None"), ("r1", "c GhostWhite"), ("r2", "c Blue"),
               ("r3", "c #400080")]
    codes = [c for c, _ in colours]
    rows = [[codes[(x + y * 2) % len(codes)] for x in range(w)] for y in range(h)]
    path = write("hand.xpm", xpm3(w, h, 2, colours, rows))
    files.append(path)
    compare(path, kind, xpmtoppm(path))
    # A short row ends in the background; missing rows too.
    cut = write("short-rows.xpm", xpm3(3, 3, 1, [("a", "c #00FF00"), ("b", "c blue"), ("n", "c none")],
                                       [["a", "b"], ["b", "a", "b"]]))
    want = Image.new("RGB", (3, 3), (255, 255, 255))
    for x, c in enumerate(((0, 255, 0), (0, 0, 255))):
        want.putpixel((x, 0), c)
    for x, c in enumerate(((0, 0, 255), (0, 255, 0), (0, 0, 255))):
        want.putpixel((x, 1), c)
    compare(cut, kind, want)
    # Refused: a colour line without any usable key, sizes of 0, no header.
    for name, data in (("nokey.xpm", xpm3(1, 1, 1, [("a", "s name")], [["a"]])),
                       ("zero.xpm", xpm3(0, 1, 1, [("a", "c red")], [[]])),
                       ("late.xpm", b"\n" * 8 + xpm3(1, 1, 1, [("a", "c red")], [["a"]]))):
        expect_refused(write(name, data), kind)
    damage(files, random.Random(124), skip=12)


# --- BMP ---------------------------------------------------------------

def bmp_rle(rows, four):
    """Run-length rows (bottom row first): runs, absolute runs, line ends."""
    out = bytearray()
    for row in rows:
        x = 0
        while x < len(row):
            n = 1
            limit = 254 if four else 255
            if four:
                while x + n < len(row) and n < limit and row[x + n] == row[x + (n % 2)]:
                    n += 1
            else:
                while x + n < len(row) and n < limit and row[x + n] == row[x]:
                    n += 1
            if n >= 3 or len(row) - x < 3:
                v = (row[x] << 4 | row[x + 1 if x + 1 < len(row) else x]) if four else row[x]
                out += bytes([n, v])
                x += n
                continue
            # An absolute run of the next pixels (at least 3).
            m = min(len(row) - x, 250)
            lit = row[x:x + m]
            data = bytes((lit[i] << 4 | (lit[i + 1] if i + 1 < m else 0)) for i in range(0, m, 2)) if four else bytes(lit)
            out += bytes([0, m]) + data + (b"\0" if len(data) & 1 else b"")
            x += m
        out += b"\0\0"
    return bytes(out + b"\0\1")


def bmp_file(w, h, bits, rows, palette=b"", compression=0, top_down=False, header=40, masks=None, used=0):
    """rows: top row first, each a list of indexes (<= 8 bits) or (r, g, b)
    or packed ints (16/32 bits with masks)."""
    if compression in (1, 2):
        pixels = bmp_rle(list(reversed(rows)), compression == 2)
    else:
        stride = (w * bits + 31) // 32 * 4
        body = []
        for row in rows:
            b = bytearray(stride)
            for x, v in enumerate(row):
                if bits <= 8:
                    bit = x * bits
                    b[bit >> 3] |= v << (8 - bits - (bit & 7))
                elif bits == 24:
                    b[x * 3:x * 3 + 3] = bytes((v[2], v[1], v[0]))
                else:
                    b[x * bits // 8:(x + 1) * bits // 8] = v.to_bytes(bits // 8, "little")
            body.append(bytes(b))
        pixels = b"".join(body if top_down else reversed(body))
    if header == 12:
        info = struct.pack("<IHHHH", 12, w, h, 1, bits)
        table = b"".join(palette[i:i + 3][::-1] for i in range(0, len(palette), 3))
    else:
        info = struct.pack("<IiiHHIIiiII", header, w, -h if top_down else h, 1, bits, compression, len(pixels),
                           2835, 2835, used, 0)
        extra = struct.pack("<III", *masks) if masks else b""
        if header > 40:
            info += (extra + struct.pack("<I", 0)).ljust(header - 40, b"\0")
        elif masks:
            info += extra
        table = b"".join(palette[i:i + 3][::-1] + b"\0" for i in range(0, len(palette), 3))
    offset = 14 + len(info) + len(table)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + table + pixels


def pillow_rgb(path):
    # Pillow 9.4 reads the last pixel of an odd absolute run in 4-bit
    # run-length data as colour 0; ImageMagick decodes those files.
    if path.endswith("rle4-13.bmp"):
        out = path + ".ref.ppm"
        subprocess.run(["convert", path, "-depth", "8", "PPM:" + out], check=True)
        path = out
    with Image.open(path) as im:
        return im.convert("RGB")


def bmp_cases():
    rnd = random.Random(103)
    w, h = 13, 7
    cases = []
    for bits in (1, 4, 8):
        n = 2 ** bits
        pal = bytes(rnd.randrange(256) for _ in range(n * 3))
        idx = pattern(w, h, n, bits)
        cases.append((f"p{bits}.bmp", bmp_file(w, h, bits, idx, pal)))
        cases.append((f"p{bits}-top.bmp", bmp_file(w, h, bits, idx, pal, top_down=True)))
        cases.append((f"p{bits}-core.bmp", bmp_file(w, h, bits, idx, pal, header=12)))
    # A short colour table (colours used).
    pal = bytes(rnd.randrange(256) for _ in range(20 * 3))
    cases.append(("p8-used20.bmp", bmp_file(w, h, 8, pattern(w, h, 20, 9), pal, used=20)))
    for bits, comp, width in ((8, 1, w), (4, 2, w + 1), (4, 2, w)):
        n = 2 ** bits
        pal = bytes(rnd.randrange(256) for _ in range(n * 3))
        img = [[(x // 4 + y) % n if y % 3 else (x * 5 + y) % n for x in range(width)] for y in range(h)]
        cases.append((f"rle{bits}-{width}.bmp", bmp_file(width, h, bits, img, pal, compression=comp)))
    rgb = [[(x * 19 % 256, y * 36 % 256, (x * y * 7) % 256) for x in range(w)] for y in range(h)]
    cases.append(("rgb24.bmp", bmp_file(w, h, 24, rgb)))
    cases.append(("rgb24-top.bmp", bmp_file(w, h, 24, rgb, top_down=True)))
    pack = lambda r, g, b, rs, gs, bs, rb, gb, bb: ((r >> (8 - rb)) << rs) | ((g >> (8 - gb)) << gs) | ((b >> (8 - bb)) << bs)
    p555 = [[pack(*c, 10, 5, 0, 5, 5, 5) for c in row] for row in rgb]
    p565 = [[pack(*c, 11, 5, 0, 5, 6, 5) for c in row] for row in rgb]
    p32 = [[pack(*c, 16, 8, 0, 8, 8, 8) | 0x5A000000 for c in row] for row in rgb]
    cases.append(("rgb16.bmp", bmp_file(w, h, 16, p555)))
    cases.append(("rgb565.bmp", bmp_file(w, h, 16, p565, compression=3, masks=(0xF800, 0x07E0, 0x001F))))
    cases.append(("rgb565-v4.bmp", bmp_file(w, h, 16, p565, compression=3, masks=(0xF800, 0x07E0, 0x001F), header=108)))
    cases.append(("rgb32.bmp", bmp_file(w, h, 32, p32)))
    cases.append(("rgb32-fields.bmp", bmp_file(w, h, 32, p32, compression=3, masks=(0xFF0000, 0xFF00, 0xFF),
                                               top_down=True)))
    cases.append(("rgb32-v5.bmp", bmp_file(w, h, 32, p32, compression=3, masks=(0xFF0000, 0xFF00, 0xFF), header=124)))
    return cases


def check_bmp():
    kind = KIND["bmp"]
    files = []
    for name, data in bmp_cases():
        path = write(name, data)
        files.append(path)
        # 16-bit channels: Pillow and the reader may round 5 and 6 bits apart.
        compare(path, kind, pillow_rgb(path), 1 if "16" in name or "565" in name else 0)
    base = rc.test_image(19, 11, seed=10)
    for name, im in (("pil-rgb.bmp", base.convert("RGB")), ("pil-1.bmp", base.convert("1")),
                     ("pil-l.bmp", base.convert("L")), ("pil-p.bmp", base.convert("RGB").quantize(77))):
        path = os.path.join(WORK, name)
        im.save(path)
        files.append(path)
        compare(path, kind, pillow_rgb(path))
    src = os.path.join(WORK, "pil-rgb.bmp")
    for name, args in (("im-rle8.bmp", ["-colors", "60", "-type", "Palette", "-compress", "RLE"]),
                       ("im-p4.bmp", ["-colors", "16", "-type", "Palette"])):
        path = os.path.join(WORK, name)
        subprocess.run(["convert", src, *args, "BMP3:" + path], check=True)
        files.append(path)
        compare(path, kind, pillow_rgb(path))
    # Refused: compressions it does not read, a height of 0, 2 bits, a
    # pixel offset past the end, run-length rows top-down.
    idx = pattern(4, 2, 2, 1)
    good = bmp_file(4, 2, 1, idx, b"\0\0\0\xff\xff\xff")
    for name, data in (("jpeg-inside.bmp", good[:30] + struct.pack("<I", 4) + good[34:]),
                       ("height0.bmp", good[:22] + struct.pack("<i", 0) + good[26:]),
                       ("bits2.bmp", good[:28] + struct.pack("<H", 2) + good[30:]),
                       ("offset-past.bmp", good[:10] + struct.pack("<I", 5000) + good[14:]),
                       ("rle-top.bmp", bmp_file(4, 2, 8, idx, bytes(6), compression=1)[:22] + struct.pack("<i", -2) +
                        bmp_file(4, 2, 8, idx, bytes(6), compression=1)[26:])):
        expect_refused(write(name, data), kind)
    damage(files[:6] + files[-6:], random.Random(125), skip=2)


# --- Icons and cursors -------------------------------------------------

def icon_dib(w, h, bits, colours, mask, palette=b""):
    """The DIB of one icon image: header of twice the height, colour rows,
    then the AND mask rows (1 = transparent), both bottom-up."""
    bmp = bmp_file(w, h, bits, colours, palette)
    dib = bytearray(bmp[14:])
    struct.pack_into("<i", dib, 8, 2 * h)
    stride = (w + 31) // 32 * 4
    rows = []
    for row in mask:
        b = bytearray(stride)
        for x, v in enumerate(row):
            b[x >> 3] |= v << (7 - (x & 7))
        rows.append(bytes(b))
    return bytes(dib) + b"".join(reversed(rows))


def icon_file(images, cursor=False):
    """images: (width, height, data) each; the directory in front. Icons
    give planes and depth in the entry, cursors their hot spot (3, 5)."""
    head = struct.pack("<HHH", 0, 2 if cursor else 1, len(images))
    offset, entries, body = 6 + 16 * len(images), b"", b""
    for w, h, data in images:
        bits = struct.unpack_from("<H", data, 14)[0]
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 3 if cursor else 1, 5 if cursor else bits,
                               len(data), offset + len(body))
        body += data
    return head + entries + body


def icon_images(rnd, w, h):
    """Images of every depth; masked pixels carry colour 0, as the writers
    of icons keep them, so the screen shows the background there."""
    mask = [[1 if (x + y) % 5 == 0 or x == 0 else 0 for x in range(w)] for y in range(h)]
    out = []
    for bits in (1, 4, 8):
        n = 2 ** bits
        pal = b"\0\0\0" + bytes(rnd.randrange(256) for _ in range((n - 1) * 3))
        idx = [[0 if mask[y][x] else 1 + (x * 3 + y * 5) % (n - 1) for x in range(w)] for y in range(h)]
        out.append((w, h, icon_dib(w, h, bits, idx, mask, pal)))
    rgb = [[(0, 0, 0) if mask[y][x] else (x * 9 % 256, y * 7 % 256, 200) for x in range(w)] for y in range(h)]
    out.append((w, h, icon_dib(w, h, 24, rgb, mask)))
    # 32 bits with an alpha of 0 or 255.
    argb = [[0 if mask[y][x] else 0xFF000000 | (x * 9 % 256) << 16 | (y * 7 % 256) << 8 | 77 for x in range(w)]
            for y in range(h)]
    out.append((w, h, icon_dib(w, h, 32, argb, mask)))
    return out


def icon_reference(path, images, cursor=False):
    """Pillow's decode of each image, over the white background, side by
    side as the view places them."""
    data = bytearray(open(path, "rb").read())
    if cursor:
        # Pillow reads cursors' images as icons when the entries say so.
        struct.pack_into("<H", data, 2, 1)
        for i, (_, _, image) in enumerate(images):
            struct.pack_into("<HH", data, 6 + 16 * i + 4, 1, struct.unpack_from("<H", image, 14)[0])
    ico = Image.open(io.BytesIO(bytes(data)))
    width = 10 + sum(w + 10 for w, _, _ in images)
    height = max(h for _, h, _ in images) + 20
    canvas = Image.new("RGB", (width, height), (255, 255, 255))
    x = 10
    # Pillow keeps its entries in an order of its own: found by offset.
    offsets = [struct.unpack_from("<I", data, 6 + 16 * i + 12)[0] for i in range(len(images))]
    order = [e["offset"] for e in ico.ico.entry]
    for i, (w, h, _) in enumerate(images):
        frame = ico.ico.frame(order.index(offsets[i])).convert("RGBA")
        canvas.paste(frame.convert("RGB"), (x, 10), frame)
        x += w + 10
    return canvas


def check_icons():
    kind = KIND["icon"]
    rnd = random.Random(126)
    files = []
    for name, images, cursor in (("depths.ico", icon_images(rnd, 16, 16), False),
                                 ("odd.ico", icon_images(rnd, 13, 7), False),
                                 ("depths.cur", icon_images(rnd, 32, 32)[2:4], True)):
        path = write(name, icon_file(images, cursor))
        files.append(path)
        compare(path, kind, icon_reference(path, images, cursor))
    # Sizes 16, 32 and 48 in one file: 136 x 68.
    three = [icon_images(rnd, s, s)[3] for s in (16, 32, 48)]
    path = write("three.ico", icon_file(three))
    files.append(path)
    compare(path, kind, icon_reference(path, three))
    # PNG images, as Pillow writes icons.
    src = rc.test_image(24, 24, seed=11)
    src.putalpha(src.getchannel("A").point(lambda a: 255 if a > 100 else 0))
    path = os.path.join(WORK, "png.ico")
    src.save(path, sizes=[(24, 24), (16, 16)])
    files.append(path)
    data = open(path, "rb").read()
    sizes = [(data[6 + 16 * i] or 256, data[7 + 16 * i] or 256) for i in range(struct.unpack_from("<H", data, 4)[0])]
    compare(path, kind, icon_reference(path, [(w, h, None) for w, h in sizes]))
    # Refused: an entry outside the file, a DIB shorter than its header, a
    # mask cut short, no images.
    good = icon_file(icon_images(rnd, 8, 8)[:1])
    for name, data in (("outside.ico", good[:18] + struct.pack("<I", 5000) + good[22:]),
                       ("short-dib.ico", icon_file([(8, 8, icon_images(rnd, 8, 8)[0][2][:30])])),
                       ("cut-mask.ico", good[:-4]),
                       ("empty.ico", struct.pack("<HHH", 0, 1, 0) + bytes(40))):
        expect_refused(write(name, data), kind)
    damage(files, random.Random(127), skip=1)


# --- Animated cursors --------------------------------------------------

def riff_chunk(tag, data):
    return tag + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"")


def ani_file(frames, steps=None, rates=None, seq=None, frames_word=None):
    steps = len(frames) if steps is None else steps
    anih = struct.pack("<9I", 36, len(frames) if frames_word is None else frames_word, steps, 0, 0, 0, 0, 6, 1)
    body = b"ACON" + riff_chunk(b"LIST", b"INFO" + riff_chunk(b"INAM", b"test\0"))
    body += riff_chunk(b"anih", anih)
    if rates is not None:
        body += riff_chunk(b"rate", struct.pack(f"<{len(rates)}I", *rates))
    if seq is not None:
        body += riff_chunk(b"seq ", struct.pack(f"<{len(seq)}I", *seq))
    body += riff_chunk(b"LIST", b"fram" + b"".join(riff_chunk(b"icon", f) for f in frames))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def check_ani():
    kind = 3
    rnd = random.Random(128)
    imgs = [icon_images(rnd, 32, 32)[i] for i in (1, 3, 2)]
    frames = [icon_file([imgs[0]]), icon_file([imgs[1]]), icon_file([imgs[2]], cursor=True)]
    files = []
    # (name, file, the frame of the first step and its image, a cursor?)
    for name, data, shown, image, cursor in (
            ("plain.ani", ani_file(frames), frames[0], imgs[0], False),
            ("seq.ani", ani_file(frames, steps=4, rates=[3, 5, 7, 9], seq=[2, 0, 0, 1]), frames[2], imgs[2], True),
            ("cursor-first.ani", ani_file(frames[2:] + frames[:1]), frames[2], imgs[2], True)):
        path = write(name, data)
        files.append(path)
        icon = icon_reference(write(name + ".frame.ico", shown), [image], cursor)
        # The view: the cursor-sized frame at (10, 10), background around it.
        want = Image.new("RGB", (52, 52), (255, 255, 255))
        want.paste(icon.crop((10, 10, 42, 42)), (10, 10))
        compare(path, kind, want)
    # Refused: no steps, a step count whose tables would not fit, a step
    # naming a frame that is not there, a frame whose directory claims more
    # entries than its chunk holds, an image that starts inside the
    # directory, a RIFF file of another form.
    one = icon_file([imgs[0]])
    many = bytearray(one)
    struct.pack_into("<H", many, 4, 400)
    inside = bytearray(one)
    struct.pack_into("<I", inside, 18, 2)
    for name, data in (("steps0.ani", ani_file([one], steps=0)),
                       ("steps-huge.ani", ani_file([one], steps=0x60000000)),
                       ("missing-frame.ani", ani_file([one], steps=2, seq=[0, 3])),
                       ("dir-count.ani", ani_file([bytes(many)])),
                       ("image-offset.ani", ani_file([bytes(inside)])),
                       ("wave.ani", b"RIFF" + struct.pack("<I", 4) + b"WAVE")):
        expect_refused(write(name, data), kind)
    damage(files, random.Random(129), skip=12)


def main():
    for tool in ("convert", "wine", "pcxtoppm", "tgatoppm", "xbmtopbm", "xpmtoppm"):
        if not shutil.which(tool):
            print(f"missing tool: {tool}")
            return 1
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    checks = {"ani": check_ani, "icons": check_icons, "bmp": check_bmp, "pcx": check_pcx, "tga": check_tga, "xbm": check_xbm, "xpm": check_xpm}
    for name in sys.argv[2:] or checks:
        checks[name]()
    run_queue()
    if rc.failures:
        print(f"{len(rc.failures)} failure(s)")
        return 1
    shutil.rmtree(WORK, ignore_errors=True)
    print("all pictures equal")
    return 0


if __name__ == "__main__":
    sys.exit(main())
