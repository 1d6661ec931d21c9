#!/usr/bin/env python3
"""Clears a PE file's link time stamp and checksum: a build of a library that carries no identity."""
import signal
import struct
import sys

# Read whole and written whole: an interrupt ends it at once, without a word (Python's own handling prints
# a traceback).
signal.signal(signal.SIGINT, signal.SIG_DFL)
path = sys.argv[1]
with open(path, "rb") as f:
    image = bytearray(f.read())
pe = struct.unpack_from("<I", image, 0x3C)[0]
if image[pe:pe + 4] != b"PE\0\0":
    sys.exit(f"{path}: not a PE file")
struct.pack_into("<I", image, pe + 8, 0)        # file header: time stamp
struct.pack_into("<I", image, pe + 24 + 64, 0)  # optional header: checksum
with open(path, "wb") as f:
    f.write(image)
