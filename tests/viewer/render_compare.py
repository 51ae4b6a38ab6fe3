#!/usr/bin/python3
"""Pixels that viewrender.exe paints (the viewer library under Wine) against
independent decoders: Pillow for PNG and GIF, djpeg and Pillow for JPEG. Also the detection table (file -> view kind) and damaged files,
which must give exit code 0 or 2 and never crash or hang.

Usage: render_compare.py BIN_DIR   (run inside scripts/with-sandbox; the
build's bin folder is drive T: there)."""
import os
import random
import shutil
import struct
import subprocess
import sys

from PIL import Image

BIN = os.path.abspath(sys.argv[1])
WORK = os.path.join(BIN, "viewer-render-test")
PNG_BG = (31, 127, 255)
failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL:", msg, flush=True)


def winpath(path):
    rel = os.path.relpath(path, BIN)
    return "T:\\" + rel.replace("/", "\\")


def run_viewrender(args, log):
    """Runs viewrender.exe with args (host paths of the work folder are
    passed as T: paths by the caller); (exit code, kind it printed)."""
    cmd = ["wine", winpath(os.path.join(BIN, "viewrender.exe"))] + args
    # Output through a file, not a pipe: Wine's own background processes
    # inherit the handles and would hold a pipe open after the program ends.
    with open(log, "w") as f:
        code = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=f, stderr=subprocess.STDOUT,
                              timeout=120).returncode
    kind = None
    with open(log) as f:
        for line in f:
            if line.startswith("kind "):
                kind = int(line.split()[1])
    return code, kind


def render(path, frame=None):
    """(exit code, kind, pixels as rows of (r, g, b) or None)."""
    out = path + ".bmp"
    if os.path.exists(out):
        os.remove(out)
    args = [winpath(path), winpath(out)] + ([str(frame)] if frame is not None else [])
    code, kind = run_viewrender(args, path + ".out")
    pixels = None
    if code == 0 and os.path.exists(out):
        with Image.open(out) as im:
            pixels = im.convert("RGB")
            pixels.load()
    return code, kind, pixels


def render_text(path, wanted_kind):
    """For the views viewrender writes as text (tables, listings): (exit
    code, kind, the text's lines or None)."""
    out = path + ".txt"
    if os.path.exists(out):
        os.remove(out)
    code, kind = run_viewrender([winpath(path), winpath(out)], path + ".out")
    lines = None
    if code == 0 and kind == wanted_kind and os.path.exists(out):
        with open(out, encoding="latin-1") as f:
            lines = f.read().splitlines()
    return code, kind, lines


def run_checks(tools, checks, work, done):
    """What every comparison script does: the tools it needs must be there,
    a fresh work folder, each check in turn, then the summary. The work
    folder is kept when something failed."""
    for tool in tools:
        if not shutil.which(tool):
            print(f"missing tool: {tool}")
            return 1
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for check in checks:
        check()
    if failures:
        print(f"{len(failures)} failure(s)")
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print(done)
    return 0


def same(name, got, want, tolerance=0):
    if got is None:
        fail(f"{name}: nothing rendered")
        return
    if got.size != want.size:
        fail(f"{name}: size {got.size} != {want.size}")
        return
    g, w = got.tobytes(), want.convert("RGB").tobytes()
    worst, where = 0, None
    for i in range(len(g)):
        d = abs(g[i] - w[i])
        if d > worst:
            worst, where = d, i
    if worst > tolerance:
        px = where // 3
        fail(f"{name}: pixel ({px % got.size[0]}, {px // got.size[0]}) differs by {worst} (tolerance {tolerance})")


def test_image(w, h, seed=1):
    rnd = random.Random(seed)
    im = Image.new("RGBA", (w, h))
    px = im.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = ((x * 255) // max(w - 1, 1), (y * 255) // max(h - 1, 1), rnd.randrange(256),
                        (x * 37 + y * 11) % 256)
    return im


def pillow_rgba(path):
    """Pillow's decode as 8-bit RGBA; 16-bit grey keeps its high byte, as
    16-bit colour does in Pillow itself."""
    with Image.open(path) as im:
        if im.mode in ("I", "I;16", "I;16B"):
            grey = im.point(lambda v: v / 256).convert("L") if im.mode == "I" else None
            if grey is None:
                data = im.tobytes()
                order = "big" if im.mode == "I;16B" else "little"
                grey = Image.frombytes("L", im.size, bytes(int.from_bytes(data[i:i + 2], order) >> 8
                                                            for i in range(0, len(data), 2)))
            return grey.convert("RGBA")
        return im.convert("RGBA")


