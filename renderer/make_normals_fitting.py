#!/usr/bin/env python3
"""Makes NormalsFittingTexture.png, the best-fit normal lengths of the light pre-pass (run by hand; its
output is committed, the build only copies it).

Texel (x, y) of the SIZE x SIZE table stands for the directions (1, u, v) with u = (x + 0.5) / SIZE and
v = (y + 0.5) / SIZE: a view-space normal divided by its largest component, indexed by the two smaller
ones. Its value k / 255 is the length the depth pass scales that vector to before it stores it as
n * 0.5 + 0.5 in 8 bits per channel: the k (1..255) whose quantised vector points closest to the
direction. The table is symmetric in u and v; every channel holds k, alpha is 255."""
import math
import multiprocessing
import sys

from make_textures import png

SIZE = 256


def quantise(c):
    """A component in -1..1 as the depth pass stores it and the light pass reads it back."""
    return round((c * 0.5 + 0.5) * 255.0) / 255.0 * 2.0 - 1.0


def best_length(u, v):
    """The k of direction (1, u, v)."""
    norm = math.sqrt(1.0 + u * u + v * v)
    best_k, best_cos = 255, -2.0
    for k in range(1, 256):
        t = k / 255.0
        qx, qy, qz = quantise(t), quantise(u * t), quantise(v * t)
        length = math.sqrt(qx * qx + qy * qy + qz * qz)
        if length == 0.0:
            continue
        cos = (qx + qy * u + qz * v) / (length * norm)
        if cos > best_cos:
            best_k, best_cos = k, cos
    return best_k


def row(y):
    v = (y + 0.5) / SIZE
    return [best_length((x + 0.5) / SIZE, v) if x >= y else None for x in range(SIZE)]


def table():
    with multiprocessing.Pool() as pool:
        half = pool.map(row, range(SIZE))
    return [[half[y][x] if x >= y else half[x][y] for x in range(SIZE)] for y in range(SIZE)]


if __name__ == "__main__":
    k = table()
    rows = [[c for x in range(SIZE) for c in (k[y][x], k[y][x], k[y][x], 255)] for y in range(SIZE)]
    png(sys.argv[1] + "/NormalsFittingTexture.png", SIZE, SIZE, rows)
