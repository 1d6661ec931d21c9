#!/usr/bin/env python3
"""Draws the renderer's default textures into the given folder: QeDefaultParticle.png, a 32x32 white
sprite whose alpha falls off smoothly from the centre to the rim."""
import struct
import sys
import zlib


def png(path, width, height, rgba_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + bytes(row) for row in rgba_rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def particle(size=32):
    rows = []
    c = (size - 1) / 2.0
    for y in range(size):
        row = []
        for x in range(size):
            d = min(1.0, (((x - c) ** 2 + (y - c) ** 2) ** 0.5) / (size / 2.0))
            a = (1.0 - d * d) ** 2  # smooth, full in the middle, zero at the rim
            row += [255, 255, 255, int(round(a * 255))]
        rows.append(row)
    return rows


if __name__ == "__main__":
    png(sys.argv[1] + "/QeDefaultParticle.png", 32, 32, particle())
