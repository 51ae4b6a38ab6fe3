#!/usr/bin/python3
"""TIFF pictures that viewrender.exe paints (the viewer library under Wine)
against tifftopnm, over variants made by ImageMagick and tiffcp: strips and
tiles, the compressions, both planar configurations, 1 to 16 bits, palette,
min-is-white, CMYK, byte orders, several pages. Also a grey response curve
(which tifftopnm ignores) against its formula, codecs the library lacks, and
damaged files, which must give exit code 0 or 2 and never crash or hang.

Usage: tiff_compare.py BIN_DIR   (run inside scripts/with-sandbox)."""
import os
import random
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import render_compare as rc  # noqa: E402  (shares render(), same(), fail())

from PIL import Image  # noqa: E402

rc.WORK = os.path.join(rc.BIN, "viewer-tiff-test")
WORK = rc.WORK
KIND_TIFF = 20


def read_pnm(path):
    """tifftopnm's output as 8-bit RGB: maxval 65535 keeps the high byte,
    smaller maxvals are scaled to 255."""
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    want = 3 if data[:2] == b"P4" else 4
    while len(fields) < want:
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
    magic, w, h = fields[0], int(fields[1]), int(fields[2])
    if magic == b"P4":
        stride = (w + 7) // 8
        out = bytearray()
        for y in range(h):
            row = data[pos + y * stride: pos + (y + 1) * stride]
            for x in range(w):
                v = 0 if row[x // 8] >> (7 - x % 8) & 1 else 255
                out += bytes((v, v, v))
        return Image.frombytes("RGB", (w, h), bytes(out))
    maxval = int(fields[3])
    channels = 3 if magic == b"P6" else 1
    n = w * h * channels
    if maxval > 255:
        vals = struct.unpack(f">{n}H", data[pos:pos + 2 * n])
        vals = [v >> 8 for v in vals] if maxval == 65535 else [v * 255 // maxval for v in vals]
    else:
        vals = list(data[pos:pos + n])
        if maxval != 255:
            vals = [v * 255 // maxval for v in vals]
    if channels == 1:
        vals = [v for v in vals for _ in range(3)]
    return Image.frombytes("RGB", (w, h), bytes(vals))


def reference(path):
    ref = path + ".pnm"
    with open(ref, "wb") as f:
        subprocess.run(["tifftopnm", "-quiet", path], stdout=f, stderr=subprocess.DEVNULL, check=True)
    return read_pnm(ref)


def reference_magick(path):
    """For what tifftopnm does differently: it premultiplies alpha (the
    viewer shows the colour samples and ignores alpha) and cannot convert
    16-bit CMYK."""
    ref = path + ".ppm"
    subprocess.run(["convert", path, "-alpha", "off", "-colorspace", "sRGB", "-depth", "8", "PPM:" + ref],
                   check=True)
    with Image.open(ref) as im:
        return im.convert("RGB")


MAGICK_REFERENCE = {"rgba8.tif", "greyalpha8.tif", "cmyk16.tif"}


def make_base():
    im = rc.test_image(37, 23, seed=5)
    path = os.path.join(WORK, "base.png")
    im.save(path)
    opaque = os.path.join(WORK, "opaque.png")
    im.convert("RGB").save(opaque)
    return path, opaque


def convert(name, src, args):
    path = os.path.join(WORK, name)
    subprocess.run(["convert", src] + args + ["TIFF:" + path], check=True)
    return path


def tiffcp(name, src, args):
    path = os.path.join(WORK, name)
    subprocess.run(["tiffcp"] + args + [src, path], check=True)
    return path


def variants():
    base, opaque = make_base()
    grey = ["-colorspace", "Gray"]
    made = [
        convert("rgb8.tif", opaque, ["-compress", "None"]),
        convert("rgba8.tif", base, ["-compress", "None"]),
        convert("rgb16.tif", opaque, ["-depth", "16", "-compress", "None"]),
        convert("rgb8_msb.tif", opaque, ["-endian", "MSB", "-compress", "LZW"]),
        convert("grey8.tif", opaque, grey + ["-depth", "8", "-compress", "None"]),
        convert("grey16.tif", opaque, grey + ["-depth", "16", "-compress", "Zip"]),
        convert("grey16_msb.tif", opaque, grey + ["-depth", "16", "-endian", "MSB"]),
        convert("grey4.tif", opaque, grey + ["-depth", "4", "-compress", "None"]),
        convert("grey2.tif", opaque, grey + ["-depth", "2", "-compress", "None"]),
        convert("bilevel.tif", opaque, ["-threshold", "50%", "-type", "Bilevel", "-depth", "1", "-compress", "None"]),
        convert("minwhite8.tif", opaque, grey + ["-depth", "8", "-define", "tiff:photometric=min-is-white"]),
        convert("minwhite4.tif", opaque, grey + ["-depth", "4", "-define", "tiff:photometric=min-is-white"]),
        convert("palette8.tif", opaque, ["-colors", "200", "-type", "Palette", "-compress", "None"]),
        convert("palette4.tif", opaque, ["-colors", "16", "-type", "Palette", "-depth", "4"]),
        convert("cmyk8.tif", opaque, ["-colorspace", "CMYK", "-compress", "None"]),
        convert("cmyk16.tif", opaque, ["-colorspace", "CMYK", "-depth", "16", "-compress", "LZW"]),
        convert("greyalpha8.tif", base, grey + ["-depth", "8"]),
    ]
    rgb8, grey8 = made[0], made[4]
    bilevel = made[9]
    made += [
        tiffcp("lzw.tif", rgb8, ["-c", "lzw"]),
        tiffcp("lzw_pred.tif", rgb8, ["-c", "lzw:2"]),
        tiffcp("deflate.tif", rgb8, ["-c", "zip"]),
        tiffcp("packbits.tif", rgb8, ["-c", "packbits"]),
        tiffcp("strips1.tif", rgb8, ["-r", "1"]),
        tiffcp("strips5.tif", rgb8, ["-r", "5", "-c", "lzw"]),
        tiffcp("tiles.tif", rgb8, ["-t", "-w", "16", "-l", "16"]),
        tiffcp("tiles_deflate.tif", rgb8, ["-t", "-w", "16", "-l", "32", "-c", "zip"]),
        tiffcp("planar2.tif", rgb8, ["-p", "separate"]),
        tiffcp("planar2_strips3.tif", rgb8, ["-p", "separate", "-r", "3", "-c", "packbits"]),
        tiffcp("planar2_tiles.tif", rgb8, ["-p", "separate", "-t", "-w", "16", "-l", "16", "-c", "lzw"]),
        convert("planar2_rgb16.tif", opaque, ["-depth", "16", "-interlace", "Plane", "-compress", "None"]),
        tiffcp("planar2_cmyk.tif", made[14], ["-p", "separate", "-t", "-w", "32", "-l", "16"]),
        tiffcp("grey8_tiles.tif", grey8, ["-t", "-w", "16", "-l", "16", "-c", "packbits"]),
        tiffcp("grey4_tiles.tif", made[7], ["-t", "-w", "16", "-l", "16"]),
        tiffcp("bilevel_tiles.tif", bilevel, ["-t", "-w", "16", "-l", "16"]),
        tiffcp("bilevel_packbits.tif", bilevel, ["-c", "packbits"]),
        tiffcp("g3.tif", bilevel, ["-c", "g3"]),
        tiffcp("g3_2d.tif", bilevel, ["-c", "g3:2d"]),
        tiffcp("g4.tif", bilevel, ["-c", "g4"]),
        tiffcp("palette4_tiles.tif", made[13], ["-t", "-w", "16", "-l", "16"]),
        tiffcp("lsb2msb.tif", bilevel, ["-f", "lsb2msb"]),
    ]
    # Min-is-white bilevel, as fax programs write it, in every compression.
    minwhite1 = convert("minwhite1.tif", opaque, ["-threshold", "50%", "-type", "Bilevel", "-depth", "1", "-define", "tiff:photometric=min-is-white",
                                                  "-compress", "None"])
    made += [minwhite1] + [tiffcp(f"minwhite1_{c}.tif", minwhite1, ["-c", c]) for c in ("packbits", "g4", "lzw")]
    # Several pages: the first shows.
    pages = os.path.join(WORK, "pages.tif")
    subprocess.run(["tiffcp", rgb8, made[4], pages], check=True)
    made.append(pages)
    return made


def check_variants():
    for path in variants():
        name = os.path.basename(path)
        code, kind, got = rc.render(path)
        if code != 0 or kind != KIND_TIFF:
            rc.fail(f"{name}: exit {code}, kind {kind}")
            continue
        if name in MAGICK_REFERENCE:
            rc.same(name, got, reference_magick(path), tolerance=1)
        else:
            rc.same(name, got, reference(path))


def raw_tiff(width, height, bps, photometric, pixels, extra=()):
    """A little-endian TIFF of one uncompressed strip, one sample per pixel,
    with extra (tag, type, values) entries; written by hand for tags that
    the tools do not write."""
    entries = [(256, 3, [width]), (257, 3, [height]), (258, 3, [bps]), (259, 3, [1]), (262, 3, [photometric]),
               (273, 4, [0]), (277, 3, [1]), (278, 3, [height]), (279, 4, [len(pixels)])] + list(extra)
    entries.sort()
    ifd = 8
    data_at = ifd + 2 + 12 * len(entries) + 4
    blobs, out = b"", []
    for tag, typ, values in entries:
        size = 2 if typ == 3 else 4
        raw = b"".join(struct.pack("<H" if typ == 3 else "<I", v) for v in values)
        if len(raw) <= 4:
            field = raw.ljust(4, b"\0")
        else:
            field = struct.pack("<I", data_at + len(blobs))
            blobs += raw
        out.append((tag, typ, len(raw) // size, field))
    pixel_at = data_at + len(blobs)
    body = struct.pack("<H", len(out))
    for tag, typ, count, field in out:
        if tag == 273:
            field = struct.pack("<I", pixel_at)
        body += struct.pack("<HHI", tag, typ, count) + field
    return b"II*\0" + struct.pack("<I", ifd) + body + b"\0\0\0\0" + blobs + pixels


def check_grey_response():
    """Tag 291 gives each value's optical density in units of tag 290:
    density d in hundredths shows 10^(-d/100) of full light."""
    width, height = 16, 16
    pixels = bytes(range(256))
    curve = [min(65535, (255 - v) * 3) for v in range(256)]
    for photometric in (1, 0):
        for unit, divisor in ((2, 100), (3, 1000), (9, 100)):  # 9 is no unit: the default, hundredths
            name = f"curve_p{photometric}_u{unit}.tif"
            path = os.path.join(WORK, name)
            with open(path, "wb") as f:
                f.write(raw_tiff(width, height, 8, photometric, pixels, [(290, 3, [unit]), (291, 3, curve)]))
            code, kind, got = rc.render(path)
            if code != 0 or kind != KIND_TIFF:
                rc.fail(f"{name}: exit {code}, kind {kind}")
                continue
            want = []
            for v in range(256):
                g = int(65535 * 10 ** (-curve[v] / divisor)) // 256
                if v == (255 if photometric == 0 else 0):
                    g = 0  # the black end is black whatever the curve says
                want.append((g, g, g))
            img = Image.new("RGB", (width, height))
            img.putdata(want)
            rc.same(name, got, img, tolerance=1)


def check_refused():
    """What the library cannot show is refused cleanly and the chain goes on."""
    opaque = os.path.join(WORK, "opaque.png")
    cases = [
        # libtiff here is built without a JPEG codec.
        convert("jpeg.tif", opaque, ["-compress", "JPEG"]),
        # Uncompressed YCbCr is not converted.
        tiffcp("ycbcr.tif", os.path.join(WORK, "rgb8.tif"), ["-c", "none"]),
    ]
    with open(cases[1], "r+b") as f:
        data = bytearray(f.read())
    # Make the second case claim YCbCr by rewriting its photometric entry.
    count = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 4)[0])[0]
    ifd = struct.unpack_from("<I", data, 4)[0]
    for i in range(count):
        e = ifd + 2 + 12 * i
        if struct.unpack_from("<H", data, e)[0] == 262:
            struct.pack_into("<H", data, e + 8, 6)
    with open(cases[1], "wb") as f:
        f.write(data)
    for path in cases:
        code, kind, _ = rc.render(path)
        if code != 2 or kind == KIND_TIFF:
            rc.fail(f"refused {os.path.basename(path)}: exit {code}, kind {kind}")
    # Sizes no picture may take: refused before any allocation.
    with open(os.path.join(WORK, "huge.tif"), "wb") as f:
        f.write(raw_tiff(0xFFFF, 0xFFFF, 8, 1, b"\0" * 64))
    code, kind, _ = rc.render(os.path.join(WORK, "huge.tif"))
    if code not in (0, 2):
        rc.fail(f"huge.tif: exit {code}")


def check_damaged():
    rnd = random.Random(11)
    for name in ("lzw.tif", "tiles_deflate.tif", "planar2_tiles.tif", "g4.tif", "palette4.tif", "grey16.tif"):
        with open(os.path.join(WORK, name), "rb") as f:
            data = f.read()
        cuts = [data[: len(data) // 3], data[: len(data) * 2 // 3], data[:16]]
        flips = []
        for _ in range(6):
            b = bytearray(data)
            for _ in range(8):
                b[rnd.randrange(4, len(b))] = rnd.randrange(256)
            flips.append(bytes(b))
        for i, v in enumerate(cuts + flips):
            path = os.path.join(WORK, f"damaged{i}-{name}")
            with open(path, "wb") as f:
                f.write(v)
            code, kind, _ = rc.render(path)
            if code not in (0, 2):
                rc.fail(f"damaged {os.path.basename(path)}: exit {code}")


def main():
    return rc.run_checks(("convert", "tifftopnm", "tiffcp", "wine"),
                         (check_variants, check_grey_response, check_refused, check_damaged), WORK,
                         "all TIFF pictures equal")


if __name__ == "__main__":
    sys.exit(main())
