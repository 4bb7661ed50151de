#!/usr/bin/env python3
"""Writes the seed corpus of the list reader's fuzz target into corpus/: whole lists as
the product writes them, and lists damaged in the ways files get damaged. Run it again
after changing a seed; the files are committed."""
import os
import struct

HEADER = b"Quorvane Pending Reboot List DB"


def text(b):
    return struct.pack("<H", len(b)) + b


def record(entries, header=HEADER, version=b"3.0", extra=b"", count=None,
           lower_bound=0, dimensions=None):
    out = text(header) + text(version) + text(extra)
    dims = dimensions if dimensions is not None else (1 if entries else 0)
    out += struct.pack("<H", dims)
    if dims:
        out += struct.pack("<Ii", len(entries), lower_bound)
        for path, ext, flag in entries:
            out += text(path) + text(ext) + struct.pack("<i", flag)
    out += struct.pack("<I", len(entries) if count is None else count)
    return out


three = [(b"C:\\a.tmp", b"x", 0), (b"C:\\dir\\bb.tmp", b"", 1), (b"D:\\ccc.exe", b"yz", 0)]
seeds = {
    "empty-list": record([]),
    "one-entry": record([(b"C:\\a.tmp", b"", 0)]),
    "three-entries": record(three, extra=b"list extra"),
    "foreign-header-and-version": record(three, header=b"Another DB", version=b"9.9"),
    "old-tail-after-count": record(three) + b"tail left by an older writer",
    "stored-empty-entry-block": record([], dimensions=1),
    "double-byte-path": record([("C:\\临时\\文件.tmp".encode("gbk"), "附加".encode("gbk"), 0)]),
    "flags-and-unc": record([(b"\\\\server\\share\\f.dll", b"", -1),
                             (b"", b"", 0x7FFFFFFF), (b"relative.tmp", b"e", 0)]),
    "cut-inside-an-entry": record(three)[:75],
    "cut-inside-a-length": record(three)[:51],
    "not-a-list": b"not a list",
    "two-dimensions": record(three, dimensions=2),
    "lower-bound-one": record(three, lower_bound=1),
    "count-above-entries": record(three, count=4),
    "count-below-entries": record(three, count=2),
    "claims-four-billion-entries": record(three)[:42] + struct.pack("<I", 0xFFFFFFFF)
                                   + record(three)[46:],
    "text-length-past-end": struct.pack("<H", 0xFFFF) + HEADER,
}

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "corpus")
os.makedirs(corpus, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(corpus, name), "wb") as f:
        f.write(data)
