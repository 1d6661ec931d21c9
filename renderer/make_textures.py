#!/usr/bin/env python3
"""Draws the renderer's default textures into the given folder: QeDefaultParticle.png, a 32x32 white
sprite whose alpha falls off smoothly from the centre to the rim, and AreaMap33.png, the area table of the
anti-aliasing pass (edge lengths up to 33 pixels)."""
import signal
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


# The area table: a 5 x 5 grid of 33 x 33 tiles. Tile (column e1, row e2) holds the crossing edges at the
# two ends of an edge line (0 none, 1 below, 3 above, 4 both); texel (x, y) of a tile the distances in
# pixels to the line's left and right ends. Red is the area of the pixel to be blended over the edge from
# the far side, green from the near side.
AREA_DISTANCE = 33
END_HEIGHT = {0: 0.0, 1: -0.5, 3: 0.5, 4: 0.0}


def _line_area(x0, h0, x1, h1, a, b):
    """Signed area under the line (x0, h0)-(x1, h1) over [a, b], split into positive and negative parts."""
    a, b = max(a, x0), min(b, x1)
    if b <= a or x1 <= x0:
        return 0.0, 0.0
    at = lambda x: h0 + (h1 - h0) * (x - x0) / (x1 - x0)
    ha, hb = at(a), at(b)
    if ha * hb >= 0.0:
        s = (ha + hb) * 0.5 * (b - a)
        return (s, 0.0) if s >= 0.0 else (0.0, -s)
    xm = a + (b - a) * ha / (ha - hb)
    first, second = ha * 0.5 * (xm - a), hb * 0.5 * (b - xm)
    pos = (first if first > 0 else 0.0) + (second if second > 0 else 0.0)
    neg = (-first if first < 0 else 0.0) + (-second if second < 0 else 0.0)
    return pos, neg


def edge_area(e1, e2, left, right):
    d = left + right + 1.0
    h1, h2 = END_HEIGHT[e1], END_HEIGHT[e2]
    if h1 == 0.0 and h2 == 0.0:
        return 0.0, 0.0
    if h1 != 0.0 and h2 != 0.0 and h1 * h2 > 0.0:  # U shape: down to the middle and up again
        p1, n1 = _line_area(0.0, h1, d / 2.0, 0.0, left, left + 1.0)
        p2, n2 = _line_area(d / 2.0, 0.0, d, h2, left, left + 1.0)
        return p1 + p2, n1 + n2
    return _line_area(0.0, h1, d, h2, left, left + 1.0)


def area_map():
    size = 5 * AREA_DISTANCE
    rows = [[0, 0, 0, 255] * size for _ in range(size)]
    for e1 in END_HEIGHT:
        for e2 in END_HEIGHT:
            for y in range(AREA_DISTANCE):
                for x in range(AREA_DISTANCE):
                    pos, neg = edge_area(e1, e2, x, y)
                    px, py = e1 * AREA_DISTANCE + x, e2 * AREA_DISTANCE + y
                    rows[py][px * 4] = min(255, int(round(pos * 255.0)))
                    rows[py][px * 4 + 1] = min(255, int(round(neg * 255.0)))
    return rows, size


if __name__ == "__main__":
    # Nothing to undo: an interrupt ends it at once, without a word (Python's own handling prints a traceback).
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    png(sys.argv[1] + "/QeDefaultParticle.png", 32, 32, particle())
    area, size = area_map()
    png(sys.argv[1] + "/AreaMap33.png", size, size, area)
