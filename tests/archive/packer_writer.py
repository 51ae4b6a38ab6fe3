#!/usr/bin/env python3
"""Writes VANDZIP.SET from a table of packers (one line per packer, ten
tab-separated fields: name, extension, five command templates, three
options), as the packer dialog stores what is typed into its fields: the
name cut to 7 characters, the extension to 3, templates to 62 and options to
6 characters, each of the last eight followed by one blank unless empty or
already ending in one.

Usage: packer_writer.py TABLE OUT"""
import struct
import sys

LIMITS = [7, 3, 63, 63, 63, 63, 63, 7, 7, 7]


def field(i, text):
    if i < 2:
        return text[:LIMITS[i]]
    if len(text) > LIMITS[i] - 1 and not (len(text) == LIMITS[i] and text.endswith(' ')):
        text = text[:LIMITS[i] - 1]
    if text and not text.endswith(' '):
        text += ' '
    return text


def record(fields):
    strings = [field(i, t).encode('latin-1') + b'\0' for i, t in enumerate(fields)]
    offsets, at = [], 22
    for s in strings:
        offsets.append(at)
        at += len(s)
    return struct.pack('<H10H', at, *offsets) + b''.join(strings)


def main():
    rows = []
    with open(sys.argv[1], encoding='latin-1') as f:
        for line in f:
            line = line.rstrip('\n')
            if line:
                parts = line.split('\t')
                rows.append((parts + [''] * 10)[:10])
    data = struct.pack('<H', len(rows)) + b''.join(record(r) for r in rows)
    with open(sys.argv[2], 'wb') as f:
        f.write(data)


main()
