#!/usr/bin/python3
"""COFF library listings through viewrender.exe (the viewer library under
Wine) against the MinGW binutils: the symbols and their order from
i686-w64-mingw32-nm's archive index, the import names from objdump's dump of
each member's .idata$6 section, over the toolchain's own import libraries.
A type-library style object (one 16-byte .rdata, no code) archived by the
toolchain's ar shows its GUID. Damaged libraries are refused as a whole.

Usage: coff_compare.py BIN_DIR   (run inside scripts/with-sandbox)."""
import os
import random
import re
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import render_compare as rc  # noqa: E402

rc.WORK = os.path.join(rc.BIN, "viewer-coff-test")
WORK = rc.WORK
KIND_COFF = 14
MINGW_LIB = "/usr/i686-w64-mingw32/lib"
LIBS = ["libversion.a", "libkernel32.a", "libuser32.a", "libws2_32.a", "libole32.a", "libuuid.a"]


def run(cmd, check=True):
    return subprocess.run(cmd, check=check, capture_output=True, text=True, errors="replace").stdout


def listing(path):
    """(exit code, kind, lines of the text viewrender writes or None)."""
    return rc.render_text(path, KIND_COFF)


def index_of(path):
    """The archive index as nm prints it: (symbol, member) in order."""
    out = run(["i686-w64-mingw32-nm", "-s", path])
    entries, inside = [], False
    for line in out.splitlines():
        if line == "Archive index:":
            inside = True
        elif inside and not line:
            break
        elif inside:
            sym, _, member = line.rpartition(" in ")
            entries.append((sym, member))
    return entries


def sections_of(path):
    out = run(["i686-w64-mingw32-objdump", "-h", path])
    members, current = {}, None
    for line in out.splitlines():
        m = re.match(r"^(\S+):\s+file format", line)
        if m:
            current = members.setdefault(m.group(1), [])
            continue
        m = re.match(r"^\s+\d+\s+(\S+)\s+[0-9a-f]{8}\s", line)
        if m and current is not None:
            current.append(m.group(1))
    return members


def import_names(path):
    # objdump fails when no member has the section (libuuid.a).
    out = run(["i686-w64-mingw32-objdump", "-s", "-j", ".idata$6", path], check=False)
    raw, current = {}, None
    for line in out.splitlines():
        m = re.match(r"^(\S+):\s+file format", line)
        if m:
            current = m.group(1)
            continue
        m = re.match(r"^ [0-9a-f]{4,} ((?:[0-9a-f]{2,8} ?){1,4})", line)
        if m and current:
            raw[current] = raw.get(current, b"") + bytes.fromhex(m.group(1).replace(" ", ""))
    return {k: v[2:].split(b"\0")[0].decode("latin-1") for k, v in raw.items() if len(v) > 2}


def skipped(sym):
    return sym.startswith("__IMPORT_DESCRIPTOR_") or sym.startswith("__NULL_IMPORT_DESCRIPTOR") or \
        "_NULL_THUNK_DATA" in sym


def expected(path, guids=None):
    sections, names = sections_of(path), import_names(path)
    lines = []
    for sym, member in index_of(path):
        if skipped(sym):
            continue
        secs = sections.get(member, [])
        if ".idata$5" in secs:
            line = f" {sym} imported as {names[member]}" if member in names else f" {sym}"
        elif guids and member in guids:
            line = f" {{{guids[member]}}} {sym}"
        else:
            line = f" {sym}"
        lines.append(line)
    return lines


def compare(name, path, want):
    code, kind, got = listing(path)
    if code != 0 or kind != KIND_COFF or got is None:
        rc.fail(f"{name}: exit {code}, kind {kind}")
        return
    if got != want:
        diff = next((i for i, (g, w) in enumerate(zip(got, want)) if g != w), min(len(got), len(want)))
        rc.fail(f"{name}: line {diff}: {got[diff:diff + 1]!r} != {want[diff:diff + 1]!r} "
                f"({len(got)} lines, want {len(want)})")


def check_import_libraries():
    for lib in LIBS:
        path = os.path.join(WORK, lib)
        shutil.copy(os.path.join(MINGW_LIB, lib), path)
        want = expected(path)
        if not want:
            rc.fail(f"{lib}: nm lists nothing")
        compare(lib, path, want)