def over_background(rgba, bg):
    out = Image.new("RGB", rgba.size)
    src, dst = rgba.load(), out.load()
    for y in range(rgba.size[1]):
        for x in range(rgba.size[0]):
            r, g, b, a = src[x, y]
            dst[x, y] = tuple((c * a + k * (255 - a) + 127) // 255 for c, k in zip((r, g, b), bg))
    return out


def png_cases():
    base = test_image(23, 17)
    rgb = base.convert("RGB")
    cases = {
        "grey1": base.convert("1"),
        "grey8": base.convert("L"),
        "grey16": base.convert("I").point(lambda v: v * 257).convert("I;16"),
        "greyalpha8": base.convert("LA"),
        "rgb8": rgb,
        "rgba8": base,
        "pal8": rgb.quantize(200),
        "pal4": rgb.quantize(16),
        "pal2": rgb.quantize(4),
        "pal1": rgb.quantize(2),
    }
    files = []
    for name, im in cases.items():
        path = os.path.join(WORK, f"{name}.png")
        kwargs = {}
        if name.startswith("pal") and name != "pal8":
            kwargs["bits"] = {"pal4": 4, "pal2": 2, "pal1": 1}[name]
        im.save(path, **kwargs)
        files.append(path)
    # Transparency by tRNS: grey, colour and palette.
    for name, im, t in (("greytrns", base.convert("L"), 128), ("rgbtrns", rgb, rgb.getpixel((3, 3))),
                        ("paltrns", rgb.quantize(16), 5)):
        path = os.path.join(WORK, f"{name}.png")
        im.save(path, transparency=t)
        files.append(path)
    # Depths Pillow does not write, and interlacing, through ImageMagick.
    for name, args in (("grey2", ["-alpha", "off", "-colorspace", "Gray", "-depth", "2", "-define", "png:color-type=0",
                                  "-define", "png:bit-depth=2"]),
                       ("grey4", ["-alpha", "off", "-colorspace", "Gray", "-depth", "4", "-define", "png:color-type=0",
                                  "-define", "png:bit-depth=4"]),
                       ("rgb16", ["-alpha", "off", "-depth", "16", "-define", "png:color-type=2"]),
                       ("rgba16", ["-depth", "16", "-define", "png:color-type=6"]),
                       ("greyalpha16", ["-colorspace", "Gray", "-depth", "16", "-define", "png:color-type=4"]),
                       ("interlaced_rgb", ["-alpha", "off", "-interlace", "PNG", "-define", "png:color-type=2"]),
                       ("interlaced_rgba", ["-interlace", "PNG", "-define", "png:color-type=6"]),
                       ("interlaced_pal", ["-alpha", "off", "-colors", "16", "-interlace", "PNG", "-define",
                                           "png:color-type=3"])):
        src = os.path.join(WORK, "rgba8.png")
        path = os.path.join(WORK, f"{name}.png")
        subprocess.run(["convert", src] + args + ["-define", "png:exclude-chunks=gAMA,cHRM,bKGD,sRGB,date,tIME",
                                                    "PNG:" + path], check=True)
        files.append(path)
    return files


def check_png():
    for path in png_cases():
        name = os.path.basename(path)
        rc, kind, got = render(path)
        if rc != 0 or kind != 17:
            fail(f"{name}: exit {rc}, kind {kind}")
            continue
        same(name, got, over_background(pillow_rgba(path), PNG_BG))


def check_jpeg():
    base = test_image(61, 47, seed=2).convert("RGB")
    cases = [("baseline.jpg", base, {"quality": 85}),
             ("progressive.jpg", base, {"quality": 85, "progressive": True}),
             ("grey.jpg", base.convert("L"), {"quality": 90}),
             ("subsampled.jpg", base, {"quality": 70, "subsampling": 2})]
    for name, im, kwargs in cases:
        path = os.path.join(WORK, name)
        im.save(path, **kwargs)
        rc, kind, got = render(path)
        if rc != 0 or kind != 13:
            fail(f"{name}: exit {rc}, kind {kind}")
            continue
        ref = os.path.join(WORK, name + ".pnm")
        with open(ref, "wb") as f:
            subprocess.run(["djpeg", "-pnm", path], stdout=f, check=True)
        with Image.open(ref) as want:
            same(name, got, want)
    path = os.path.join(WORK, "cmyk.jpg")
    subprocess.run(["convert", os.path.join(WORK, "baseline.jpg"), "-colorspace", "CMYK", path], check=True)
    rc, kind, got = render(path)
    if rc != 0 or kind != 13:
        fail(f"cmyk.jpg: exit {rc}, kind {kind}")
    else:
        with Image.open(path) as want:
            same("cmyk.jpg", got, want.convert("RGB"), tolerance=1)


def check_gif():
    base = test_image(29, 19, seed=3).convert("RGB")
    frames = [base.rotate(a).quantize(64) for a in (0, 90, 180)]
    anim = os.path.join(WORK, "anim.gif")
    frames[0].save(anim, save_all=True, append_images=frames[1:], duration=[50, 70, 90], loop=0,
                   disposal=1, optimize=False)
    single = os.path.join(WORK, "single.gif")
    base.quantize(200).save(single)
    inter = os.path.join(WORK, "interlaced.gif")
    subprocess.run(["convert", single, "-interlace", "GIF", inter], check=True)
    trans = os.path.join(WORK, "transparent.gif")
    base.quantize(32).save(trans, transparency=3)
    for path, count in ((anim, 3), (single, 1), (inter, 1), (trans, 1)):
        name = os.path.basename(path)
        with Image.open(path) as ref:
            for i in range(count):
                ref.seek(i)
                want = ref.convert("RGBA")
                rc, kind, got = render(path, i)
                if rc != 0 or kind != 9:
                    fail(f"{name} frame {i}: exit {rc}, kind {kind}")
                    continue
                same(f"{name} frame {i}", got, over_background(want, (255, 255, 255)))


def check_detection():
    """File -> view kind, in a viewer window."""
    def make(name, data):
        path = os.path.join(WORK, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    with open(os.path.join(WORK, "baseline.jpg"), "rb") as f:
        jpeg = f.read()
    table = [
        ("exif.jpg", jpeg[:3] + b"\xe1" + jpeg[4:], 13, None),  # FF D8 FF E1: still a JPEG
        ("c0.jpg", b"\xff\xd8\xff\xc0" + jpeg[4:], 10, 2),      # not a JPEG signature; its zero bytes make a dump
        ("garbage.gif", b"GIF89" + b"\x07" * 200, 18, 2),         # the worker gives up, the chain goes on
        ("empty.bin", b"", 18, 2),
        ("text.txt", b"hello\r\n" * 40, 18, 2),
        ("unicode.txt", b"\xff\xfeh\x00i\x00", 18, 2),
        ("png-named.jpg", open(os.path.join(WORK, "rgb8.png"), "rb").read(), 17, 0),
        ("jpeg-named.png", jpeg, 13, 0),
    ]
    for name, data, want_kind, want_rc in table:
        path = make(name, data)
        rc, kind, _ = render(path)
        if kind != want_kind or (want_rc is not None and rc != want_rc):
            fail(f"detection {name}: kind {kind} exit {rc}, want kind {want_kind}")
    # A missing file closes the view.
    rc, kind, _ = render(os.path.join(WORK, "missing.png"))
    if rc != 2 or kind != 0:
        fail(f"missing file: kind {kind} exit {rc}")


def check_damaged():
    """Cut and flipped files: 0 or 2, never a crash or a hang."""
    rnd = random.Random(7)
    sources = [os.path.join(WORK, n) for n in ("rgb8.png", "interlaced_rgba.png", "pal2.png", "baseline.jpg",
                                                 "progressive.jpg", "anim.gif", "interlaced.gif")]
    for src in sources:
        with open(src, "rb") as f:
            data = f.read()
        variants = [data[: len(data) // 2], data[: len(data) * 9 // 10]]
        for _ in range(4):
            b = bytearray(data)
            for _ in range(6):
                b[rnd.randrange(8, len(b))] = rnd.randrange(256)
            variants.append(bytes(b))
        for i, v in enumerate(variants):
            path = os.path.join(WORK, f"damaged{i}-{os.path.basename(src)}")
            with open(path, "wb") as f:
                f.write(v)
            rc, kind, _ = render(path)
            if rc not in (0, 2):
                with open(path + ".out", errors="replace") as f:
                    said = f.read()[-400:]
                fail(f"damaged {os.path.basename(path)}: exit {rc}, kind {kind}: {said}")
    # Sizes that no picture may ask for: the reader refuses before allocating.
    huge = bytearray(open(os.path.join(WORK, "rgb8.png"), "rb").read())
    huge[16:24] = struct.pack(">II", 0x7FFFFFFF, 0x7FFFFFFF)
    path = make_raw("huge.png", bytes(huge))
    rc, kind, _ = render(path)
    if rc != 2:
        fail(f"huge.png: exit {rc}, kind {kind}")


def make_raw(name, data):
    path = os.path.join(WORK, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def main():
    return run_checks(("convert", "djpeg", "wine"), (check_png, check_jpeg, check_gif, check_detection, check_damaged),
                      WORK, "all pictures equal")


if __name__ == "__main__":
    sys.exit(main())
