#!/usr/bin/env python3
"""Copies the effect library into the render tool's folder and generates the
tool's built-in input images. With --noise PATH it writes the dissolve's noise
texture instead (kept in the library as a file).
Usage: build_library.py LIBRARY_DIR TOOL_DIR | build_library.py --noise PATH"""
import math
import os
import shutil
import struct
import sys
import zlib


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b); 8-bit RGB, no interlace."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + \
        chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


def clamp(v):
    return max(0, min(255, int(v)))


def from_image(x, y):
    # Warm sky with a sun and a hill line.
    w, h = 640.0, 480.0
    u, v = x / w, y / h
    r, g, b = 255 * (0.95 - 0.3 * v), 255 * (0.55 - 0.35 * v), 255 * (0.3 + 0.3 * v)
    d = math.hypot(u - 0.7, (v - 0.35) * 0.75)
    if d < 0.12:
        r, g, b = 255, 235, 140
    elif d < 0.14:
        r, g, b = 255, 200, 110
    if v > 0.72 + 0.06 * math.sin(u * 9.0):
        r, g, b = 60 + 40 * u, 90 + 30 * v, 50
    return clamp(r), clamp(g), clamp(b)


def to_image(x, y):
    # Cool checkerboard with diagonal bands.
    u, v = x / 640.0, y / 480.0
    check = ((x // 40) + (y // 40)) % 2
    band = 0.5 + 0.5 * math.sin((u + v) * 12.0)
    r = 30 + 60 * band
    g = 90 + 100 * v + 40 * check
    b = 170 + 70 * (1 - v) - 50 * check
    return clamp(r), clamp(g), clamp(b)


def noise(x, y):
    # Value noise, deterministic: smooth blobs for the dissolve threshold.
    def lattice(i, j):
        n = (i * 374761393 + j * 668265263) & 0xFFFFFFFF
        n = ((n ^ (n >> 13)) * 1274126177) & 0xFFFFFFFF
        return (n & 0xFFFF) / 65535.0

    def smooth(fx, fy, cell):
        i, j = int(fx // cell), int(fy // cell)
        tx, ty = (fx % cell) / cell, (fy % cell) / cell
        tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)
        a = lattice(i, j) + (lattice(i + 1, j) - lattice(i, j)) * tx
        c = lattice(i, j + 1) + (lattice(i + 1, j + 1) - lattice(i, j + 1)) * tx
        return a + (c - a) * ty

    value = 0.6 * smooth(x, y, 32) + 0.3 * smooth(x, y, 12) + 0.1 * smooth(x, y, 4)
    n = clamp(value * 255)
    return n, n, n


def main():
    if sys.argv[1] == "--noise":
        write_png(sys.argv[2], 128, 128, noise)
        return
    source, tool = sys.argv[1], sys.argv[2]
    library = os.path.join(tool, "library")
    if os.path.isdir(library):
        shutil.rmtree(library)
    shutil.copytree(source, library)
    write_png(os.path.join(tool, "images", "from.png"), 640, 480, from_image)
    write_png(os.path.join(tool, "images", "to.png"), 640, 480, to_image)
    with open(os.path.join(tool, "library.stamp"), "w") as f:
        f.write("library\n")


if __name__ == "__main__":
    main()