def guid_object(symbol, guid):
    """A COFF object with one 16-byte .rdata section and no code, as a type
    library compiles to: written by hand, since the compiler always adds an
    empty .text."""
    data = guid
    sym_table = 20 + 40 + len(data)
    header = struct.pack("<HHIIIHH", 0x14C, 1, 0, sym_table, 1, 0, 0)
    section = struct.pack("<8sIIIIIIHHI", b".rdata", 0, 0, len(data), 60, 0, 0, 0, 0, 0x40300040)
    name = symbol.encode()
    strings = b""
    if len(name) <= 8:
        sym_name = name.ljust(8, b"\0")
    else:
        sym_name = struct.pack("<II", 0, 4)
        strings = name + b"\0"
    symbol_entry = sym_name + struct.pack("<IhHBB", 0, 1, 0, 2, 0)  # external, in section 1
    return header + section + data + symbol_entry + struct.pack("<I", 4 + len(strings)) + strings


def check_guid():
    guid = bytes(range(0x11, 0x21))
    data1, data2, data3 = struct.unpack_from("<IHH", guid)
    text = f"{data1:08X}-{data2:04X}-{data3:04X}-{guid[8]:02X}{guid[9]:02X}-" + "".join(f"{b:02X}" for b in guid[10:])
    obj = os.path.join(WORK, "iid_a.o")
    with open(obj, "wb") as f:
        f.write(guid_object("_IID_IExample", guid))
    objs = [obj]
    # A member with code beside it: no GUID for its symbol.
    src = os.path.join(WORK, "code.c")
    with open(src, "w") as f:
        f.write("int CodeSymbol(void) { return 1; }\n")
    subprocess.run(["i686-w64-mingw32-gcc", "-c", "-O2", src, "-o", os.path.join(WORK, "code.o")], check=True)
    objs.append(os.path.join(WORK, "code.o"))
    lib = os.path.join(WORK, "guids.lib")
    subprocess.run(["i686-w64-mingw32-ar", "rcs", lib] + objs, check=True)
    compare("guids.lib", lib, expected(lib, {"iid_a.o": text}))


def check_refused():
    with open(os.path.join(MINGW_LIB, "libversion.a"), "rb") as f:
        data = f.read()
    count = struct.unpack_from(">I", data, 68)[0]
    first = struct.unpack_from(">I", data, 72)[0]
    cases = {
        "cut_index.lib": data[:72 + 2 * count],
        "cut_names.lib": data[:72 + 4 * count + 5],
        "cut_member.lib": data[:first + 60 + 10],
        "count_huge.lib": data[:68] + struct.pack(">I", 0x3FFFFFFF) + data[72:],
        # The first symbol's member within 20 bytes of the end after its header.
        "first_near_end.lib": data[:72] + struct.pack(">I", len(data) - 70) + data[76:],
        "not_arch.lib": b"!<arch>X" + data[8:],
        "thin.lib": b"!<thin>\n" + data[8:],
    }
    for name, body in cases.items():
        path = os.path.join(WORK, name)
        with open(path, "wb") as f:
            f.write(body)
        code, kind, _ = listing(path)
        if kind == KIND_COFF or code not in (0, 2):
            rc.fail(f"refused {name}: exit {code}, kind {kind}")


def check_damaged():
    rnd = random.Random(3)
    with open(os.path.join(MINGW_LIB, "libversion.a"), "rb") as f:
        data = f.read()
    for i in range(12):
        b = bytearray(data)
        for _ in range(10):
            # Mostly in the index and the first members, where offsets live.
            b[rnd.randrange(8, min(len(b), 4000))] = rnd.randrange(256)
        path = os.path.join(WORK, f"damaged{i}.lib")
        with open(path, "wb") as f:
            f.write(bytes(b))
        code, kind, _ = listing(path)
        if code not in (0, 2):
            rc.fail(f"damaged{i}.lib: exit {code}, kind {kind}")


def main():
    return rc.run_checks(("wine", "i686-w64-mingw32-nm", "i686-w64-mingw32-objdump", "i686-w64-mingw32-ar"), (check_import_libraries, check_guid, check_refused, check_damaged), WORK, "all listings equal")


if __name__ == "__main__":
    sys.exit(main())
