#!/usr/bin/env python3
"""Turns an X window dump (xwd, true colour, 24 or 32 bits per pixel) into a PNG: the run command's screenshot.
usage: xwd2png.py in.xwd out.png"""
import struct
import sys
import zlib


def main(src, dst):
    data = open(src, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, fmt, depth, width, height = fields[:6]
    byte_order, bpp, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if fmt != 2 or bpp not in (24, 32):
        sys.exit("xwd2png: only 24- and 32-bit ZPixmap dumps are read (format %d, %d bits)" % (fmt, bpp))
    step = bpp // 8
    offset = header_size + ncolors * 12
    order = "<" if byte_order == 0 else ">"

    def shift(mask):
        s = 0
        while mask and not mask & 1:
            mask >>= 1
            s += 1
        return s

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        if step == 4:
            pixels = struct.unpack(order + "%dI" % width, line)
        else:
            pixels = [int.from_bytes(line[i:i + 3], "little" if order == "<" else "big") for i in range(0, len(line), 3)]
        row = bytearray(b"\0")
        for p in pixels:
            row += bytes(((p & red_mask) >> rs, (p & green_mask) >> gs, (p & blue_mask) >> bs))
        rows.append(bytes(row))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b"")
    open(dst, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
