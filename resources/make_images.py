#!/usr/bin/env python3
"""Draws the program's icon (qirn.ico: 16x16 and 32x32, 32-bit) and the setup dialog's picture
(logo.bmp: 200x53, 24-bit) into the given folder."""
import signal
import struct
import sys


def pixel(x, y, w, h):
    # A dark blue field with a light ring: the engine's mark.
    cx, cy = (w - 1) / 2.0, (h - 1) / 2.0
    r = min(w, h) / 2.0
    d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
    if r * 0.55 <= d <= r * 0.9:
        return (0xC0, 0x80, 0x40)  # B, G, R
    return (0x60, 0x30, 0x10)


def icon_image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        for x in range(size):
            b, g, r = pixel(x, y, size, size)
            rows.append(struct.pack("<BBBB", b, g, r, 255))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def write_icon(path):
    images = [icon_image(16), icon_image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_logo(path, w=200, h=53):
    row_size = (w * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            b, g, r = pixel(x % h, y, h, h) if x < h else (0x60 + (x * 40) // w, 0x30, 0x10)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    # Nothing to undo: an interrupt ends it at once, without a word (Python's own handling prints a traceback).
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    folder = sys.argv[1]
    write_icon(folder + "/qirn.ico")
    write_logo(folder + "/logo.bmp")
