#!/usr/bin/env python3
"""Makes a copy of a built client that carries another version in its version resource.

The upgrade tests need a second, newer build; relinking the whole client for it would double
the test build time, and the version resource is all the installer and the tests look at.
Usage: newer_client.py IN.exe OUT.exe a.b.c.d
"""
import struct
import sys

SIGNATURE = struct.pack("<I", 0xFEEF04BD)
BLOCK_KEY = "VS_VERSION_INFO".encode("utf-16-le")


def version_parts(text):
    parts = [int(p) for p in text.split(".")]
    if len(parts) != 4 or any(not 0 <= p <= 0xFFFF for p in parts):
        raise ValueError("version must be a.b.c.d: %r" % text)
    return parts


def read_fixed_version(data):
    """(file version text, start of VS_FIXEDFILEINFO) of a PE image's version resource."""
    key = data.find(BLOCK_KEY)
    if key < 0:
        raise ValueError("no version resource")
    fixed = data.find(SIGNATURE, key)
    if fixed < 0:
        raise ValueError("no fixed file info")
    ms, ls = struct.unpack_from("<II", data, fixed + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), fixed


def with_version(data, new_text):
    old_text, fixed = read_fixed_version(data)
    new = version_parts(new_text)
    ms, ls = (new[0] << 16) | new[1], (new[2] << 16) | new[3]
    out = bytearray(data)
    struct.pack_into("<IIII", out, fixed + 8, ms, ls, ms, ls)
    # The string table repeats the version as text; same length keeps every offset.
    key = data.find(BLOCK_KEY)
    block_length = struct.unpack_from("<H", data, key - 6)[0]
    start, end = key - 6, key - 6 + block_length
    old_u16, new_u16 = old_text.encode("utf-16-le"), new_text.encode("utf-16-le")
    if len(old_u16) != len(new_u16):
        raise ValueError("the new version text must have the length of %s" % old_text)
    out[start:end] = bytes(out[start:end]).replace(old_u16, new_u16)
    return bytes(out)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    with open(argv[2], "wb") as f:
        f.write(with_version(data, argv[3]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
