#!/usr/bin/env python3
"""Makes the code image inputs of the example release:

  firmware.bin  uncompressed code file: 16-byte header, 204800-byte code section,
                version words at 0x1094 (versionAddr1, trace version 2) and 0x10A0
  dsp.pat       DSP patch file (kind 6): patches for chip versions 1, 2 and 3
  mcp.bin       MCP file (kind 25): four 256-byte tables, one matching 0x2C01/0x1234
  logo.cus      CUS file "WCUS"/"LCMC" with one chunk
  sens.cus      CUS file "WCUS"/"SENS" with four chunks behind an "MSTE" header

The output is the same on every run (seeded contents; firmware.bin is given
the last-write time 2020-01-01 00:00 UTC, which its size-and-date record shows).

    python3 examples/make_codeimage.py [output folder]   (default: examples/release)
"""
import os
import random
import struct
import sys

EPOCH = 1577836800  # 2020-01-01 00:00:00 UTC
KIND_DSP_PATCH = 6
KIND_MCP = 25

VERSION_ADDR = 0x00010207
VERSION_ADDR1 = 0x02000105  # top byte: trace version 2


def header(kind, text=b""):
    """A 16-byte file header: `text` first, byte 9 the kind."""
    h = bytearray(text.ljust(16, b"\0")[:16])
    h[9] = kind
    return bytes(h)


def firmware():
    section = bytearray(random.Random(1).randbytes(204800))
    # A recognisable start: a small vector table of branch words.
    for i in range(8):
        struct.pack_into("<I", section, 4 * i, 0xEA000000 | (0x100 + i))
    file = bytearray(header(0, b"QVCODE\0\0\0\0\0\0\0\0\0\0")) + section
    struct.pack_into("<I", file, 0x1094, VERSION_ADDR1)
    struct.pack_into("<I", file, 0x10A0, VERSION_ADDR)
    return bytes(file)


def dsp_patch():
    """Descriptor: version 1, three entries, flags 0 (the chip id picks the patch)."""
    patches = [(1, random.Random(61).randbytes(1500)),
               (2, random.Random(62).randbytes(2046)),
               (3, random.Random(63).randbytes(1800))]
    n = len(patches)
    m = (4 + 13 * n + 15) // 16 * 16
    length = m + 16  # no id map, then the 16 trailing bytes
    desc = bytearray([1, n, 0, 0])
    offset = 16 + length  # patch offsets count from file offset 16
    for ver, data in patches:
        desc += struct.pack("<BIII", ver, offset, len(data), 0)
        offset += len(data)
    desc = desc.ljust(m, b"\0") + b"\0" * 16
    body = b"PATC" + struct.pack("<I", length) + bytes([1, 0x44]) + b"\0" * 6 + bytes(desc)
    return header(KIND_DSP_PATCH) + body + b"".join(d for _, d in patches)


def mcp_tables():
    size, didr_at = 256, 64
    tables = [(0x2C00, 0x1234, 0xFFFF), (0x2C01, 0x1234, 0xFFFF), (0x2C01, 0x5678, 0xFFFF), (0x2C02, 0, 0)]
    out = header(KIND_MCP) + struct.pack("<II", size, didr_at) + b"\0" * 8
    for i, (ident, value, mask) in enumerate(tables):
        t = bytearray(random.Random(250 + i).randbytes(size))
        struct.pack_into("<II", t, 0, 0xBABE, ident)
        struct.pack_into("<HH", t, didr_at, value, mask)
        out += bytes(t)
    return out


def cus(type_tag, chunks, container=b""):
    out = bytearray()
    if container:
        out += container + struct.pack("<III", 1, 0, 0)
    out += b"WCUS" + type_tag
    for c in chunks:
        out += b"FRED" + struct.pack("<I", len(c)) + c
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "release")
    files = {
        "firmware.bin": firmware(),
        "dsp.pat": dsp_patch(),
        "mcp.bin": mcp_tables(),
        "logo.cus": cus(b"LCMC", [random.Random(71).randbytes(3000)]),
        "sens.cus": cus(b"SENS", [random.Random(80 + i).randbytes(n) for i, n in enumerate((120, 64, 200, 33))],
                        b"MSTE"),
    }
    for name, data in files.items():
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
    os.utime(os.path.join(folder, "firmware.bin"), (EPOCH, EPOCH))


if __name__ == "__main__":
    main()
