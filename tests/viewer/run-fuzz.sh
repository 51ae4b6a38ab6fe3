#!/bin/sh
# run-fuzz.sh FUZZER READER WORKDIR SECONDS
# Seeds a corpus with small pictures of the reader's format made by Pillow and
# ImageMagick, runs the fuzzer for a bounded time; any crash fails the test.
set -e
fuzzer=$1 reader=$2 work=$3 seconds=$4
rm -rf "$work/corpus" && mkdir -p "$work/corpus" "$work/artifacts"
/usr/bin/python3 - "$reader" "$work/corpus" <<'PY'
import sys, os
from PIL import Image
reader, out = sys.argv[1], sys.argv[2]
base = Image.new("RGBA", (13, 9))
px = base.load()
for y in range(9):
    for x in range(13):
        px[x, y] = (x * 19, y * 28, (x * y) % 256, (x * 40) % 256)
rgb = base.convert("RGB")
n = 0
def save(im, fmt, **kw):
    global n
    n += 1
    im.save(os.path.join(out, f"seed{n}"), fmt, **kw)
if reader == "png":
    for im in (base, rgb, base.convert("L"), base.convert("LA"), rgb.quantize(16), base.convert("1")):
        save(im, "PNG")
    save(rgb.quantize(4), "PNG", bits=2)
    save(rgb, "PNG", transparency=(0, 0, 0))
elif reader == "jpeg":
    save(rgb, "JPEG")
    save(rgb, "JPEG", progressive=True)
    save(rgb.convert("L"), "JPEG")
    save(rgb.convert("CMYK"), "JPEG")
elif reader == "gif":
    save(rgb.quantize(16), "GIF")
    save(rgb.quantize(16), "GIF", transparency=2)
    rgb.quantize(8).save(os.path.join(out, "anim"), "GIF", save_all=True,
                         append_images=[rgb.rotate(180).quantize(8)], loop=2, duration=40)
elif reader == "tiff":
    import subprocess
    for im, comp in ((rgb, "raw"), (rgb, "tiff_lzw"), (base.convert("L"), "packbits"), (rgb.quantize(16), "raw"),
                     (base.convert("1"), "group4"), (base.convert("1"), "raw"), (rgb.convert("CMYK"), "tiff_deflate"),
                     (base.convert("L").convert("I;16"), "raw")):
        save(im, "TIFF", compression=comp)
    # Tiles and separate planes, which Pillow does not write.
    for args in (["-t", "-w", "16", "-l", "16"], ["-p", "separate"], ["-p", "separate", "-t", "-c", "lzw"]):
        n += 1
        subprocess.run(["tiffcp"] + args + [os.path.join(out, "seed1"), os.path.join(out, f"seed{n}")], check=True)
elif reader == "dbf":
    import struct
    def table(version, fields, rows, memo_blocks=()):
        rec = 1 + sum(l for _, _, l in fields)
        h = struct.pack("<BBBBIHH20x", version, 124, 6, 30, len(rows), 33 + 32 * len(fields), rec)
        at = 1
        for name, typ, length in fields:
            h += struct.pack("<11scIB15x", name, typ, at, length)
            at += length
        h += b"\r" + b"".join(b" " + r for r in rows)
        # A memo block after the records, on a 64-byte boundary.
        h += b"\0" * (-len(h) % 64) + struct.pack(">II", 1, 5) + b"hello"
        return h
    fields = [(b"NAME", b"C", 6), (b"N", b"N", 5), (b"D", b"D", 8), (b"L", b"L", 1), (b"M", b"M", 10)]
    rows = [b"abc   " + b"  1.5" + b"20240102" + b"T" + b"%10d" % 3, b"x" * 6 + b"    7" + b"        " + b"F" + b" " * 10]
    for version in (0x03, 0x30, 0x83, 0xF5):
        n += 1
        open(os.path.join(out, f"seed{n}"), "wb").write(table(version, fields, rows))
    n += 1
    open(os.path.join(out, f"seed{n}"), "wb").write(table(0x30, [(b"M", b"M", 4)], [struct.pack("<I", 1)]))
elif reader == "coff":
    import subprocess, tempfile
    with tempfile.TemporaryDirectory() as tmp:
        d = os.path.join(tmp, "x.def")
        open(d, "w").write("LIBRARY x.dll\nEXPORTS\n  Alpha@4\n  Beta@8\n")
        subprocess.run(["i686-w64-mingw32-dlltool", "-d", d, "-l", os.path.join(out, "seed1")], check=True)
        c = os.path.join(tmp, "g.c")
        open(c, "w").write("const unsigned char IID_X[16] = {1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16};\n")
        subprocess.run(["i686-w64-mingw32-gcc", "-c", "-O2", "-fno-ident", c, "-o", os.path.join(tmp, "g.o")],
                       check=True)
        subprocess.run(["i686-w64-mingw32-ar", "rcs", os.path.join(out, "seed2"), os.path.join(tmp, "g.o")],
                       check=True)
elif reader == "bmp":
    import subprocess
    for im in (rgb, base, rgb.quantize(16), rgb.quantize(200), base.convert("L"), base.convert("1")):
        save(im, "BMP")
    src = os.path.join(out, "seed1")
    for args in (["-compress", "RLE", "-colors", "100", "-type", "Palette"], ["-define", "bmp:subtype=RGB565"],
                 ["-define", "bmp3:alpha=true", "-flip"], ["-colors", "16", "-type", "Palette"]):
        n += 1
        subprocess.run(["convert", src, *args, "BMP3:" + os.path.join(out, f"seed{n}")], check=True)
