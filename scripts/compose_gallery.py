#!/usr/bin/env python3
"""Puts rows of PNG frames side by side into one PNG: one row per folder.
Usage: compose_gallery.py OUT.png FOLDER..."""
import os
import struct
import sys
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, width, height, kind = 8, b"", 0, 0, 0
    while pos < len(data):
        length, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if tag == b"IHDR":
            width, height, depth, kind = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and kind in (2, 6), (path, depth, kind)
        elif tag == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if kind == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous, at = [], bytearray(stride), 0
    for _ in range(height):
        kind_of_filter = raw[at]
        line = bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind_of_filter == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind_of_filter == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind_of_filter == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind_of_filter == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                predictor = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + predictor) & 0xFF
        rows.append(bytes(line[j:j + 3]) for j in range(0, stride, channels))
        rows[-1] = b"".join(rows[-1])
        previous = line
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + \
            struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out, folders = sys.argv[1], sys.argv[2:]
    gap, background = 4, b"\x20\x20\x20"
    table = []
    for folder in folders:
        names = sorted(n for n in os.listdir(folder) if n.startswith("frame-") and n.endswith(".png"))
        table.append([read_png(os.path.join(folder, n)) for n in names])
    cell_w, cell_h = table[0][0][0], table[0][0][1]
    columns = max(len(row) for row in table)
    width = gap + columns * (cell_w + gap)
    height = gap + len(table) * (cell_h + gap)
    rows = []
    for _ in range(gap):
        rows.append(background * width)
    for frames in table:
        for y in range(cell_h):
            line = background * gap
            for x in range(columns):
                line += (frames[x][2][y] if x < len(frames) else background * cell_w) + background * gap
            rows.append(line)
        for _ in range(gap):
            rows.append(background * width)
    write_png(out, width, height, rows)


if __name__ == "__main__":
    main()
