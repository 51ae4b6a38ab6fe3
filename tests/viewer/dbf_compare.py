#!/usr/bin/python3
"""dBase tables through viewrender.exe (the viewer library under Wine): the
table view is driven as a user drives it (record by record in the details
list, then "read all" into the table list) and what the lists show is
compared with the values written. The tables are written here with plain
struct writes (character, number, date, logical and memo fields with a
FoxPro memo file); python3-dbfread reads them too, so they are tables
another reader accepts. Headers the view must refuse, and damaged tables,
which must give exit code 0 or 2 and never crash or hang.

Usage: dbf_compare.py BIN_DIR   (run inside scripts/with-sandbox)."""
import os
import random
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import render_compare as rc  # noqa: E402

import dbfread  # noqa: E402

rc.WORK = os.path.join(rc.BIN, "viewer-dbf-test")
WORK = rc.WORK
KIND_DBASE = 7


def write_table(path, fields, records, version=0x30, date=(124, 6, 30), memo=None, block_size=64,
                header_length=None, record_length=None, count=None):
    """fields: (name, type, length); records: (deleted, [bytes per field]).
    memo: list of texts; a memo field's bytes hold the block number."""
    rec_len = 1 + sum(f[2] for f in fields)
    hdr_len = 32 + 32 * len(fields) + 1
    header = struct.pack("<BBBBIHH20x", version, *date, len(records) if count is None else count,
                         hdr_len if header_length is None else header_length,
                         rec_len if record_length is None else record_length)
    desc = b""
    at = 1
    for name, typ, length in fields:
        desc += struct.pack("<11scIBB14x", name.encode(), typ.encode(), at, length, 0)
        at += length
    body = b""
    for deleted, values in records:
        body += b"*" if deleted else b" "
        for (name, typ, length), v in zip(fields, values):
            body += v.ljust(length)[:length]
    with open(path, "wb") as f:
        f.write(header + desc + b"\r" + body + b"\x1a")
    if memo is not None:
        with open(os.path.splitext(path)[0] + ".fpt", "wb") as f:
            blocks = b""
            first = max(1, 512 // block_size)
            for text in memo:
                block = struct.pack(">II", 1, len(text)) + text
                block += b"\0" * (-len(block) % block_size)
                blocks += block
            f.write(struct.pack(">IHH", first + len(blocks) // block_size, 0, block_size).ljust(first * block_size,
                                                                                             b"\0"))
            f.write(blocks)


def memo_blocks(texts, block_size=64):
    """Block number of each text as write_table lays them out."""
    numbers, at = [], max(1, 512 // block_size)
    for t in texts:
        numbers.append(at)
        at += (8 + len(t) + block_size - 1) // block_size
    return numbers


def render_table(path):
    """(exit code, kind, lines of the text viewrender writes or None)."""
    return rc.render_text(path, KIND_DBASE)


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\":
            nxt = text[i + 1]
            if nxt == "x":
                out.append(chr(int(text[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append({"r": "\r", "n": "\n"}.get(nxt, nxt))
            i += 2
            continue
        out.append(text[i])
        i += 1
    return "".join(out)


def parse_dump(lines):
    records, rows, current = [], [], None
    for line in lines:
        word, _, rest = line.partition(" ")
        if word == "record":
            current = {"status": rest, "fields": []}
            records.append(current)
        elif word == "field":
            current["fields"].append(tuple(unescape(x) for x in rest.split("|")))
        elif word == "row":
            rows.append([unescape(x) for x in rest.split("|")])
    return records, rows


def check_values():
    fields = [("NAME", "C", 12), ("AMOUNT", "N", 10), ("BORN", "D", 8), ("ACTIVE", "L", 1), ("NOTES", "M", 10),
              ("CODE", "C", 3)]
    long_text = b"".join(b"line %04d of a long memo\r\n" % i for i in range(600))  # over 8 KiB
    memos = [b"first memo", b"", b"third, with a comma", long_text]
    blocks = memo_blocks(memos)
    rows = [
        (False, [b"Anna", b"12.50".rjust(10), b"19851224", b"T", b"%10d" % blocks[0], b"A1"]),
        (True, [b"Bert", b"-3".rjust(10), b"20011001", b"F", b"%10d" % blocks[2], b"B2"]),
        (False, [b"Chloe Zed", b"0.00".rjust(10), b"        ", b"?", b" " * 10, b"C3"]),
        (False, [b"Dora", b"1234567.89", b"19800101", b"Y", b"%10d" % blocks[3], b""]),
        (False, [b"  lead", b"7".rjust(10), b"19991231", b"N", b"%10d" % blocks[2], b"E"]),
    ]
    # A name with a dot before the extension: the memo file is the table's
    # name with its own extension replaced.
    path = os.path.join(WORK, "sales.2024.dbf")
    write_table(path, fields, rows, memo=memos)
    # Another reader accepts the same table and memo file.
    other = list(dbfread.DBF(path, load=True, ignore_missing_memofile=False))
    if [r["NAME"] for r in other] != ["Anna", "Chloe Zed", "Dora", "  lead"] or other[0]["NOTES"] != "first memo":
        rc.fail(f"dbfread reads the fixture otherwise: {other[:1]}")

    def shown(values):
        name, amount, born, active, notes_block, code = values
        text = {blocks[0]: memos[0], blocks[2]: memos[2], blocks[3]: memos[3][:8191]}
        number = int(notes_block) if notes_block.strip() else 0
        date = born.decode()
        if date.startswith("  ") or date == "19800101":
            date = "01/01/80"
        else:
            date = f"{date[4:6]}/{date[6:8]}/{date[2:4]}"
        return [name.decode().rstrip(), amount.decode().rstrip(), date, active.decode(),
                text.get(number, b"").decode("latin-1"), code.decode().rstrip()]

    code, kind, dump = render_table(path)
    if code != 0 or kind != KIND_DBASE or dump is None:
        rc.fail(f"values: exit {code}, kind {kind}")
        return
    records, table = parse_dump(dump)
    if len(records) != len(rows):
        rc.fail(f"values: {len(records)} records shown one by one, want {len(rows)}")
        return
    kinds = [f"{t} [{n}]" for _, t, n in fields]
    for i, ((deleted, values), rec) in enumerate(zip(rows, records)):
        want_status = f" {'*' if deleted else ' '}  # {i + 1} / {len(rows)}"
        if rec["status"] != want_status:
            rc.fail(f"record {i}: status {rec['status']!r}, want {want_status!r}")
        got = [(n, k, v) for n, k, v in rec["fields"]]
        want = list(zip([f[0] for f in fields], kinds, shown(values)))
        for (gn, gk, gv), (wn, wk, wv) in zip(got, want):
            if (gn, gk) != (wn, wk) or gv != wv:
                rc.fail(f"record {i} field {wn}: shown {(gn, gk, gv)!r}, want {(wn, wk, wv[:40])!r}")
    want_rows = [shown(v) for d, v in rows if not d]
    if len(table) != len(want_rows):
        rc.fail(f"table list: {len(table)} rows, want {len(want_rows)} (deleted records are left out)")
    for i, (g, w) in enumerate(zip(table, want_rows)):
        if g != w:
            rc.fail(f"table row {i}: {g!r}, want {w!r}")


def check_limits():
    """999 fields shown, 1000 refused; only the first 32 memo fields show
    their texts; a memo file with larger blocks; no memo file at all."""
    for count, want in ((999, True), (1000, False)):
        fields = [(f"F{i}", "C", 1) for i in range(count)]
        path = os.path.join(WORK, f"fields{count}.dbf")
        # The record length field is 16 bits: a thousand one-byte fields fit.
        write_table(path, fields, [(False, [b"x"] * count)], version=0x03)
        code, kind, dump = render_table(path)
        if want and (kind != KIND_DBASE or dump is None):
            rc.fail(f"{count} fields: exit {code}, kind {kind}")
        elif want:
            records, table = parse_dump(dump)
            if len(records[0]["fields"]) != count or table[0] != ["x"] * count:
                rc.fail(f"{count} fields: {len(records[0]['fields'])} shown")
        elif kind == KIND_DBASE:
            rc.fail(f"{count} fields shown as a table")

    texts = [f"memo {i}".encode() for i in range(34)]
    for block_size in (64, 512):
        blocks = memo_blocks(texts, block_size)
        fields = [(f"M{i}", "M", 10) for i in range(34)]
        path = os.path.join(WORK, f"memos{block_size}.dbf")
        write_table(path, fields, [(False, [b"%10d" % b for b in blocks])], memo=texts, block_size=block_size)
        code, kind, dump = render_table(path)
        if kind != KIND_DBASE or dump is None:
            rc.fail(f"34 memo fields: exit {code}, kind {kind}")
            continue
        records, table = parse_dump(dump)
        want = [t.decode() for t in texts[:32]] + ["", ""]
        if table != [want]:
            rc.fail(f"34 memo fields, blocks of {block_size}: {table!r}")

    path = os.path.join(WORK, "nomemo.dbf")
    write_table(path, [("N", "C", 4), ("M", "M", 10)], [(False, [b"abc", b"%10d" % 8])])
    code, kind, dump = render_table(path)
    if kind != KIND_DBASE or dump is None or parse_dump(dump)[1] != [["abc", ""]]:
        rc.fail(f"table without its memo file: exit {code}, kind {kind}, {dump}")

    # A date field shorter than a date shows its bytes as they are.
    path = os.path.join(WORK, "shortdate.dbf")
    write_table(path, [("D", "D", 6), ("C", "C", 2)], [(False, [b"202401", b"ok"])])
    code, kind, dump = render_table(path)
    if kind != KIND_DBASE or dump is None or parse_dump(dump)[1] != [["202401", "ok"]]:
        rc.fail(f"short date field: exit {code}, kind {kind}, {dump}")


def check_refused():
    fields = [("NAME", "C", 8)]
    rows = [(False, [b"x"])] * 3
    cases = {
        "month0.dbf": {"date": (124, 0, 1)},
        "month13.dbf": {"date": (124, 13, 1)},
        "day32.dbf": {"date": (124, 1, 32)},
        "version.dbf": {"version": 0x04},
        "records.dbf": {"count": 1000},
        "reclen0.dbf": {"record_length": 0},
        "header32.dbf": {"header_length": 32},
    }
    for name, kw in cases.items():
        path = os.path.join(WORK, name)
        write_table(path, fields, rows, **kw)
        code, kind, _ = render_table(path)
        if kind == KIND_DBASE or code not in (0, 2):
            rc.fail(f"refused {name}: exit {code}, kind {kind}")


def check_damaged():
    rnd = random.Random(5)
    src = os.path.join(WORK, "sales.2024.dbf")
    with open(src, "rb") as f:
        data = f.read()
    with open(os.path.join(WORK, "sales.2024.fpt"), "rb") as f:
        memo = f.read()
    variants = [data[:40], data[: len(data) // 2], data[:-20]]
    for _ in range(8):
        b = bytearray(data)
        for _ in range(6):
            b[rnd.randrange(4, len(b))] = rnd.randrange(256)
        variants.append(bytes(b))
    for i, v in enumerate(variants):
        path = os.path.join(WORK, f"damaged{i}.dbf")
        with open(path, "wb") as f:
            f.write(v)
        # Half of them with a damaged memo file beside them.
        m = bytearray(memo)
        for _ in range(10 if i % 2 else 0):
            m[rnd.randrange(0, len(m))] = rnd.randrange(256)
        with open(os.path.join(WORK, f"damaged{i}.fpt"), "wb") as f:
            f.write(bytes(m[: len(m) - 30 * (i % 3)]))
        code, kind, _ = render_table(path)
        if code not in (0, 2):
            rc.fail(f"damaged{i}.dbf: exit {code}, kind {kind}")


def main():
    return rc.run_checks(("wine",), (check_values, check_limits, check_refused, check_damaged), WORK,
                         "all tables shown as written")


if __name__ == "__main__":
    sys.exit(main())