elif reader == "icon":
    save(base, "ICO", sizes=[(13, 9)])
    save(base, "ICO", sizes=[(13, 9)], bitmap_format="bmp")
    save(rgb.quantize(16), "ICO", sizes=[(13, 9)], bitmap_format="bmp")
    save(base.convert("1"), "ICO", sizes=[(13, 9)], bitmap_format="bmp")
elif reader == "ani":
    import io, struct
    def chunk(tag, data):
        return tag + struct.pack("<I", len(data)) + data + b"\0" * (len(data) & 1)
    icons = []
    for im in (base, rgb.quantize(16)):
        b = io.BytesIO()
        im.save(b, "ICO", sizes=[(13, 9)], bitmap_format="bmp")
        icons.append(b.getvalue())
    anih = struct.pack("<9I", 36, 2, 3, 0, 0, 0, 0, 6, 1)
    body = (b"ACON" + chunk(b"anih", anih) + chunk(b"rate", struct.pack("<3I", 2, 3, 4)) +
            chunk(b"seq ", struct.pack("<3I", 1, 0, 1)) + chunk(b"LIST", b"fram" + b"".join(chunk(b"icon", i) for i in icons)))
    n += 1
    open(os.path.join(out, f"seed{n}"), "wb").write(b"RIFF" + struct.pack("<I", len(body)) + body)
elif reader == "meta":
    import struct
    def emf(records):
        body = b"".join(struct.pack("<II", t, 8 + len(d)) + d for t, d in records)
        eof = struct.pack("<IIIII", 14, 20, 0, 16, 20)
        size = 88 + len(body) + len(eof)
        head = struct.pack("<II4i4iIIIIHHIII2i2i", 1, 88, 0, 0, 9, 9, 0, 0, 900, 900,
                           0x464D4520, 0x10000, size, len(records) + 2, 2, 0, 0, 0, 0, 100, 100, 30, 30)
        return head + body + eof
    line = struct.pack("<4iI", 0, 0, 9, 9, 3) + struct.pack("<6h", 0, 0, 5, 9, 9, 2)
    pen = struct.pack("<IIiiI", 1, 0, 1, 0, 0x0000FF)
    bmi = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 32, 0, 16, 0, 0, 0, 0) + b"\x10" * 16
    dib = struct.pack("<4i6iIIIIIIii", 0, 0, 9, 9, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0xCC0020, 9, 9) + bmi
    text = struct.pack("<4iIff2iIII4iI", 0, 0, 9, 9, 1, 1.0, 1.0, 1, 1, 2, 76, 0, 0, 0, 9, 9, 0) + "ab".encode("utf-16-le")
    for recs in ([(87, line)], [(38, pen), (37, struct.pack("<I", 1)), (87, line)], [(81, dib)], [(84, text)]):
        n += 1
        open(os.path.join(out, f"seed{n}"), "wb").write(emf(recs))
    poly = struct.pack("<IHH6h", 10, 0x0325, 3, 0, 0, 5, 9, 9, 2)
    wmf = struct.pack("<HHHIHIH", 1, 9, 0x300, (18 + len(poly) + 6) // 2, 1, 10, 0) + poly + struct.pack("<IH", 3, 0)
    for data in (wmf, struct.pack("<IH4hHIH", 0x9AC6CDD7, 0, 0, 0, 9, 9, 1440, 0, 0) + wmf):
        n += 1
        open(os.path.join(out, f"seed{n}"), "wb").write(data)
elif reader == "pcx":
    for im in (rgb, rgb.quantize(16), base.convert("L"), base.convert("1")):
        save(im, "PCX")
elif reader == "tga":
    for im in (rgb, base, rgb.quantize(16), base.convert("L")):
        save(im, "TGA")
        save(im, "TGA", compression="tga_rle")
elif reader == "xbm":
    save(base.convert("1"), "XBM")
    texts = [b"#define a_width 7\n#define a_height 2\nstatic short a_bits[] = {\n 0x0012, 0x1234};\n",
             b"#define b_width 9\n#define b_height 1\nstatic char b_bits[] = { 0F,01 };\n"
             b"#define c_width 3\n#define c_height 2\nstatic unsigned char c_bits[] = {\n1,\n2};\n"]
    for t in texts:
        n += 1
        open(os.path.join(out, f"seed{n}"), "wb").write(t)
elif reader == "xpm":
    import subprocess
    for i, args in enumerate((["-colors", "6"], ["-colors", "200"], ["-alpha", "on"])):
        src = os.path.join(out, "src.png")
        base.save(src)
        subprocess.run(["convert", src, *args, "XPM:" + os.path.join(out, f"im{i}")], check=True)
        os.remove(src)
    texts = [b'/* XPM */\nstatic char *x[] = {\n/* w h n c */\n"3 2 3 2",\n"a  c #FFF", "b  s x m white c red",'
             b' "c  c None",\n"a b c ",\n"c"};\n',
             b"#define y_format 1\n#define y_width 2\n#define y_height 1\n#define y_ncolors 2\n"
             b"#define y_chars_per_pixel 1\nstatic char * y_colors[] = {\n\"a\" , \"ghost white\",\n"
             b"\"b\", \"#123456789abc\"};\nstatic char * y_pixels[] = {\n\"ab\"};\n"]
    for t in texts:
        n += 1
        open(os.path.join(out, f"seed{n}"), "wb").write(t)
else:
    for data in (b"<html><p>x", b"\xff\xfeh\0", b"/* XPM */\n", b"#define x_width 8\n", b"abc\0def"):
        n += 1
        open(os.path.join(out, f"seed{n}"), "wb").write(data)
PY
# A few bytes may declare a picture of hundreds of megabytes, which the
# readers rightly decode; under the sanitizers on a busy machine that takes
# seconds, so one input may take up to a minute before it counts as a hang.
exec "$fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=60 -rss_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus"
